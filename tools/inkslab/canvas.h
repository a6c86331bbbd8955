// The card's pixels: a Cairo image surface over memory that the PNG encoder reuses.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace kestrova::inkslab {

struct CairoSurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;
using CairoPtr = std::unique_ptr<cairo_t, CairoDeleter>;

// Premultiplied 32-bit pixels in Cairo's native-endian ARGB layout (B, G, R, A in memory on a
// little-endian machine), sRGB. The pixel rows are preceded by headroom of at least one byte
// per row, so that PNG rows, each one byte longer than a row of four-byte pixels, can be
// filtered into the same memory from its start without overtaking the rows still to be read.
class Canvas {
public:
    // Absent when the memory cannot be had or Cairo refuses the size.
    [[nodiscard]] static std::optional<Canvas> create(int width, int height);

    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] std::size_t stride() const { return stride_; }
    [[nodiscard]] std::uint8_t* memory() { return memory_.get(); }
    [[nodiscard]] std::size_t headroom() const { return headroom_; }
    [[nodiscard]] const std::uint8_t* row(int y) const;

    // A drawing context on the pixels; finish drawing (drop every context) before reading.
    [[nodiscard]] CairoPtr drawingContext();
    // Makes every drawing visible in memory and lets the surface go; call before encoding.
    void finishDrawing();

private:
    Canvas(std::unique_ptr<std::uint8_t[]> memory, std::size_t headroom, int width, int height,
           std::size_t stride, CairoSurfacePtr surface);

    std::unique_ptr<std::uint8_t[]> memory_;
    std::size_t headroom_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
    CairoSurfacePtr surface_;
};

}  // namespace kestrova::inkslab
