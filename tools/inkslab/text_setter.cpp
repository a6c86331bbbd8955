#include "tools/inkslab/text_setter.h"

#include <glib.h>

#include <cstdint>
#include <string>

namespace kestrova::inkslab {
namespace {

constexpr const char* kFontFamilies = "Helvetica Neue,Inter,sans-serif";

struct GFreeDeleter {
  void operator()(gchar* text) const { g_free(text); }
};

// Unhinted outlines and unrounded glyph positions, so a line measures and sits exactly where
// the layout arithmetic puts it, with grey anti-aliasing as on a video frame.
void configureRendering(PangoContext* context) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_context_set_round_glyph_positions(context, FALSE);
}

}  // namespace

void GObjectDeleter::operator()(void* object) const {
  if (object != nullptr) {
    g_object_unref(object);
  }
}

ShapedLine::ShapedLine(GObjectPtr<PangoLayout> layout) : layout_(std::move(layout)) {
  PangoRectangle ink{};
  PangoRectangle logical{};
  pango_layout_line_get_extents(pango_layout_get_line_readonly(layout_.get(), 0), &ink, &logical);
  inkTop_ = static_cast<double>(ink.y) / PANGO_SCALE;
  inkBottom_ = static_cast<double>(ink.y + ink.height) / PANGO_SCALE;
  // The advances are summed here rather than read from the line's extents, whose 32-bit
  // Pango units overflow for a line over about two million pixels long.
  std::int64_t advance = 0;
  for (GSList* run = pango_layout_get_line_readonly(layout_.get(), 0)->runs; run != nullptr;
       run = run->next) {
    const PangoGlyphString* glyphs = static_cast<PangoGlyphItem*>(run->data)->glyphs;
    for (int i = 0; i < glyphs->num_glyphs; ++i) {
      advance += glyphs->glyphs[i].geometry.width;
    }
  }
  width_ = static_cast<double>(advance) / PANGO_SCALE;
  originOffset_ = -static_cast<double>(logical.x) / PANGO_SCALE;
}

void ShapedLine::draw(cairo_t* cr, double x, double baseline, Rgba color) const {
  cairo_set_source_rgba(cr, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                        color.alpha / 255.0);
  cairo_move_to(cr, x + originOffset_, baseline);
  pango_cairo_show_layout_line(cr, pango_layout_get_line_readonly(layout_.get(), 0));
}

TextSetter::TextSetter(GObjectPtr<PangoFontMap> fontMap, GObjectPtr<PangoContext> context)
    : fontMap_(std::move(fontMap)), context_(std::move(context)) {}

std::optional<TextSetter> TextSetter::create() {
  GObjectPtr<PangoFontMap> fontMap(pango_cairo_font_map_new());
  if (!fontMap) {
    return std::nullopt;
  }
  GObjectPtr<PangoContext> context(pango_font_map_create_context(fontMap.get()));
  if (!context) {
    return std::nullopt;
  }
  configureRendering(context.get());
  return TextSetter(std::move(fontMap), std::move(context));
}

ShapedLine TextSetter::shape(std::string_view text, double size) const {
  GObjectPtr<PangoLayout> layout(pango_layout_new(context_.get()));
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family_static(font, kFontFamilies);
  pango_font_description_set_weight(font, PANGO_WEIGHT_MEDIUM);
  pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
  pango_layout_set_font_description(layout.get(), font);
  pango_font_description_free(font);
  // Line ends in the text are characters of the one line, never breaks.
  pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
  const std::unique_ptr<gchar, GFreeDeleter> valid(
      g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
  pango_layout_set_text(layout.get(), valid.get(), -1);
  return ShapedLine(std::move(layout));
}

}  // namespace kestrova::inkslab
