// Sample depth: how 16-bit and floating-point images meet the 8-bit steps
// and the wide outputs.
//
// A document stores 16-bit samples in the same encoding as its 8-bit ones,
// so they come down to 8 bits by plain scaling. Floating-point documents
// hold linear light; they come down through the sRGB transfer curve. Float
// outputs (exr, hdr, pfm, 96-bit tiff and jxr) are linear light as well, so
// 8- and 16-bit images are decoded from sRGB on their way there.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/steps/steps.h"

namespace qm {

float srgbToLinear(float encoded) {
  if (encoded <= 0.04045f) return encoded / 12.92f;
  return std::pow((encoded + 0.055f) / 1.055f, 2.4f);
}

float linearToSrgb(float linear) {
  const float v = std::clamp(linear, 0.0f, 1.0f);
  if (v <= 0.0031308f) return v * 12.92f;
  return 1.055f * std::pow(v, 1.0f / 2.4f) - 0.055f;
}

namespace {

BYTE from16(WORD v) { return static_cast<BYTE>((v * 255u + 32767u) / 65535u); }
BYTE fromLinear(float v) { return static_cast<BYTE>(std::lround(linearToSrgb(v) * 255.0f)); }
WORD wordFromLinear(float v) { return static_cast<WORD>(std::lround(linearToSrgb(v) * 65535.0f)); }
// Alpha is a coverage, not a light level: it is only scaled.
BYTE alphaFrom(float a) { return static_cast<BYTE>(std::lround(std::clamp(a, 0.0f, 1.0f) * 255.0f)); }

Bitmap allocateLike(const Bitmap& image, FREE_IMAGE_TYPE type, int bpp) {
  Bitmap made(FreeImage_AllocateT(type, static_cast<int>(image.width()), static_cast<int>(image.height()), bpp));
  if (made && type == FIT_BITMAP && bpp == 8) {
    RGBQUAD* palette = FreeImage_GetPalette(made.get());
    for (int i = 0; i < 256; ++i) palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
  }
  if (made) {
    FreeImage_SetDotsPerMeterX(made.get(), FreeImage_GetDotsPerMeterX(image.get()));
    FreeImage_SetDotsPerMeterY(made.get(), FreeImage_GetDotsPerMeterY(image.get()));
  }
  return made;
}

// Calls `pixel(source, target, x)` for every pixel, row by row.
template <typename From, typename To, typename Pixel>
void eachPixel(const Bitmap& source, Bitmap& target, Pixel pixel) {
  for (unsigned y = 0; y < source.height(); ++y) {
    const auto* in = reinterpret_cast<const From*>(FreeImage_GetScanLine(source.get(), static_cast<int>(y)));
    auto* out = reinterpret_cast<To*>(FreeImage_GetScanLine(target.get(), static_cast<int>(y)));
    for (unsigned x = 0; x < source.width(); ++x) pixel(in[x], out, x);
  }
}

void put(BYTE* line, unsigned x, int bytes, BYTE r, BYTE g, BYTE b, BYTE a = 255) {
  BYTE* p = line + static_cast<std::size_t>(x) * static_cast<std::size_t>(bytes);
  p[FI_RGBA_RED] = r;
  p[FI_RGBA_GREEN] = g;
  p[FI_RGBA_BLUE] = b;
  if (bytes == 4) p[FI_RGBA_ALPHA] = a;
}

}  // namespace

bool hasWideSamples(const Bitmap& image) { return image && FreeImage_GetImageType(image.get()) != FIT_BITMAP; }

Bitmap toEightBitsPerSample(Bitmap image) {
  if (!hasWideSamples(image)) return image;
  Bitmap made;
  switch (FreeImage_GetImageType(image.get())) {
    case FIT_UINT16:
      made = allocateLike(image, FIT_BITMAP, 8);
      if (made) eachPixel<WORD, BYTE>(image, made, [](WORD v, BYTE* out, unsigned x) { out[x] = from16(v); });
      break;
    case FIT_FLOAT:
      made = allocateLike(image, FIT_BITMAP, 8);
      if (made) eachPixel<float, BYTE>(image, made, [](float v, BYTE* out, unsigned x) { out[x] = fromLinear(v); });
      break;
    case FIT_RGB16:
      made = allocateLike(image, FIT_BITMAP, 24);
      if (made)
        eachPixel<FIRGB16, BYTE>(image, made, [](const FIRGB16& p, BYTE* out, unsigned x) {
          put(out, x, 3, from16(p.red), from16(p.green), from16(p.blue));
        });
      break;
    case FIT_RGBA16:
      made = allocateLike(image, FIT_BITMAP, 32);
      if (made)
        eachPixel<FIRGBA16, BYTE>(image, made, [](const FIRGBA16& p, BYTE* out, unsigned x) {
          put(out, x, 4, from16(p.red), from16(p.green), from16(p.blue), from16(p.alpha));
        });
      break;
    case FIT_RGBF:
      made = allocateLike(image, FIT_BITMAP, 24);
      if (made)
        eachPixel<FIRGBF, BYTE>(image, made, [](const FIRGBF& p, BYTE* out, unsigned x) {
          put(out, x, 3, fromLinear(p.red), fromLinear(p.green), fromLinear(p.blue));
        });
      break;
    case FIT_RGBAF:
      made = allocateLike(image, FIT_BITMAP, 32);
      if (made)
        eachPixel<FIRGBAF, BYTE>(image, made, [](const FIRGBAF& p, BYTE* out, unsigned x) {
          put(out, x, 4, fromLinear(p.red), fromLinear(p.green), fromLinear(p.blue), alphaFrom(p.alpha));
        });
      break;
    default:
      // Types no document holds (signed and 32-bit integers, complex).
      made = Bitmap(FreeImage_ConvertToStandardType(image.get(), TRUE));
      break;
  }
  if (made) FreeImage_CloneMetadata(made.get(), image.get());
  return made;
}

Bitmap toSixteenBitsPerSample(Bitmap image) {
  if (!image) return image;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
  if (type == FIT_RGB16) return image;
  if (type != FIT_FLOAT && type != FIT_RGBF && type != FIT_RGBAF) return Bitmap(FreeImage_ConvertToRGB16(image.get()));
  Bitmap made = allocateLike(image, FIT_RGB16, 48);
  if (!made) return made;
  if (type == FIT_FLOAT) {
    eachPixel<float, FIRGB16>(image, made, [](float v, FIRGB16* out, unsigned x) {
      const WORD w = wordFromLinear(v);
      out[x] = {w, w, w};
    });
  } else if (type == FIT_RGBF) {
    eachPixel<FIRGBF, FIRGB16>(image, made, [](const FIRGBF& p, FIRGB16* out, unsigned x) {
      out[x] = {wordFromLinear(p.red), wordFromLinear(p.green), wordFromLinear(p.blue)};
    });
  } else {
    eachPixel<FIRGBAF, FIRGB16>(image, made, [](const FIRGBAF& p, FIRGB16* out, unsigned x) {
      out[x] = {wordFromLinear(p.red), wordFromLinear(p.green), wordFromLinear(p.blue)};
    });
  }
  return made;
}

Bitmap toLinearFloat(Bitmap image) {
  if (!image) return image;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
  if (type == FIT_RGBF) return image;
  if (type == FIT_FLOAT || type == FIT_RGBAF) return Bitmap(FreeImage_ConvertToRGBF(image.get()));
  Bitmap made(FreeImage_ConvertToRGBF(image.get()));
  if (!made) return made;
  // Every sample of an encoded image maps to one of at most 65536 levels.
  const bool sixteen = type == FIT_UINT16 || type == FIT_RGB16 || type == FIT_RGBA16;
  std::vector<float> levels(sixteen ? 65536 : 256);
  for (std::size_t i = 0; i < levels.size(); ++i)
    levels[i] = srgbToLinear(static_cast<float>(i) / static_cast<float>(levels.size() - 1));
  const float top = static_cast<float>(levels.size() - 1);
  for (unsigned y = 0; y < made.height(); ++y) {
    auto* line = reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(made.get(), static_cast<int>(y)));
    for (unsigned x = 0; x < made.width(); ++x)
      for (float* c : {&line[x].red, &line[x].green, &line[x].blue})
        *c = levels[static_cast<std::size_t>(std::lround(std::clamp(*c, 0.0f, 1.0f) * top))];
  }
  return made;
}

