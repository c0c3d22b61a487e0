// Icon files: a directory of images, of which the largest (then the
// deepest) is used. Each image is a PNG or a device-independent bitmap
// with twice its height: the colour rows, then a one-bit mask whose set
// bits are transparent.
#include "canvas/picture.h"
#include "canvas/picture_dib.h"

namespace qm {

namespace {

constexpr std::size_t kDirectoryHeaderBytes = 6;
constexpr std::size_t kEntryBytes = 16;

struct IconEntry {
  std::int64_t area = -1;
  int bitCount = 0;
  std::size_t offset = 0;
  std::size_t size = 0;
};

std::optional<IconEntry> bestEntry(dib::Bytes file) {
  const unsigned count = file.u16(4);
  std::optional<IconEntry> best;
  for (unsigned i = 0; i < count; ++i) {
    const std::size_t at = kDirectoryHeaderBytes + i * kEntryBytes;
    if (!file.has(at, kEntryBytes)) return std::nullopt;
    const int width = file.data[at] == 0 ? 256 : file.data[at];
    const int height = file.data[at + 1] == 0 ? 256 : file.data[at + 1];
    IconEntry entry{std::int64_t{width} * height, file.u16(at + 6), file.u32(at + 12), file.u32(at + 8)};
    if (!file.has(entry.offset, entry.size) || entry.size == 0) continue;
    if (!best || entry.area > best->area || (entry.area == best->area && entry.bitCount > best->bitCount)) best = entry;
  }
  return best;
}

bool anyAlpha(const Picture& picture) {
  for (std::size_t i = 3; i < picture.rgba.size(); i += 4)
    if (picture.rgba[i] != 0) return true;
  return false;
}

std::optional<Picture> decodeIconBitmap(std::span<const std::uint8_t> bytes) {
  dib::Bytes image{bytes};
  std::optional<dib::Header> header = dib::readHeader(image, true);
  if (!header) return std::nullopt;
  if (!image.has(header->tableEnd, 0)) return std::nullopt;
  const dib::Bytes pixels{bytes.subspan(header->tableEnd)};
  if (!dib::pixelsFit(*header, pixels)) return std::nullopt;
  std::optional<Picture> picture = makePicture(header->width, header->height, true);
  if (!picture) return std::nullopt;
  if (!dib::readPixels(*header, image, pixels, *picture)) return std::nullopt;

  if (header->bitCount == 32 && anyAlpha(*picture)) return picture;
  const std::uint64_t maskOffset =
      header->tableEnd + dib::rowBytes(header->width, header->bitCount) * static_cast<std::uint64_t>(header->height);
  const std::uint64_t maskStride = dib::rowBytes(header->width, 1);
  if (!image.has(maskOffset, maskStride * static_cast<std::uint64_t>(header->height))) {
    // 32-bit icons may leave the mask out; everything else needs it.
    if (header->bitCount != 32) return std::nullopt;
    for (std::size_t i = 3; i < picture->rgba.size(); i += 4) picture->rgba[i] = 255;
    return picture;
  }
  for (int r = 0; r < picture->height; ++r) {
    const std::uint8_t* row = bytes.data() + maskOffset + static_cast<std::size_t>(r) * maskStride;
    const int y = picture->height - 1 - r;
    for (int x = 0; x < picture->width; ++x) {
      const bool transparent = (row[x >> 3] >> (7 - (x & 7))) & 1;
      picture->rgba[(static_cast<std::size_t>(y) * picture->width + x) * 4 + 3] = transparent ? 0 : 255;
    }
  }
  return picture;
}

}  // namespace

std::optional<Picture> decodeIco(std::span<const std::uint8_t> bytes) {
  dib::Bytes file{bytes};
  if (!file.has(0, kDirectoryHeaderBytes) || file.u16(0) != 0) return std::nullopt;
  const unsigned type = file.u16(2);
  if ((type != 1 && type != 2) || file.u16(4) == 0) return std::nullopt;
  std::optional<IconEntry> entry = bestEntry(file);
  if (!entry) return std::nullopt;
  std::span<const std::uint8_t> image = bytes.subspan(entry->offset, entry->size);
  std::optional<Picture> picture =
      image.size() >= 8 && image[0] == 0x89 && image[1] == 'P' ? decodePng(image) : decodeIconBitmap(image);
  // Icons are transparent by nature; their background is always clear.
  if (picture) picture->hasAlpha = true;
  return picture;
}

}  // namespace qm
