// Tone-map: 16 bits per channel and floating-point colour images become
// 24-bit (32-bit with alpha) with the document's own tones: 16-bit samples
// are scaled, floats (linear light) sRGB-encoded. Outputs that hold wide
// samples get them as they are when no 8-bit step is on.
#include "engine/steps/steps.h"

namespace qm {

Bitmap toneMap(Bitmap image, bool keepWide) {
  if (!image || keepWide || !hasWideSamples(image)) return image;
  return toEightBitsPerSample(std::move(image));
}

}  // namespace qm
