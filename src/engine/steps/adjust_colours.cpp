// Adjust colours: brightness and contrast in percent, gamma and inversion,
// applied in place by FreeImage to images of 8 to 32 bits per pixel.
#include "engine/steps/steps.h"

namespace qm {

Bitmap adjustColours(Bitmap image, const Settings& settings) {
  if (!image || !settings.doImageColorCorrection) return image;
  if (image.bpp() < 8 || image.bpp() > 32) {
    image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    if (!image) return image;
  }
  // FALSE only means nothing had to change (an identity correction).
  FreeImage_AdjustColors(image.get(), settings.imageBrightness, settings.imageContrast,
                         static_cast<double>(settings.imageGamma), settings.imageInvert ? TRUE : FALSE);
  return image;
}

}  // namespace qm
