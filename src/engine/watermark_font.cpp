// Interim: every face is accepted until font resolution is built.
#include "engine/watermark_font.h"

#include "canvas/font.h"

namespace qm {

void WatermarkFontDeleter::operator()(WatermarkFont* font) const { delete font; }

WatermarkFontPtr createWatermarkFont(const Settings& settings) {
  return WatermarkFontPtr(new WatermarkFont{settings.font});
}

}  // namespace qm
