#include "engine/document/document_image.h"

#include <algorithm>
#include <cmath>

#include "engine/document/colour_profile.h"

namespace qm {

namespace {

std::uint8_t to8(float v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }
std::uint16_t to16(float v) { return static_cast<std::uint16_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 65535.0f)); }

// CMYK and Lab to RGB planes. CMYK without a profile uses the same simple
// product as the library's reader (stored values are 1 - ink).
std::optional<std::string> toRgb(Composite& pixels, const PsdDocument& document, std::vector<std::uint8_t>& profile) {
  const std::size_t count = std::size_t{pixels.width} * pixels.height;
  const bool lab = document.header.mode == PsdMode::Lab;
  if (!lab && document.iccProfile.empty()) {
    std::vector<std::vector<float>> rgb(3, std::vector<float>(count));
    for (std::size_t i = 0; i < count; ++i)
      for (int c = 0; c < 3; ++c) rgb[c][i] = pixels.colour[c][i] * pixels.colour[3][i];
    pixels.colour = std::move(rgb);
    return std::nullopt;
  }
  const unsigned in = lab ? 3 : 4;
  std::vector<std::uint16_t> samples(count * in);
  for (std::size_t i = 0; i < count; ++i)
    for (unsigned c = 0; c < in; ++c) {
      const float v = pixels.colour[c][i];
      samples[i * in + c] = to16(lab ? v : 1.0f - v);
    }
  std::vector<std::uint16_t> rgb;
  if (auto problem = convertToSrgb(document.iccProfile, lab, samples, rgb, count)) return problem;
  pixels.colour.assign(3, std::vector<float>(count));
  for (std::size_t i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) pixels.colour[c][i] = static_cast<float>(rgb[i * 3 + c]) / 65535.0f;
  profile = srgbProfile();
  return std::nullopt;
}

// The planes in RGB or grey and the profile the written file carries: the
// document's own, or sRGB for CMYK and Lab turned into RGB through theirs.
std::optional<std::string> workingColours(Composite& pixels, const PsdDocument& document,
                                          std::vector<std::uint8_t>& profile) {
  const PsdMode mode = document.header.mode;
  if (mode == PsdMode::Cmyk || mode == PsdMode::Lab) return toRgb(pixels, document, profile);
  profile = document.iccProfile;
  return std::nullopt;
}

struct ImageType {
  FREE_IMAGE_TYPE type = FIT_BITMAP;
  int bpp = 8;
};

ImageType imageTypeFor(unsigned depth, bool grey, bool transparent) {
  if (depth == 16) return {grey && !transparent ? FIT_UINT16 : transparent ? FIT_RGBA16 : FIT_RGB16, 8};
  if (depth == 32) return {grey && !transparent ? FIT_FLOAT : transparent ? FIT_RGBAF : FIT_RGBF, 8};
  return {FIT_BITMAP, grey && !transparent ? 8 : transparent ? 32 : 24};
}

// An empty image of the type; an 8-bit one gets the grey ramp as palette.
Bitmap allocateImage(ImageType kind, unsigned width, unsigned height) {
  Bitmap image(FreeImage_AllocateT(kind.type, static_cast<int>(width), static_cast<int>(height), kind.bpp));
  if (image && kind.type == FIT_BITMAP && kind.bpp == 8) {
    RGBQUAD* palette = FreeImage_GetPalette(image.get());
    for (int i = 0; i < 256; ++i) palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
  }
  return image;
}

