// Picture files made byte by byte for the watermark-picture tests: PNG and
// JPEG through libpng's and libjpeg's writers, BMP and ICO by hand, so
// every header field can also be set to something hostile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qm::test {

// Straight RGBA pixels, top row first.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;

  RgbaImage(int w, int h) : width(w), height(h), rgba(static_cast<std::size_t>(w) * h * 4, 0) {}
  std::uint8_t* at(int x, int y) { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
  void set(int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
    std::uint8_t* p = at(x, y);
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = a;
  }
};

using Bytes = std::vector<std::uint8_t>;

// withAlpha false writes an RGB file (alpha dropped).
Bytes encodePng(const RgbaImage& image, bool withAlpha);
Bytes encodeJpeg(const RgbaImage& image, int quality = 95);
// A progressive JPEG of exactly `scans` scans (4 to 190): the DC scan, then
// each colour's 63 AC coefficients split into bands of their own scans.
Bytes encodeProgressiveJpeg(const RgbaImage& image, int scans);
// 24 or 32 bits per pixel, bottom-up unless topDown.
Bytes encodeBmp(const RgbaImage& image, int bitCount, bool topDown = false);
// An 8-bit palette BMP of the given indices (row-major, top row first).
Bytes encodeBmp8(int width, int height, const std::vector<std::uint8_t>& indices,
                 const std::vector<std::uint32_t>& paletteRgb);
// An icon with one 32-bit bitmap image (alpha channel, empty mask), or
// with one 24-bit image whose mask makes pixels with alpha < 128
// transparent, or with one embedded PNG.
enum class IconKind { Bitmap32, Bitmap24Masked, Png };
Bytes encodeIco(const RgbaImage& image, IconKind kind);

// The bytes as a std::string, for TempFolder::write.
inline std::string asText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

void putU16(Bytes& bytes, std::size_t at, std::uint32_t value);
void putU32(Bytes& bytes, std::size_t at, std::uint32_t value);

}  // namespace qm::test
