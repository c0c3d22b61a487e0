// Make greyscale: replaces the working image with an 8-bit greyscale one.
#include "engine/steps/steps.h"

namespace qm {

Bitmap makeGreyscale(Bitmap image, const Settings& settings) {
  if (!image || !settings.doImageGreyscale) return image;
  if (image.bpp() > 32) {
    image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    if (!image) return image;
  }
  return Bitmap(FreeImage_ConvertToGreyscale(image.get()));
}

}  // namespace qm
