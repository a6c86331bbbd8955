#include "tools/inkslab/canvas.h"

#include <new>

namespace kestrova::inkslab {

Canvas::Canvas(std::unique_ptr<std::uint8_t[]> memory, std::size_t headroom, int width,
               int height, std::size_t stride, CairoSurfacePtr surface)
    : memory_(std::move(memory)),
      headroom_(headroom),
      width_(width),
      height_(height),
      stride_(stride),
      surface_(std::move(surface)) {}

std::optional<Canvas> Canvas::create(int width, int height) {
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    if (width < 1 || height < 1 || stride < width * 4) {
        return std::nullopt;
    }
    // Rounded up to keep the pixel rows as aligned as the allocation itself.
    const std::size_t headroom = (static_cast<std::size_t>(height) + 63U) & ~std::size_t{63};
    const std::size_t rows = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    // Not zeroed here: the background fill covers every pixel, and untouched memory costs none.
    std::unique_ptr<std::uint8_t[]> memory(new (std::nothrow) std::uint8_t[headroom + rows]);
    if (!memory) {
        return std::nullopt;
    }
    CairoSurfacePtr surface(cairo_image_surface_create_for_data(
        memory.get() + headroom, CAIRO_FORMAT_ARGB32, width, height, stride));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return std::nullopt;
    }
    return Canvas(std::move(memory), headroom, width, height, static_cast<std::size_t>(stride),
                  std::move(surface));
}

const std::uint8_t* Canvas::row(int y) const {
    return memory_.get() + headroom_ + stride_ * static_cast<std::size_t>(y);
}

CairoPtr Canvas::drawingContext() { return CairoPtr(cairo_create(surface_.get())); }

void Canvas::finishDrawing() {
    if (surface_) {
        cairo_surface_flush(surface_.get());
        surface_.reset();
    }
}

}  // namespace kestrova::inkslab
