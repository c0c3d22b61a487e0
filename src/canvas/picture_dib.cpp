#include "canvas/picture_dib.h"

namespace qm::dib {

namespace {

constexpr std::size_t kLargestHeader = 1024;

// One colour channel of a packed pixel, scaled to 0..255.
std::uint8_t channel(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) ++shift;
  const std::uint64_t max = mask >> shift;
  const std::uint64_t v = (value & mask) >> shift;
  return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
}

void put(Picture& picture, std::int64_t x, std::int64_t y, Rgba c) {
  std::uint8_t* p = &picture.rgba[(static_cast<std::size_t>(y) * picture.width + static_cast<std::size_t>(x)) * 4];
  p[0] = c.red;
  p[1] = c.green;
  p[2] = c.blue;
  p[3] = c.alpha;
}

Rgba packed(std::uint32_t value, const std::array<std::uint32_t, 4>& masks) {
  return {channel(value, masks[0]), channel(value, masks[1]), channel(value, masks[2]),
          masks[3] ? channel(value, masks[3]) : std::uint8_t{255}};
}

// Run-length encoded rows, bottom row first. Pixels the stream skips keep
// palette colour 0. The stream must end with its end marker or after the
// last row; running out of bytes first is a truncated file.
bool readRunLengths(const Header& header, const std::array<Rgba, 256>& colours, Bytes stream, Picture& picture) {
  const bool four = header.compression == kRle4;
  for (std::int64_t y = 0; y < header.height; ++y)
    for (std::int64_t x = 0; x < header.width; ++x) put(picture, x, y, colours[0]);
  std::int64_t x = 0;
  std::int64_t y = 0;  // counted from the bottom
  auto emit = [&](std::uint8_t index) {
    if (x < header.width && y < header.height) put(picture, x, header.height - 1 - y, colours[index]);
    ++x;
  };
  std::size_t pos = 0;
  while (y < header.height) {
    if (!stream.has(pos, 2)) return false;
    const std::uint8_t count = stream.data[pos];
    const std::uint8_t value = stream.data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) emit(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      continue;
    }
    switch (value) {
      case 0:
        x = 0;
        ++y;
        break;
      case 1: return true;
      case 2:
        if (!stream.has(pos, 2)) return false;
        x += stream.data[pos];
        y += stream.data[pos + 1];
        pos += 2;
        break;
      default: {
        const std::size_t bytes = four ? (value + 1u) / 2 : value;
        if (!stream.has(pos, bytes)) return false;
        for (int i = 0; i < value; ++i) {
          const std::uint8_t b = stream.data[pos + (four ? i / 2 : i)];
          emit(four ? (i % 2 == 0 ? b >> 4 : b & 0x0F) : b);
        }
        pos += bytes + (bytes & 1);  // runs are padded to 16 bits
        break;
      }
    }
  }
  return true;
}

}  // namespace

std::uint64_t rowBytes(std::int64_t width, int bitCount) {
  return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount) + 31) / 32 * 4;
}

bool pixelsFit(const Header& header, Bytes pixels) {
  if (header.compression == kRle8 || header.compression == kRle4) return pixels.has(0, 2);
  return pixels.has(0, rowBytes(header.width, header.bitCount) * static_cast<std::uint64_t>(header.height));
}

