// Threshold: reduces the working image to 1 bit; pixels darker than
// `Image Threshold` turn black, the others white.
#include "engine/steps/steps.h"

namespace qm {

Bitmap threshold(Bitmap image, const Settings& settings) {
  if (!image || !settings.doImageThreshold) return image;
  if (image.bpp() > 32) {
    image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    if (!image) return image;
  }
  return Bitmap(FreeImage_Threshold(image.get(), static_cast<BYTE>(settings.imageThreshold)));
}

}  // namespace qm
