// Creating and releasing the watermark font of a run. The run starter
// makes it when `Do Watermark` is 1 and keeps it until the run has ended.
#pragma once

#include <memory>

#include "platform/handle.h"
#include "settings/settings.h"

namespace qm {

class Font;

// Defined where Font is complete, so this header needs only its name.
void destroyFont(Font* font);
using WatermarkFontPtr = Handle<Font, destroyFont>;

// Face `Font`, `Font Size` points at 96 dpi, with `Font Style` and
// `Font Effect`; null when the face cannot be resolved.
WatermarkFontPtr createWatermarkFont(const Settings& settings);

}  // namespace qm
