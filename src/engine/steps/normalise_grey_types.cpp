// Normalise grey types: 16-bit and floating-point greyscale become 8-bit
// greyscale, stretched so the image's own darkest and brightest samples
// span 0..255. Standard 1- and 8-bit grey images come back as a copy.
#include "engine/steps/steps.h"

namespace qm {

Bitmap normaliseGreyTypes(Bitmap image) {
  if (!image) return image;
  FREE_IMAGE_COLOR_TYPE type = FreeImage_GetColorType(image.get());
  if (type != FIC_MINISWHITE && type != FIC_MINISBLACK) return image;
  return Bitmap(FreeImage_ConvertToStandardType(image.get(), TRUE));
}

}  // namespace qm
