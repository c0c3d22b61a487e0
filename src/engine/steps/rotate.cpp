// Rotate: turns the working image by `Image Rotation` degrees
// (counter-clockwise, as FreeImage counts), either growing the canvas and
// filling the uncovered corners with `Image Rotation Back Color` (simple),
// or about the centre at the same size with mirrored corners (advanced).
#include "engine/steps/steps.h"

namespace qm {

namespace {

// Wide samples come down to 8 bits with their own tones (and alpha) first,
// as the job would bring them later; small depths are widened to 24 bits.
Bitmap widenTo24Bits(Bitmap image) {
  Bitmap standard = toEightBitsPerSample(std::move(image));
  if (!standard || standard.bpp() == 24 || standard.bpp() == 32) return standard;
  return Bitmap(FreeImage_ConvertTo24Bits(standard.get()));
}

}  // namespace

Bitmap rotate(Bitmap image, const Settings& settings) {
  if (!image || !settings.doImageRotation) return image;
  const int angle = settings.imageRotation;
  if (angle < 1 || angle > 359) return image;

  if (image.bpp() <= 16 || image.bpp() > 32 || hasWideSamples(image)) image = widenTo24Bits(std::move(image));
  if (!image) return image;

  switch (as<RotationType>(settings.imageRotationType)) {
    case RotationType::Simple: {
      const Rgb back = colourFromText(settings.imageRotationBackColor);
      // Alpha 0, so the corners of a 32-bit image come out transparent.
      RGBQUAD background{};
      background.rgbRed = back.red;
      background.rgbGreen = back.green;
      background.rgbBlue = back.blue;
      background.rgbReserved = 0;
      return Bitmap(FreeImage_Rotate(image.get(), angle, &background));
    }
    case RotationType::Advanced:
      return Bitmap(FreeImage_RotateEx(image.get(), angle, 0.0, 0.0, image.width() / 2.0, image.height() / 2.0, FALSE));
    default: return image;
  }
}

}  // namespace qm
