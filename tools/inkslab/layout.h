// Where the lines of a card go: card width and each line's pen position, in closed form.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrova::inkslab {

inline constexpr double kLineHeightFactor = 1.3;
inline constexpr double kBaselineFactor = 0.28;  // of a line's height, above its band's lower edge
inline constexpr double kAutoWidthMargin = 48.0;

// What layout needs to know of a measured line.
struct LineMetrics {
  double width = 0.0;  // pixels
  double size = 0.0;   // font size in pixels
};

// Where a line's text starts, in pixels from the card's top-left corner (y grows downwards):
// the left end of the line and its baseline. Not rounded to whole pixels.
struct PenPosition {
  double x = 0.0;
  double baseline = 0.0;
};

[[nodiscard]] double lineHeight(double size);

// The card width: requested unchanged unless it is 0, in which case the widest line's width
// rounded up to a whole pixel, plus 48. Absent when that automatic width exceeds maxSide.
[[nodiscard]] std::optional<std::int64_t> cardWidth(std::int64_t requested,
                                                    std::span<const LineMetrics> lines,
                                                    std::int64_t maxSide);

// Stacks the lines, first on top, as one block centred vertically in the card, each line
// centred horizontally on its own.
[[nodiscard]] std::vector<PenPosition> placeLines(double cardWidth, double cardHeight,
                                                  std::span<const LineMetrics> lines);

}  // namespace kestrova::inkslab
