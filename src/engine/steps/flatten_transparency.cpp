// Flatten transparency: formats that cannot keep an alpha channel get the
// image blended onto white instead of a black or undefined background.
#include "engine/steps/steps.h"

#include "formats/output_formats.h"

namespace qm {

Bitmap flattenTransparency(Bitmap image, std::string_view extension) {
  if (!image) return image;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
  const bool wideAlpha = type == FIT_RGBA16 || type == FIT_RGBAF;
  if (!wideAlpha && !FreeImage_IsTransparent(image.get())) return image;
  const OutputFormat* format = findOutputFormat(extension);
  if (format && format->keepsTransparency) return image;
  // Wide samples kept for the writer are laid on white in their own depth.
  if (wideAlpha) return flattenWideTransparency(std::move(image));
  // The compositor only takes 8-, 24- and 32-bit bitmaps.
  if (image.bpp() < 8 || image.bpp() > 32) image = Bitmap(FreeImage_ConvertTo32Bits(image.get()));
  if (!image) return image;
  RGBQUAD white{255, 255, 255, 0};
  return Bitmap(FreeImage_Composite(image.get(), FALSE, &white, nullptr));
}

}  // namespace qm
