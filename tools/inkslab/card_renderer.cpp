#include "tools/inkslab/card_renderer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "tools/inkslab/layout.h"

namespace kestrova::inkslab {
namespace {

// Rows of slack around a line's ink, for anti-aliasing that spills past the outlines' bounds.
constexpr double kInkMargin = 2.0;

struct Band {
  int top = 0;
  int end = 0;
};

int clampedRow(double y, int height) {
  return static_cast<int>(std::clamp(y, 0.0, static_cast<double>(height)));
}

// The rows the lines' ink can reach; at least one row, so that the card has a band to draw in.
Band inkBand(const std::vector<ShapedLine>& lines, const std::vector<PenPosition>& positions,
             int height) {
  Band band{height, 0};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int top =
        clampedRow(std::floor(positions[i].baseline + lines[i].inkTop() - kInkMargin), height);
    const int end =
        clampedRow(std::ceil(positions[i].baseline + lines[i].inkBottom() + kInkMargin), height);
    if (top < end) {
      band = {std::min(band.top, top), std::max(band.end, end)};
    }
  }
  return band.top < band.end ? band : Band{0, 1};
}

}  // namespace

std::optional<Canvas> renderCard(const CardRequest& request, const TextSetter& setter) {
  std::vector<ShapedLine> shaped;
  std::vector<LineMetrics> metrics;
  for (const Line& line : request.lines) {
    shaped.push_back(setter.shape(line.text, line.size));
    metrics.push_back({shaped.back().width(), line.size});
  }
  const auto width = cardWidth(request.width, metrics, kMaxSide);
  if (!width || *width * request.height > kMaxPixels) {
    return std::nullopt;
  }
  const int height = static_cast<int>(request.height);
  const auto positions =
      placeLines(static_cast<double>(*width), static_cast<double>(height), metrics);
  const Band band = inkBand(shaped, positions, height);
  const auto lines = std::make_shared<std::vector<ShapedLine>>(std::move(shaped));
  auto painter = [lines, positions, &request](cairo_t* cr) {
    for (std::size_t i = 0; i < lines->size(); ++i) {
      (*lines)[i].draw(cr, positions[i].x, positions[i].baseline, request.lines[i].col);
    }
  };
  return Canvas::create(static_cast<int>(*width), height, band.top, band.end - band.top,
                        request.background, std::move(painter));
}

}  // namespace kestrova::inkslab
