#include "tools/inkslab/card_renderer.h"

#include <vector>

#include "tools/inkslab/layout.h"

namespace kestrova::inkslab {
namespace {

// Covers every pixel, whatever the memory held, with the background as it is, translucent or
// not, rather than blending it onto something.
void paintBackground(cairo_t* cr, Rgba color) {
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                          color.alpha / 255.0);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
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
    auto canvas = Canvas::create(static_cast<int>(*width), static_cast<int>(request.height));
    if (!canvas) {
        return std::nullopt;
    }
    {
        const CairoPtr cr = canvas->drawingContext();
        paintBackground(cr.get(), request.background);
        const auto positions = placeLines(static_cast<double>(*width),
                                          static_cast<double>(request.height), metrics);
        for (std::size_t i = 0; i < shaped.size(); ++i) {
            shaped[i].draw(cr.get(), positions[i].x, positions[i].baseline, request.lines[i].col);
        }
    }
    canvas->finishDrawing();
    return canvas;
}

}  // namespace kestrova::inkslab
