// inkslab's drawing on Linux: Pango lays the lines out, Cairo paints them, and our own encoder
// writes the PNG (text_setter.h, canvas.h, png_encoder.h).
#include <glib.h>

#include "tools/inkslab/card_program.h"
#include "tools/inkslab/card_renderer.h"
#include "tools/inkslab/png_encoder.h"
#include "tools/inkslab/text_setter.h"

namespace kestrova::inkslab {
namespace {

// The text libraries' own warnings would break the promise of a quiet standard error.
GLogWriterOutput discardLog(GLogLevelFlags, const GLogField*, gsize, gpointer) {
  return G_LOG_WRITER_HANDLED;
}

class PangoCairoArtist final : public CardArtist {
 public:
  explicit PangoCairoArtist(TextSetter setter) : setter_(std::move(setter)) {}

  std::vector<double> measure(const std::vector<Line>& lines) override {
    shaped_.clear();
    std::vector<double> widths;
    for (const Line& line : lines) {
      shaped_.push_back(setter_.shape(line.text, line.size));
      widths.push_back(shaped_.back().width());
    }
    return widths;
  }

  PaintResult paint(const CardRequest& request, const CardLayout& layout) override {
    auto card = renderCard(std::move(shaped_), layout, request);
    shaped_.clear();
    if (!card) {
      return PaintFailure::kTooLarge;
    }
    // Text drawn over an opaque background leaves it opaque.
    auto png = encodePng(*card, request.background.alpha == 255);
    if (!png) {
      return PaintFailure::kEncoding;
    }
    return std::move(*png);
  }

 private:
  TextSetter setter_;
  std::vector<ShapedLine> shaped_;
};

}  // namespace

std::unique_ptr<CardArtist> makeCardArtist() {
  g_log_set_writer_func(discardLog, nullptr, nullptr);
  auto setter = TextSetter::create();
  if (!setter) {
    return nullptr;
  }
  return std::make_unique<PangoCairoArtist>(std::move(*setter));
}

}  // namespace kestrova::inkslab
