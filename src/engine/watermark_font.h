// Creating and releasing the watermark font of a run. The run starter
// makes it when `Do Watermark` is 1 and keeps it until the run has ended.
#pragma once

#include <memory>

#include "settings/settings.h"

namespace qm {

class WatermarkFont;

struct WatermarkFontDeleter {
  void operator()(WatermarkFont* font) const;
};
using WatermarkFontPtr = std::unique_ptr<WatermarkFont, WatermarkFontDeleter>;

// Face `Font`, `Font Size` points at 96 dpi, with `Font Style` and
// `Font Effect`; null when the face cannot be resolved.
WatermarkFontPtr createWatermarkFont(const Settings& settings);

}  // namespace qm
