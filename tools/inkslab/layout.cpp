#include "tools/inkslab/layout.h"

#include <algorithm>
#include <cmath>

namespace kestrova::inkslab {

double lineHeight(double size) { return size * kLineHeightFactor; }

std::optional<std::int64_t> cardWidth(std::int64_t requested, std::span<const LineMetrics> lines,
                                      std::int64_t maxSide) {
  if (requested != 0) {
    return requested;
  }
  double widest = 0.0;
  for (const LineMetrics& line : lines) {
    widest = std::max(widest, line.width);
  }
  const double width = std::ceil(widest) + kAutoWidthMargin;
  if (!(width <= static_cast<double>(maxSide))) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(width);
}

std::vector<PenPosition> placeLines(double cardWidth, double cardHeight,
                                    std::span<const LineMetrics> lines) {
  // Worked with y growing upwards from the lower edge, then turned to y from the top edge.
  double total = 0.0;
  for (const LineMetrics& line : lines) {
    total += lineHeight(line.size);
  }
  double y = (total + cardHeight) / 2.0;
  std::vector<PenPosition> positions;
  positions.reserve(lines.size());
  for (const LineMetrics& line : lines) {
    const double height = lineHeight(line.size);
    y -= height;
    const double baselineFromBottom = y + kBaselineFactor * height;
    positions.push_back({(cardWidth - line.width) / 2.0, cardHeight - baselineFromBottom});
  }
  return positions;
}

}  // namespace kestrova::inkslab
