#include "canvas/text.h"

#include <pango/pangocairo.h>
#include "platform/handle.h"

namespace qm {

namespace {

// Pango takes 16-bit channels; an alpha of 0 means "not set" to its Cairo
// renderer (drawn opaque), so a fully transparent colour is given the
// smallest alpha there is, which still stores as 0 in an 8-bit canvas.
guint16 channel16(std::uint8_t value) { return static_cast<guint16>(value * 257); }
guint16 alpha16(std::uint8_t alpha) { return alpha == 0 ? 1 : channel16(alpha); }

// A text that is not valid UTF-8 (a settings file in another encoding)
// is drawn with replacement characters rather than refused.
std::string validUtf8(std::string_view text) {
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string result(valid);
  g_free(valid);
  return result;
}

}  // namespace

TextRenderer::TextRenderer(const Font& font, TextRendering rendering) : font_(font), rendering_(rendering) {
  if (!font.description()) return;
  // The default font map belongs to the calling thread; a renderer is
  // made and used on one thread.
  PangoFontMap* map = pango_cairo_font_map_get_default();
  if (!map) return;
  context_.reset(pango_font_map_create_context(map));
  if (!context_) return;

  Handle<cairo_font_options_t, cairo_font_options_destroy> options(cairo_font_options_create());
  const bool plain = rendering == TextRendering::Plain;
  cairo_font_options_set_antialias(options.get(), plain ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options.get(), plain ? CAIRO_HINT_STYLE_FULL : CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), plain ? CAIRO_HINT_METRICS_ON : CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context_.get(), options.get());
  pango_cairo_context_set_resolution(context_.get(), 96);
  pango_context_set_round_glyph_positions(context_.get(), plain);
}

TextRenderer::LayoutPtr TextRenderer::makeLayout(std::string_view line, const Rgba* front, const Rgba* back) const {
  if (!context_) return nullptr;
  LayoutPtr layout(pango_layout_new(context_.get()));
  if (!layout) return nullptr;
  pango_layout_set_font_description(layout.get(), font_.description());
  std::string text = validUtf8(line);
  pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(text.size()));

  Handle<PangoAttrList, pango_attr_list_unref> attributes(pango_attr_list_new());
  if (font_.underline()) pango_attr_list_insert(attributes.get(), pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (font_.strikethrough()) pango_attr_list_insert(attributes.get(), pango_attr_strikethrough_new(TRUE));
  if (front) {
    pango_attr_list_insert(attributes.get(), pango_attr_foreground_new(channel16(front->red), channel16(front->green),
                                                                       channel16(front->blue)));
    pango_attr_list_insert(attributes.get(), pango_attr_foreground_alpha_new(alpha16(front->alpha)));
  }
  if (back && back->alpha > 0) {
    pango_attr_list_insert(attributes.get(), pango_attr_background_new(channel16(back->red), channel16(back->green),
                                                                       channel16(back->blue)));
    pango_attr_list_insert(attributes.get(), pango_attr_background_alpha_new(alpha16(back->alpha)));
  }
  pango_layout_set_attributes(layout.get(), attributes.get());
  return layout;
}

std::optional<TextExtent> TextRenderer::measure(std::string_view line) const {
  LayoutPtr layout = makeLayout(line, nullptr, nullptr);
  if (!layout) return std::nullopt;
  PangoRectangle logical{};
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  TextExtent extent{static_cast<double>(logical.width) / PANGO_SCALE,
                    static_cast<double>(logical.height) / PANGO_SCALE};
  if (rendering_ == TextRendering::Plain) {
    extent.width = PANGO_PIXELS_CEIL(logical.width);
    extent.height = PANGO_PIXELS_CEIL(logical.height);
  }
  return extent;
}

void TextRenderer::draw(const Canvas& canvas, std::string_view line, double x, double y, Rgba front,
                        std::optional<Rgba> back) const {
  if (!canvas.valid() || !context_) return;
  CairoContext cr(canvas);
  cairo_set_antialias(cr.get(), rendering_ == TextRendering::Plain ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_GRAY);
  pango_cairo_update_context(cr.get(), context_.get());
  LayoutPtr layout = makeLayout(line, &front, back ? &*back : nullptr);
  if (!layout) return;
  cairo_move_to(cr.get(), x, y);
  pango_cairo_show_layout(cr.get(), layout.get());
  cairo_surface_flush(canvas.surface());
}

}  // namespace qm