void fillImage(Bitmap& image, const Composite& pixels, ImageType kind, bool transparent) {
  const unsigned width = pixels.width, height = pixels.height;
  const bool grey = pixels.colour.size() == 1;
  auto colour = [&](unsigned c, std::size_t i) { return pixels.colour[grey ? 0 : c][i]; };
  for (unsigned y = 0; y < height; ++y) {
    // FreeImage keeps the bottom row first.
    BYTE* line = FreeImage_GetScanLine(image.get(), static_cast<int>(height - 1 - y));
    for (unsigned x = 0; x < width; ++x) {
      const std::size_t i = std::size_t{y} * width + x;
      const float a = transparent ? pixels.alpha[i] : 1.0f;
      switch (kind.type) {
        case FIT_UINT16: reinterpret_cast<WORD*>(line)[x] = to16(colour(0, i)); break;
        case FIT_FLOAT: reinterpret_cast<float*>(line)[x] = colour(0, i); break;
        case FIT_RGB16: {
          FIRGB16& p = reinterpret_cast<FIRGB16*>(line)[x];
          p = {to16(colour(0, i)), to16(colour(1, i)), to16(colour(2, i))};
          break;
        }
        case FIT_RGBA16: {
          FIRGBA16& p = reinterpret_cast<FIRGBA16*>(line)[x];
          p = {to16(colour(0, i)), to16(colour(1, i)), to16(colour(2, i)), to16(a)};
          break;
        }
        case FIT_RGBF: reinterpret_cast<FIRGBF*>(line)[x] = {colour(0, i), colour(1, i), colour(2, i)}; break;
        case FIT_RGBAF: reinterpret_cast<FIRGBAF*>(line)[x] = {colour(0, i), colour(1, i), colour(2, i), a}; break;
        default:
          if (kind.bpp == 8) {
            line[x] = to8(colour(0, i));
          } else {
            BYTE* p = line + static_cast<std::size_t>(x) * static_cast<unsigned>(kind.bpp / 8);
            p[FI_RGBA_RED] = to8(colour(0, i));
            p[FI_RGBA_GREEN] = to8(colour(1, i));
            p[FI_RGBA_BLUE] = to8(colour(2, i));
            if (kind.bpp == 32) p[FI_RGBA_ALPHA] = to8(a);
          }
      }
    }
  }
}

}  // namespace

DocumentImage documentImage(Composite pixels, const PsdDocument& document) {
  DocumentImage result;
  if (auto problem = workingColours(pixels, document, result.profile)) {
    result.failure = *problem;
    return result;
  }
  const bool transparent = std::any_of(pixels.alpha.begin(), pixels.alpha.end(), [](float a) { return a < 1.0f; });
  const ImageType kind = imageTypeFor(document.header.depth, pixels.colour.size() == 1, transparent);
  Bitmap image = allocateImage(kind, pixels.width, pixels.height);
  if (!image) {
    result.failure = "there is not enough memory for its " + std::to_string(pixels.width) + " x " +
                     std::to_string(pixels.height) + " image";
    return result;
  }
  fillImage(image, pixels, kind, transparent);
  result.image = std::move(image);
  return result;
}

namespace {

// Merged colour m of a pixel with alpha a over white: m = a c + (1 - a) w.
float unmatte(float m, float a, float white) { return std::clamp((m - (1 - a) * white) / a, 0.0f, white); }

}  // namespace

void removeWhiteMatte(Bitmap& image) {
  if (!image) return;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image.get());
  const unsigned width = image.width(), height = image.height();
  for (unsigned y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(image.get(), static_cast<int>(y));
    for (unsigned x = 0; x < width; ++x) {
      if (type == FIT_BITMAP && image.bpp() == 32) {
        BYTE* p = line + static_cast<std::size_t>(x) * 4;
        const float a = p[FI_RGBA_ALPHA] / 255.0f;
        if (a <= 0 || a >= 1) continue;
        for (int c : {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE})
          p[c] = static_cast<BYTE>(std::lround(unmatte(p[c], a, 255.0f)));
      } else if (type == FIT_RGBA16) {
        FIRGBA16& p = reinterpret_cast<FIRGBA16*>(line)[x];
        const float a = p.alpha / 65535.0f;
        if (a <= 0 || a >= 1) continue;
        for (WORD* c : {&p.red, &p.green, &p.blue}) *c = static_cast<WORD>(std::lround(unmatte(*c, a, 65535.0f)));
      } else if (type == FIT_RGBAF) {
        FIRGBAF& p = reinterpret_cast<FIRGBAF*>(line)[x];
        if (p.alpha <= 0 || p.alpha >= 1) continue;
        for (float* c : {&p.red, &p.green, &p.blue}) *c = unmatte(*c, p.alpha, 1.0f);
      } else {
        return;
      }
    }
  }
}

void removeWhiteMatte(Composite& pixels) {
  for (std::size_t i = 0; i < pixels.alpha.size(); ++i) {
    const float a = pixels.alpha[i];
    if (a <= 0 || a >= 1) continue;
    for (auto& plane : pixels.colour) plane[i] = unmatte(plane[i], a, 1.0f);
  }
}

}  // namespace qm