std::optional<Header> readHeader(Bytes dib, bool icon) {
  if (!dib.has(0, 4)) return std::nullopt;
  const std::uint32_t size = dib.u32(0);
  Header h;
  std::uint32_t coloursUsed = 0;
  if (size == 12) {
    if (!dib.has(0, 12)) return std::nullopt;
    h.core = true;
    h.width = dib.u16(4);
    h.height = dib.u16(6);
    h.bitCount = dib.u16(10);
    h.tableEnd = 12;
  } else if (size >= 40 && size <= kLargestHeader) {
    if (!dib.has(0, size)) return std::nullopt;
    h.width = dib.s32(4);
    const std::int64_t height = dib.s32(8);
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    h.bitCount = dib.u16(14);
    h.compression = dib.u32(16);
    coloursUsed = dib.u32(32);
    h.tableEnd = size;
    const bool bitFields = h.compression == kBitFields || h.compression == kAlphaBitFields;
    if (bitFields) {
      // The masks sit in the larger headers, or right after the basic one.
      const std::size_t count = h.compression == kAlphaBitFields ? 4 : 3;
      const std::size_t at = size >= 40 + 4 * count ? 40 : size;
      if (!dib.has(at, 4 * count)) return std::nullopt;
      for (std::size_t i = 0; i < count; ++i) h.masks[i] = dib.u32(at + 4 * i);
      if (size >= 56) h.masks[3] = dib.u32(52);
      if (at == size) h.tableEnd = size + 4 * count;
    }
  } else {
    return std::nullopt;
  }

  if (icon) {
    if (h.topDown) return std::nullopt;
    h.height /= 2;
  }
  if (!acceptablePictureSize(h.width, h.height)) return std::nullopt;

  switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 24: break;
    case 16:
    case 32:
      if (h.core) return std::nullopt;
      break;
    default: return std::nullopt;
  }
  switch (h.compression) {
    case kRgb:
      if (h.bitCount == 16) h.masks = {0x7C00, 0x03E0, 0x001F, 0};
      // The fourth byte is alpha only when some pixel sets it; the
      // decoders decide that once all pixels are read.
      if (h.bitCount == 32) h.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
      break;
    case kRle8:
    case kRle4:
      if (icon || h.topDown || h.bitCount != (h.compression == kRle8 ? 8 : 4)) return std::nullopt;
      break;
    case kBitFields:
    case kAlphaBitFields:
      if (h.bitCount != 16 && h.bitCount != 32) return std::nullopt;
      break;
    default: return std::nullopt;  // embedded JPEG or PNG, or unknown
  }

  const std::size_t largest = std::size_t{1} << (h.bitCount <= 8 ? h.bitCount : 8);
  if (coloursUsed > 256) return std::nullopt;
  h.paletteEntries = coloursUsed != 0 ? coloursUsed : (h.bitCount <= 8 ? largest : 0);
  h.paletteOffset = h.tableEnd;
  h.tableEnd += h.paletteEntries * (h.core ? 3 : 4);
  return h;
}

bool readPixels(const Header& header, Bytes palette, Bytes pixels, Picture& picture) {
  if (picture.width != header.width || picture.height != header.height) return false;
  std::array<Rgba, 256> colours{};
  if (header.bitCount <= 8) {
    const std::size_t entry = header.core ? 3 : 4;
    if (!palette.has(header.paletteOffset, header.paletteEntries * entry)) return false;
    for (std::size_t i = 0; i < header.paletteEntries && i < colours.size(); ++i) {
      const std::uint8_t* p = &palette.data[header.paletteOffset + i * entry];
      colours[i] = {p[2], p[1], p[0], 255};
    }
  }
  if (header.compression == kRle8 || header.compression == kRle4) {
    return readRunLengths(header, colours, pixels, picture);
  }

  if (!pixelsFit(header, pixels)) return false;
  const std::uint64_t stride = rowBytes(header.width, header.bitCount);
  for (std::int64_t r = 0; r < header.height; ++r) {
    const std::uint8_t* row = pixels.data.data() + static_cast<std::size_t>(r) * stride;
    const std::int64_t y = header.topDown ? r : header.height - 1 - r;
    for (std::int64_t x = 0; x < header.width; ++x) {
      Rgba c;
      switch (header.bitCount) {
        case 1: c = colours[(row[x >> 3] >> (7 - (x & 7))) & 1]; break;
        case 4: c = colours[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F]; break;
        case 8: c = colours[row[x]]; break;
        case 16: c = packed(static_cast<std::uint32_t>(row[2 * x] | row[2 * x + 1] << 8), header.masks); break;
        case 24: c = {row[3 * x + 2], row[3 * x + 1], row[3 * x], 255}; break;
        default: {
          const std::uint8_t* p = row + 4 * x;
          const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                  static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
          c = packed(v, header.masks);
        }
      }
      put(picture, x, y, c);
    }
  }
  return true;
}

}  // namespace qm::dib
