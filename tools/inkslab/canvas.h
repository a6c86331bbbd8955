// The card's pixels, kept only for the band of rows that text can reach.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "tools/inkslab/color.h"

namespace kestrova::inkslab {

struct CairoSurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;
using CairoPtr = std::unique_ptr<cairo_t, CairoDeleter>;

// A card whose rows outside one band hold nothing but the background. Only the band is kept as
// a Cairo surface, so a full-HD card with two lines costs a few hundred rows, not a thousand.
// Pixels are premultiplied 32-bit words in Cairo's native-endian ARGB layout, sRGB.
class Canvas {
public:
    // A width x height card filled with the background, with a drawable band of bandRows rows
    // starting at row bandTop (both already within the card). Absent when memory runs out.
    [[nodiscard]] static std::optional<Canvas> create(int width, int height, int bandTop,
                                                      int bandRows, Rgba background);

    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    // Card row y's pixels; rows outside the band all share one background row.
    [[nodiscard]] const std::uint8_t* row(int y) const;
    [[nodiscard]] bool isBackgroundRow(int y) const { return y < bandTop_ || y >= bandEnd(); }

    // A drawing context in card coordinates (pixels from the top-left corner); drawing outside
    // the band is lost. Drop every context before reading rows.
    [[nodiscard]] CairoPtr drawingContext();

private:
    Canvas(int width, int height, int bandTop, CairoSurfacePtr band,
           std::vector<std::uint32_t> backgroundRow);
    [[nodiscard]] int bandEnd() const;

    int width_ = 0;
    int height_ = 0;
    int bandTop_ = 0;
    CairoSurfacePtr band_;
    std::vector<std::uint32_t> backgroundRow_;
};

// Covers every pixel, whatever it held, with the colour as it is, translucent or not.
void paintSolid(cairo_t* cr, Rgba color);

}  // namespace kestrova::inkslab
