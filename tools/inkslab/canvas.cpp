#include "tools/inkslab/canvas.h"

#include <cstring>

namespace kestrova::inkslab {
namespace {

// The background exactly as Cairo stores it, by painting one pixel the same way as the band.
std::optional<std::uint32_t> backgroundPixel(Rgba background) {
    const CairoSurfacePtr pixel(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
    if (cairo_surface_status(pixel.get()) != CAIRO_STATUS_SUCCESS) {
        return std::nullopt;
    }
    {
        const CairoPtr cr(cairo_create(pixel.get()));
        paintSolid(cr.get(), background);
    }
    cairo_surface_flush(pixel.get());
    std::uint32_t value = 0;
    const unsigned char* data = cairo_image_surface_get_data(pixel.get());
    if (data == nullptr) {
        return std::nullopt;
    }
    static_assert(sizeof value == 4);
    std::memcpy(&value, data, sizeof value);
    return value;
}

}  // namespace

void paintSolid(cairo_t* cr, Rgba color) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                          color.alpha / 255.0);
    cairo_paint(cr);
    cairo_restore(cr);
}

Canvas::Canvas(int width, int height, int bandTop, CairoSurfacePtr band,
               std::vector<std::uint32_t> backgroundRow)
    : width_(width),
      height_(height),
      bandTop_(bandTop),
      band_(std::move(band)),
      backgroundRow_(std::move(backgroundRow)) {}

std::optional<Canvas> Canvas::create(int width, int height, int bandTop, int bandRows,
                                     Rgba background) {
    if (width < 1 || height < 1 || bandRows < 1 || bandTop < 0 || bandTop + bandRows > height) {
        return std::nullopt;
    }
    const auto pixel = backgroundPixel(background);
    CairoSurfacePtr band(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, bandRows));
    if (!pixel || cairo_surface_status(band.get()) != CAIRO_STATUS_SUCCESS) {
        return std::nullopt;
    }
    {
        const CairoPtr cr(cairo_create(band.get()));
        paintSolid(cr.get(), background);
    }
    std::vector<std::uint32_t> backgroundRow(static_cast<std::size_t>(width), *pixel);
    return Canvas(width, height, bandTop, std::move(band), std::move(backgroundRow));
}

int Canvas::bandEnd() const { return bandTop_ + cairo_image_surface_get_height(band_.get()); }

const std::uint8_t* Canvas::row(int y) const {
    if (isBackgroundRow(y)) {
        return reinterpret_cast<const std::uint8_t*>(backgroundRow_.data());
    }
    cairo_surface_flush(band_.get());
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(band_.get()));
    return cairo_image_surface_get_data(band_.get()) + stride * static_cast<std::size_t>(y - bandTop_);
}

CairoPtr Canvas::drawingContext() {
    CairoPtr cr(cairo_create(band_.get()));
    cairo_translate(cr.get(), 0.0, -static_cast<double>(bandTop_));
    return cr;
}

}  // namespace kestrova::inkslab
