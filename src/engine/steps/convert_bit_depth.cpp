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
  return quantiseTo256Colours(std::move(image));
}

// The one-bit formats store bits, not colours, and FreeImage writes the
// pixels' palette indices as they are: a portable bitmap means black by 1, a
// wireless bitmap by 0. Where the image's palette has black at the other
// index its bits are inverted and its two entries swapped: it looks the same
// to every reader, and its file says black where the image is black.
Bitmap blackAt(Bitmap image, int blackIndex) {
  if (!image || image.bpp() != 1) return image;
  RGBQUAD* palette = FreeImage_GetPalette(image.get());
  if (!palette) return image;
  const int darker = palette[0].rgbRed + palette[0].rgbGreen + palette[0].rgbBlue <=
                             palette[1].rgbRed + palette[1].rgbGreen + palette[1].rgbBlue
                         ? 0
                         : 1;
  if (darker == blackIndex) return image;
  if (!FreeImage_Invert(image.get())) return {};
  std::swap(palette[0], palette[1]);
  return image;
}

Bitmap blackForFormat(Bitmap image, std::string_view extension) {
  if (extension == "pbm") return blackAt(std::move(image), 1);
  if (extension == "wbmp") return blackAt(std::move(image), 0);
  return image;
}

}  // namespace

Bitmap convertBitDepth(Bitmap image, std::string_view extension, int targetBitDepth) {
  if (!image) return image;
  // Float outputs hold linear light, whatever the working image holds.
  if (targetBitDepth == 96) return toLinearFloat(std::move(image));
  if (targetBitDepth == 48) return toSixteenBitsPerSample(std::move(image));
  if (hasWideSamples(image)) image = toEightBitsPerSample(std::move(image));
  if (!image) return image;
  if (static_cast<int>(image.bpp()) == targetBitDepth) {
    // 8 bits for the JPEG family means grey: an 8-bit palette of colours is
    // not there yet.
    bool colourPalette =
        targetBitDepth == 8 && makesGreyEightBits(extension) && FreeImage_GetColorType(image.get()) != FIC_MINISBLACK;
    if (!colourPalette) return blackForFormat(std::move(image), extension);
  }
  switch (targetBitDepth) {
    case 32: return Bitmap(FreeImage_ConvertTo32Bits(image.get()));
    case 24: return Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    case 16: return toSixteenBits(std::move(image), extension);
    case 8: return toEightBits(std::move(image), extension);
    case 4: return Bitmap(FreeImage_ConvertTo4Bits(image.get()));
    case 1: return blackForFormat(Bitmap(FreeImage_Dither(image.get(), FID_FS)), extension);
    default: return Bitmap();
  }
}

}  // namespace qm
