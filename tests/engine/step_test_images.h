// Small FreeImage bitmaps built pixel by pixel for the image-step tests,
// and pixel access with y counted from the top.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "canvas/bitmap.h"

namespace qm::test {

struct Pixel {
  int red = 0;
  int green = 0;
  int blue = 0;
  int alpha = 255;
  friend bool operator==(const Pixel&, const Pixel&) = default;
};

inline std::string describe(const Pixel& p) {
  return "(" + std::to_string(p.red) + "," + std::to_string(p.green) + "," + std::to_string(p.blue) + "," +
         std::to_string(p.alpha) + ")";
}

// Lets GoogleTest print a Pixel readably.
inline void PrintTo(const Pixel& p, std::ostream* out) { *out << describe(p); }

using PixelSource = std::function<Pixel(int x, int y)>;

// A 24- or 32-bit bitmap painted by `source` (y from the top).
inline Bitmap makeBitmap(int width, int height, int bpp, const PixelSource& source) {
  Bitmap bitmap(FreeImage_Allocate(width, height, bpp, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  const int bytes = bpp / 8;
  for (int y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(bitmap.get(), height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const Pixel p = source(x, y);
      BYTE* target = line + x * bytes;
      target[FI_RGBA_RED] = static_cast<BYTE>(p.red);
      target[FI_RGBA_GREEN] = static_cast<BYTE>(p.green);
      target[FI_RGBA_BLUE] = static_cast<BYTE>(p.blue);
      if (bytes == 4) target[FI_RGBA_ALPHA] = static_cast<BYTE>(p.alpha);
    }
  }
  return bitmap;
}

inline Bitmap makeUniform(int width, int height, int bpp, Pixel colour) {
  return makeBitmap(width, height, bpp, [colour](int, int) { return colour; });
}

// Deterministic noise, different in every channel.
inline Pixel noise(int x, int y) {
  std::uint32_t v = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
  v ^= v >> 13;
  v *= 0x5bd1e995u;
  v ^= v >> 15;
  return {static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF), 255};
}

// An 8-bit greyscale bitmap (linear grey palette) painted by `level`.
inline Bitmap makeGrey8(int width, int height, const std::function<int(int, int)>& level) {
  Bitmap bitmap(FreeImage_Allocate(width, height, 8));
  RGBQUAD* palette = FreeImage_GetPalette(bitmap.get());
  for (int i = 0; i < 256; ++i) {
    palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
  }
  for (int y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(bitmap.get(), height - 1 - y);
    for (int x = 0; x < width; ++x) line[x] = static_cast<BYTE>(level(x, y));
  }
  return bitmap;
}

// The colour at (x, y) of a bitmap of any standard depth; palettised
// pixels are looked up, alpha is 255 unless the bitmap has 32 bits.
inline Pixel pixelAt(const Bitmap& bitmap, int x, int y) {
  FIBITMAP* dib = bitmap.get();
  const unsigned fy = FreeImage_GetHeight(dib) - 1 - static_cast<unsigned>(y);
  RGBQUAD quad{};
  if (FreeImage_GetBPP(dib) <= 8) {
    BYTE index = 0;
    FreeImage_GetPixelIndex(dib, static_cast<unsigned>(x), fy, &index);
    quad = FreeImage_GetPalette(dib)[index];
    return {quad.rgbRed, quad.rgbGreen, quad.rgbBlue, 255};
  }
  FreeImage_GetPixelColor(dib, static_cast<unsigned>(x), fy, &quad);
  return {quad.rgbRed, quad.rgbGreen, quad.rgbBlue, FreeImage_GetBPP(dib) == 32 ? quad.rgbReserved : 255};
}

// Number of pixels that differ between two bitmaps of the same size; -1
// when the sizes differ.
inline long countDifferences(const Bitmap& a, const Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return -1;
  long differences = 0;
  for (unsigned y = 0; y < a.height(); ++y)
    for (unsigned x = 0; x < a.width(); ++x)
      if (!(pixelAt(a, static_cast<int>(x), static_cast<int>(y)) ==
            pixelAt(b, static_cast<int>(x), static_cast<int>(y))))
        ++differences;
  return differences;
}

// An independent copy, to compare a step's result against its input.
inline Bitmap copyOf(const Bitmap& bitmap) { return Bitmap(FreeImage_Clone(bitmap.get())); }

}  // namespace qm::test
