// Convert bit depth: brings the working image to the depth the output is
// written with. A depth no format permits (only an edited settings file
// can hold one) yields no image, and the file then fails at the write.
#include <utility>

#include "engine/steps/steps.h"
#include "formats/output_formats.h"

namespace qm {

namespace {

Bitmap toSixteenBits(Bitmap image, std::string_view extension) {
  if (image.bpp() > 32) image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
  if (!image) return image;
  const OutputFormat* format = findOutputFormat(extension);
  bool use555 = format && format->sixteenBitLayout == SixteenBitLayout::Rgb555;
  return Bitmap(use555 ? FreeImage_ConvertTo16Bits555(image.get()) : FreeImage_ConvertTo16Bits565(image.get()));
}

bool makesGreyEightBits(std::string_view extension) {
  const OutputFormat* format = findOutputFormat(extension);
  return format && format->eightBitMethod == EightBitMethod::Greyscale;
}

Bitmap toEightBits(Bitmap image, std::string_view extension) {
  if (makesGreyEightBits(extension)) {
    // Palettised images keep their colours through FreeImage_ConvertTo8Bits,
    // and the JPEG family would then write them as colour after all.
    if (image.bpp() <= 8) return Bitmap(FreeImage_ConvertToGreyscale(image.get()));
    return Bitmap(FreeImage_ConvertTo8Bits(image.get()));
  }
  // The Wu quantiser only reads 24-bit images.
  if (image.bpp() != 24) image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
  if (!image) return image;
  return Bitmap(FreeImage_ColorQuantizeEx(image.get(), FIQ_WUQUANT, 256, 0, nullptr));
}

// A portable bitmap stores 1 for black, and FreeImage writes the pixels'
// palette indices as they are. The dithered image has black at index 0, so
// its bits are inverted and its two palette entries swapped: it looks the
// same to every reader, and its file says black where the image is black.
Bitmap blackAsOne(Bitmap image) {
  if (!image || image.bpp() != 1) return image;
  RGBQUAD* palette = FreeImage_GetPalette(image.get());
  if (!palette || palette[0].rgbRed >= palette[1].rgbRed) return image;
  if (!FreeImage_Invert(image.get())) return {};
  std::swap(palette[0], palette[1]);
  return image;
}

}  // namespace

Bitmap convertBitDepth(Bitmap image, std::string_view extension, int targetBitDepth) {
  if (!image) return image;
  if (static_cast<int>(image.bpp()) == targetBitDepth) {
    // 8 bits for the JPEG family means grey: an 8-bit palette of colours is
    // not there yet.
    bool colourPalette =
        targetBitDepth == 8 && makesGreyEightBits(extension) && FreeImage_GetColorType(image.get()) != FIC_MINISBLACK;
    if (!colourPalette) return image;
  }
  switch (targetBitDepth) {
    case 96: return Bitmap(FreeImage_ConvertToRGBF(image.get()));
    case 48: return Bitmap(FreeImage_ConvertToRGB16(image.get()));
    case 32: return Bitmap(FreeImage_ConvertTo32Bits(image.get()));
    case 24: return Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    case 16: return toSixteenBits(std::move(image), extension);
    case 8: return toEightBits(std::move(image), extension);
    case 4: return Bitmap(FreeImage_ConvertTo4Bits(image.get()));
    case 1: {
      Bitmap dithered(FreeImage_Dither(image.get(), FID_FS));
      if (extension == "pbm") dithered = blackAsOne(std::move(dithered));
      return dithered;
    }
    default: return Bitmap();
  }
}

}  // namespace qm
