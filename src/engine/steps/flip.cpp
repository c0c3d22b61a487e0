// Flip: mirrors the working image left to right and/or top to bottom, in
// place; the bit depth and the bitmap stay the same.
#include "engine/steps/steps.h"

namespace qm {

void flip(Bitmap& image, const Settings& settings) {
  if (!image) return;
  if (settings.doImageFlipHorizontal) FreeImage_FlipHorizontal(image.get());
  if (settings.doImageFlipVertical) FreeImage_FlipVertical(image.get());
}

}  // namespace qm
