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
  request.bold = settings.fontStyle == 1 || settings.fontStyle == 3;
  request.italic = settings.fontStyle == 2 || settings.fontStyle == 3;
  request.underline = settings.fontEffect == 1;
  request.strikethrough = settings.fontEffect == 2;
  std::optional<Font> font = Font::create(request);
  if (!font) return nullptr;
  return WatermarkFontPtr(std::make_unique<Font>(std::move(*font)).release());
}

}  // namespace qm
