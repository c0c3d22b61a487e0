#include "ui/toolkit/bitmaps.h"

#include <algorithm>

namespace qm {

namespace {

constexpr std::uint32_t kFnvOffset = 2166136261u;
constexpr std::uint32_t kFnvPrime = 16777619u;

void addByte(std::uint32_t& hash, std::uint8_t byte) {
  hash ^= byte;
  hash *= kFnvPrime;
}

wxImage toImage(const Picture& picture) {
  wxImage image(picture.width, picture.height, false);
  image.InitAlpha();
  unsigned char* rgb = image.GetData();
  unsigned char* alpha = image.GetAlpha();
  const std::size_t pixels = static_cast<std::size_t>(picture.width) * picture.height;
  for (std::size_t i = 0; i < pixels; ++i) {
    rgb[i * 3] = picture.rgba[i * 4];
    rgb[i * 3 + 1] = picture.rgba[i * 4 + 1];
    rgb[i * 3 + 2] = picture.rgba[i * 4 + 2];
    alpha[i] = picture.rgba[i * 4 + 3];
  }
  return image;
}

wxImage transparentImage(int side) {
  wxImage image(side, side, true);
  image.InitAlpha();
  std::fill_n(image.GetAlpha(), static_cast<std::size_t>(side) * side, 0);
  return image;
}

bool usable(const Picture& picture) {
  return picture.width > 0 && picture.height > 0 &&
         picture.rgba.size() == static_cast<std::size_t>(picture.width) * picture.height * 4;
}

}  // namespace

wxBitmap toBitmap(const Picture& picture, int fallbackSide) {
  if (!usable(picture)) return wxBitmap(transparentImage(fallbackSide));
  return wxBitmap(toImage(picture));
}

wxBitmap setBitmap(const ImageSet& set, std::string_view key, int fallbackSide) {
  const Picture* picture = set.find(key);
  return picture ? toBitmap(*picture, fallbackSide) : toBitmap(Picture{}, fallbackSide);
}

wxBitmap toolbarBitmap(const ImageSet& set, std::string_view key, int side) {
  const Picture* picture = set.find(key);
  if (!picture || !usable(*picture)) return wxBitmap(transparentImage(side));
  wxImage image = toImage(*picture);
  if (image.GetWidth() > side || image.GetHeight() > side) {
    const double scale =
        std::min(static_cast<double>(side) / image.GetWidth(), static_cast<double>(side) / image.GetHeight());
    image.Rescale(std::max(1, static_cast<int>(image.GetWidth() * scale)),
                  std::max(1, static_cast<int>(image.GetHeight() * scale)), wxIMAGE_QUALITY_HIGH);
  }
  if (image.GetWidth() == side && image.GetHeight() == side) return wxBitmap(image);
  wxImage slot = transparentImage(side);
  slot.Paste(image, (side - image.GetWidth()) / 2, (side - image.GetHeight()) / 2);
  return wxBitmap(slot);
}

Picture toPicture(const wxImage& image) {
  Picture picture;
  picture.width = image.GetWidth();
  picture.height = image.GetHeight();
  picture.hasAlpha = image.HasAlpha();
  const std::size_t pixels = static_cast<std::size_t>(picture.width) * picture.height;
  picture.rgba.resize(pixels * 4);
  const unsigned char* rgb = image.GetData();
  const unsigned char* alpha = image.HasAlpha() ? image.GetAlpha() : nullptr;
  for (std::size_t i = 0; i < pixels; ++i) {
    picture.rgba[i * 4] = rgb[i * 3];
    picture.rgba[i * 4 + 1] = rgb[i * 3 + 1];
    picture.rgba[i * 4 + 2] = rgb[i * 3 + 2];
    picture.rgba[i * 4 + 3] = alpha ? alpha[i] : 255;
  }
  return picture;
}

std::uint32_t pixelChecksum(const Picture& picture) {
  std::uint32_t hash = kFnvOffset;
  for (std::uint8_t byte : picture.rgba) addByte(hash, byte);
  return hash;
}

std::uint32_t pixelChecksum(const wxBitmap& bitmap) {
  if (!bitmap.IsOk()) return 0;
  return pixelChecksum(toPicture(bitmap.ConvertToImage()));
}

}  // namespace qm
