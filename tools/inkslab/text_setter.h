// Shapes, measures and draws card lines with Pango on Cairo.
//
// How a line's width is measured: the text is laid out as one line (no wrapping, line ends
// drawn as characters, not breaks) in the card font at an absolute pixel size, with glyph
// positions and metrics left unhinted and unrounded; its width is the width of the line's
// logical rectangle, the sum of the glyphs' advances. That is the typographic extent the
// optical bounds fall back to for a font without optical-bounds data, so the left end of the
// line is the pen origin and ink may overhang it by a glyph's side bearing.
//
// The font is the face "HelveticaNeue-Medium", asked of fontconfig as family "Helvetica Neue"
// at medium weight; where it is missing, fontconfig picks the closest medium-weight
// sans-serif face, Inter Medium first and then the system's sans-serif family. Characters the
// chosen face lacks (emoji, other scripts) fall back to other installed faces.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>
#include <optional>
#include <string_view>

#include "tools/inkslab/color.h"

namespace kestrova::inkslab {

struct GObjectDeleter {
  void operator()(void* object) const;
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

// One line shaped for drawing; its width in pixels is known as soon as it exists.
class ShapedLine {
 public:
  explicit ShapedLine(GObjectPtr<PangoLayout> layout);
  [[nodiscard]] double width() const { return width_; }
  // How far the ink reaches above (negative) and below the baseline, in pixels.
  [[nodiscard]] double inkTop() const { return inkTop_; }
  [[nodiscard]] double inkBottom() const { return inkBottom_; }
  // Draws the line with its left end at x and its baseline at y (pixels, y downwards).
  void draw(cairo_t* cr, double x, double baseline, Rgba color) const;

 private:
  GObjectPtr<PangoLayout> layout_;
  double width_ = 0.0;
  double originOffset_ = 0.0;  // from the logical rectangle's left edge to the pen origin
  double inkTop_ = 0.0;
  double inkBottom_ = 0.0;
};

class TextSetter {
 public:
  // Absent when no font map can be made.
  [[nodiscard]] static std::optional<TextSetter> create();

  // Any bytes are accepted: invalid UTF-8 is drawn with replacement characters.
  [[nodiscard]] ShapedLine shape(std::string_view text, double size) const;

 private:
  TextSetter(GObjectPtr<PangoFontMap> fontMap, GObjectPtr<PangoContext> context);

  GObjectPtr<PangoFontMap> fontMap_;
  GObjectPtr<PangoContext> context_;
};

}  // namespace kestrova::inkslab
