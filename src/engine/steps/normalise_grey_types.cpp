// Normalise grey types: 16-bit and floating-point greyscale become 8-bit
// greyscale with the document's own tones (16-bit samples scaled, floats
// sRGB-encoded), unless the output keeps wide samples.
#include "engine/steps/steps.h"

namespace qm {

Bitmap normaliseGreyTypes(Bitmap image, bool keepWide) {
  if (!image || keepWide) return image;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
  if (type != FIT_UINT16 && type != FIT_FLOAT && type != FIT_INT16 && type != FIT_UINT32 && type != FIT_INT32 &&
      type != FIT_DOUBLE)
    return image;
  return toEightBitsPerSample(std::move(image));
}

}  // namespace qm
