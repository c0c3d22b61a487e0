// Pictures read by the program's own decoders (BMP, ICO, PNG, JPEG, told
// apart by their first bytes, not by the file name): straight-alpha RGBA
// rows, top row first. Every decoder checks every length and offset
// against the bytes it was given; damaged or truncated input gives
// nothing, never a partial picture.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "canvas/canvas.h"

namespace qm {

struct Picture {
  int width = 0;
  int height = 0;
  // True when the file carries transparency of its own (an alpha channel,
  // a PNG transparency chunk, an icon's mask); false for pictures that
  // are opaque by nature.
  bool hasAlpha = false;
  std::vector<std::uint8_t> rgba;  // width x height x 4, straight alpha

  Rgba pixel(int x, int y) const {
    const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
  }
};

// Sides up to this long (the largest canvas there is) and at most 64
// megapixels, far beyond any logo; larger pictures are refused before any
// memory is taken (a progressive JPEG needs several bytes a pixel more
// inside libjpeg).
inline constexpr int kMaxPictureSide = 32767;
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 26;
bool acceptablePictureSize(std::int64_t width, std::int64_t height);
// A fully transparent picture of that size; nothing when the size is not
// acceptable.
std::optional<Picture> makePicture(std::int64_t width, std::int64_t height, bool hasAlpha);

std::optional<Picture> decodePicture(std::span<const std::uint8_t> bytes);
std::optional<Picture> readPicture(const std::string& path);

// The decoders behind decodePicture, each for its own kind only.
std::optional<Picture> decodePng(std::span<const std::uint8_t> bytes);
std::optional<Picture> decodeJpeg(std::span<const std::uint8_t> bytes);
std::optional<Picture> decodeBmp(std::span<const std::uint8_t> bytes);
std::optional<Picture> decodeIco(std::span<const std::uint8_t> bytes);

// The picture as a baseline JPEG of the given quality (1..100), its
// transparency laid over white; nothing when libjpeg fails.
std::optional<std::vector<std::uint8_t>> encodeJpeg(const Picture& picture, int quality);

// A canvas holding the picture's pixels; invalid when none can be made.
Canvas pictureCanvas(const Picture& picture);

}  // namespace qm
