#include "tools/inkslab/card_renderer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

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

std::optional<Canvas> renderCard(std::vector<ShapedLine> lines, const CardLayout& layout,
                                 const CardRequest& request) {
  const Band band = inkBand(lines, layout.positions, layout.height);
  const auto shared = std::make_shared<std::vector<ShapedLine>>(std::move(lines));
  auto painter = [shared, positions = layout.positions, &request](cairo_t* cr) {
    for (std::size_t i = 0; i < shared->size(); ++i) {
      (*shared)[i].draw(cr, positions[i].x, positions[i].baseline, request.lines[i].col);
    }
  };
  return Canvas::create(layout.width, layout.height, band.top, band.end - band.top,
                        request.background, std::move(painter));
}

}  // namespace kestrova::inkslab
