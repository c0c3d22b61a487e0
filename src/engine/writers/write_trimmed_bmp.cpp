// The palette-trimmed BMP writer: an 8-bit BMP whose colour table stops at
// the highest palette index the pixels use. FreeImage always writes the
// full 256 entries, so its file is taken apart and put together again.
#include "engine/writers/output_file.h"
#include "engine/writers/writers.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>
#include "platform/handle.h"

namespace qm {

namespace {

// What FreeImage writes before the pixels of an 8-bit BMP: file header,
// information header, 256 colour entries.
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
constexpr std::size_t kFullHeaderSize = kHeadersSize + std::size_t{256} * 4;

using Memory = Handle<FIMEMORY, FreeImage_CloseMemory>;

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

unsigned colourCount(const Bitmap& image) {
  unsigned highest = 0;
  for (unsigned y = 0; y < image.height(); ++y) {
    const BYTE* line = FreeImage_GetScanLine(image.get(), static_cast<int>(y));
    for (unsigned x = 0; x < image.width(); ++x)
      if (line[x] > highest) highest = line[x];
  }
  return highest + 1;
}

bool writeAll(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& failure) {
  OutputFile file = openOutputFile(path.c_str(), failure);
  if (!file) return false;
  bool complete = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  if (!complete) failure = cannotWrite(errno);
  return closeOutputFile(std::move(file), failure) && complete;
}

}  // namespace

bool writeTrimmedBmp(const Bitmap& image, std::int32_t writerId, std::int32_t saveFlags,
                     const std::string& temporaryPath, std::string& failure) {
  if (!image || image.bpp() != 8 || FreeImage_GetImageType(image.get()) != FIT_BITMAP) return false;
  const RGBQUAD* palette = FreeImage_GetPalette(image.get());
  if (!palette) return false;

  Memory stream(FreeImage_OpenMemory());
  if (!stream) return false;
  if (!FreeImage_SaveToMemory(static_cast<FREE_IMAGE_FORMAT>(writerId), image.get(), stream.get(), saveFlags))
    return false;
  BYTE* data = nullptr;
  DWORD size = 0;
  if (!FreeImage_AcquireMemory(stream.get(), &data, &size) || size < kFullHeaderSize) return false;

  const unsigned count = colourCount(image);
  const std::size_t pixelBytes = size - kFullHeaderSize;
  const std::size_t tableBytes = static_cast<std::size_t>(count) * 4;
  std::vector<std::uint8_t> file(kHeadersSize + tableBytes + pixelBytes);

  file[0] = 'B';
  file[1] = 'M';
  put32(file, 2, static_cast<std::uint32_t>(file.size()));
  put32(file, 6, 0);
  put32(file, 10, static_cast<std::uint32_t>(kHeadersSize + tableBytes));

  // The compression field stays as FreeImage wrote it: it always matches
  // the pixel data, also for a `BMP Compression` code outside 0 and 1,
  // which adds no save flag but would otherwise be written into the header.
  std::memcpy(file.data() + kFileHeaderSize, data + kFileHeaderSize, kInfoHeaderSize);
  put32(file, kFileHeaderSize + 20, static_cast<std::uint32_t>(pixelBytes));
  put32(file, kFileHeaderSize + 32, count);
  put32(file, kFileHeaderSize + 36, count);

  std::memcpy(file.data() + kHeadersSize, palette, tableBytes);
  std::memcpy(file.data() + kHeadersSize + tableBytes, data + kFullHeaderSize, pixelBytes);

  return finishTemporary(writeAll(temporaryPath, file, failure), temporaryPath);
}

}  // namespace qm
