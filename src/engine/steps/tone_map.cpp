// Tone-map: 16 bits per channel and floating-point images become 24-bit
// with Drago's operator; their alpha goes with it. Wider outputs are later
// widened again from these 8-bit channels.
#include "engine/steps/steps.h"

namespace qm {

Bitmap toneMap(Bitmap image) {
  if (!image || image.bpp() <= 32) return image;
  return Bitmap(FreeImage_TmoDrago03(image.get(), 1.0, 0.0));
}

}  // namespace qm
