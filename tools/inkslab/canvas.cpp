#include "tools/inkslab/canvas.h"

#include <algorithm>
#include <cstring>

namespace kestrova::inkslab {
namespace {

// Rows per strip: small enough to keep memory low, large enough that redrawing the text for
// each strip costs little.
constexpr int kStripRows = 32;

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

Canvas::Canvas(int width, int height, int bandTop, int bandEnd, CairoSurfacePtr strip,
               std::vector<std::uint32_t> backgroundRow, Rgba background, CardPainter painter)
    : width_(width),
      height_(height),
      bandTop_(bandTop),
      bandEnd_(bandEnd),
      strip_(std::move(strip)),
      backgroundRow_(std::move(backgroundRow)),
      background_(background),
      painter_(std::move(painter)) {}

std::optional<Canvas> Canvas::create(int width, int height, int bandTop, int bandRows,
                                     Rgba background, CardPainter painter) {
  if (width < 1 || height < 1 || bandRows < 1 || bandTop < 0 || bandTop + bandRows > height) {
    return std::nullopt;
  }
  const auto pixel = backgroundPixel(background);
  CairoSurfacePtr strip(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, std::min(bandRows, kStripRows)));
  if (!pixel || cairo_surface_status(strip.get()) != CAIRO_STATUS_SUCCESS) {
    return std::nullopt;
  }
  std::vector<std::uint32_t> backgroundRow(static_cast<std::size_t>(width), *pixel);
  return Canvas(width, height, bandTop, bandTop + bandRows, std::move(strip),
                std::move(backgroundRow), background, std::move(painter));
}

void Canvas::drawStrip(int top) {
  {
    const CairoPtr cr(cairo_create(strip_.get()));
    paintSolid(cr.get(), background_);
    cairo_translate(cr.get(), 0.0, -static_cast<double>(top));
    painter_(cr.get());
  }
  cairo_surface_flush(strip_.get());
  stripTop_ = top;
}

const std::uint8_t* Canvas::row(int y) {
  if (isBackgroundRow(y)) {
    return reinterpret_cast<const std::uint8_t*>(backgroundRow_.data());
  }
  const int stripRows = cairo_image_surface_get_height(strip_.get());
  if (stripTop_ < 0 || y < stripTop_ || y >= stripTop_ + stripRows) {
    drawStrip(bandTop_ + (y - bandTop_) / stripRows * stripRows);
  }
  const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(strip_.get()));
  return cairo_image_surface_get_data(strip_.get()) +
         stride * static_cast<std::size_t>(y - stripTop_);
}

}  // namespace kestrova::inkslab
