// BMP files: the file header, then a device-independent bitmap whose
// pixels start where the file header says.
#include "canvas/picture.h"
#include "canvas/picture_dib.h"

namespace qm {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;

// A 32-bit bitmap whose fourth bytes are all zero has no alpha, only
// padding (the usual case); one that sets any of them has an alpha channel.
void settleAlpha(Picture& picture) {
  bool any = false;
  for (std::size_t i = 3; i < picture.rgba.size() && !any; i += 4) any = picture.rgba[i] != 0;
  picture.hasAlpha = any;
  if (!any)
    for (std::size_t i = 3; i < picture.rgba.size(); i += 4) picture.rgba[i] = 255;
}

}  // namespace

std::optional<Picture> decodeBmp(std::span<const std::uint8_t> bytes) {
  dib::Bytes file{bytes};
  if (!file.has(0, kFileHeaderBytes) || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  const std::uint32_t pixelOffset = file.u32(10);
  dib::Bytes info{bytes.subspan(kFileHeaderBytes)};
  std::optional<dib::Header> header = dib::readHeader(info, false);
  if (!header) return std::nullopt;
  if (pixelOffset < kFileHeaderBytes + header->paletteOffset || !file.has(pixelOffset, 0)) return std::nullopt;

  const dib::Bytes pixels{bytes.subspan(pixelOffset)};
  if (!dib::pixelsFit(*header, pixels)) return std::nullopt;
  std::optional<Picture> picture = makePicture(header->width, header->height, false);
  if (!picture) return std::nullopt;
  if (!dib::readPixels(*header, info, pixels, *picture)) return std::nullopt;
  if (header->masks[3] != 0) settleAlpha(*picture);
  return picture;
}

}  // namespace qm