Bitmap flattenWideTransparency(Bitmap image) {
  const FREE_IMAGE_TYPE type = image ? FreeImage_GetImageType(image.get()) : FIT_UNKNOWN;
  if (type == FIT_RGBA16) {
    Bitmap made = allocateLike(image, FIT_RGB16, 48);
    if (made)
      eachPixel<FIRGBA16, FIRGB16>(image, made, [](const FIRGBA16& p, FIRGB16* out, unsigned x) {
        auto over = [a = p.alpha](WORD c) {
          return static_cast<WORD>((static_cast<std::uint32_t>(c) * a + 65535u * (65535u - a) + 32767u) / 65535u);
        };
        out[x] = {over(p.red), over(p.green), over(p.blue)};
      });
    return made;
  }
  if (type == FIT_RGBAF) {
    Bitmap made = allocateLike(image, FIT_RGBF, 96);
    if (made)
      eachPixel<FIRGBAF, FIRGBF>(image, made, [](const FIRGBAF& p, FIRGBF* out, unsigned x) {
        const float a = std::clamp(p.alpha, 0.0f, 1.0f);
        out[x] = {p.red * a + (1 - a), p.green * a + (1 - a), p.blue * a + (1 - a)};
      });
    return made;
  }
  return image;
}

bool keepsWideSamples(const Settings& settings, int targetBitDepth) {
  if (targetBitDepth != 48 && targetBitDepth != 96) return false;
  // These steps work on 8-bit samples; with any of them on, the image goes
  // through them at 8 bits and is widened again afterwards.
  return !settings.doImageRotation && !settings.doImageColorCorrection && !settings.doImageGreyscale &&
         !settings.doImageThreshold && as<FrameType>(settings.doFrame) == FrameType::Off &&
         as<WatermarkType>(settings.doWatermark) == WatermarkType::Off;
}

}  // namespace qm
