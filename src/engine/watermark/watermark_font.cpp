#include "engine/watermark/watermark_font.h"

#include <cmath>

#include "canvas/font.h"

namespace qm {

namespace {

// Fonts are made for a 96 dpi screen: points x 96 / 72, rounded.
int pixelSizeOf(int points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

}  // namespace

void destroyFont(Font* font) { std::default_delete<Font>()(font); }

WatermarkFontPtr createWatermarkFont(const Settings& settings) {
  FontRequest request;
  request.face = settings.font;
  request.pixelSize = pixelSizeOf(settings.fontSize);
  const auto style = as<FontStyle>(settings.fontStyle);
  request.bold = style == FontStyle::Bold || style == FontStyle::BoldItalic;
  request.italic = style == FontStyle::Italic || style == FontStyle::BoldItalic;
  request.underline = as<FontEffect>(settings.fontEffect) == FontEffect::Underline;
  request.strikethrough = as<FontEffect>(settings.fontEffect) == FontEffect::Strikethrough;
  std::optional<Font> font = Font::create(request);
  if (!font) return nullptr;
  return WatermarkFontPtr(std::make_unique<Font>(std::move(*font)).release());
}

}  // namespace qm
