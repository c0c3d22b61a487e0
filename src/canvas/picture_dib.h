// The device-independent bitmap that BMP files and icons share: its
// header, palette and pixel rows, read with every offset checked against
// the bytes at hand.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "canvas/picture.h"

namespace qm::dib {

// Little-endian reads at an offset; has() says whether they fit.
struct Bytes {
  std::span<const std::uint8_t> data;
  bool has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= data.size() && count <= data.size() - offset;
  }
  std::uint16_t u16(std::size_t o) const { return static_cast<std::uint16_t>(data[o] | data[o + 1] << 8); }
  std::uint32_t u32(std::size_t o) const {
    return static_cast<std::uint32_t>(data[o]) | static_cast<std::uint32_t>(data[o + 1]) << 8 |
           static_cast<std::uint32_t>(data[o + 2]) << 16 | static_cast<std::uint32_t>(data[o + 3]) << 24;
  }
  std::int32_t s32(std::size_t o) const { return static_cast<std::int32_t>(u32(o)); }
};

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

struct Header {
  std::int64_t width = 0;
  std::int64_t height = 0;  // rows of the picture (an icon's mask rows excluded)
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = kRgb;
  bool core = false;                     // the old 12-byte header with 3-byte palette entries
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha; for bit fields
  std::size_t paletteOffset = 0;         // from the start of the header
  std::size_t paletteEntries = 0;
  std::size_t tableEnd = 0;  // end of header, masks and palette
};

// The header at the start of `dib`. In an icon the height counts the
// mask's rows too and is halved here.
std::optional<Header> readHeader(Bytes dib, bool icon);

// Decodes the pixel rows found at `pixels` (colours only; alpha 255 or,
// for 32-bit pixels, the fourth byte or alpha mask) into `picture`,
// which has the header's size. `palette` is the bytes the header's
// palette offset counts from.
bool readPixels(const Header& header, Bytes palette, Bytes pixels, Picture& picture);

// Whether `pixels` can hold the rows the header promises (for run-length
// rows, at least an end marker); checked before the picture is allocated,
// so a damaged size never costs memory.
bool pixelsFit(const Header& header, Bytes pixels);

// Bytes of one row of `bitCount` pixels, padded to four bytes.
std::uint64_t rowBytes(std::int64_t width, int bitCount);

}  // namespace qm::dib
