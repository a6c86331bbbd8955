// The card's pixels, kept only for the band of rows that text can reach.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Draws a card's text onto a context in card coordinates (pixels from the top-left corner).
using CardPainter = std::function<void(cairo_t*)>;

// A card whose rows outside one band hold nothing but the background. Rows are produced in
// strips of a few dozen: each strip is filled with the background and the painter draws into
// it, clipped to the strip. So a card costs a strip's memory whatever its height, and a run of
// background rows costs nothing. Pixels are premultiplied 32-bit words in Cairo's
// native-endian ARGB layout, sRGB.
class Canvas {
 public:
  // A width x height card with the band of bandRows rows from row bandTop (within the card)
  // drawn by the painter. Absent when memory runs out.
  [[nodiscard]] static std::optional<Canvas> create(int width, int height, int bandTop,
                                                    int bandRows, Rgba background,
                                                    CardPainter painter);

  [[nodiscard]] int width() const { return width_; }
  [[nodiscard]] int height() const { return height_; }
  [[nodiscard]] bool isBackgroundRow(int y) const { return y < bandTop_ || y >= bandEnd_; }
  // Card row y's pixels, valid until the next call.
  [[nodiscard]] const std::uint8_t* row(int y);

 private:
  Canvas(int width, int height, int bandTop, int bandEnd, CairoSurfacePtr strip,
         std::vector<std::uint32_t> backgroundRow, Rgba background, CardPainter painter);
  void drawStrip(int top);

  int width_ = 0;
  int height_ = 0;
  int bandTop_ = 0;
  int bandEnd_ = 0;
  CairoSurfacePtr strip_;
  int stripTop_ = -1;  // card row of the strip's first row; -1 before the first strip
  std::vector<std::uint32_t> backgroundRow_;
  Rgba background_;
  CardPainter painter_;
};

// Covers every pixel, whatever it held, with the colour as it is, translucent or not.
void paintSolid(cairo_t* cr, Rgba color);

}  // namespace kestrova::inkslab
