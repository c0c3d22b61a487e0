#include "canvas/picture.h"

#include <algorithm>
#include <initializer_list>

#include "platform/whole_file.h"

namespace qm {

namespace {

// Watermark pictures are logos; a file beyond this is not read at all.
constexpr std::size_t kMaxPictureFileBytes = std::size_t{256} << 20;

bool startsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> magic) {
  if (bytes.size() < magic.size()) return false;
  return std::equal(magic.begin(), magic.end(), bytes.begin());
}

}  // namespace

bool acceptablePictureSize(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

std::optional<Picture> makePicture(std::int64_t width, std::int64_t height, bool hasAlpha) {
  if (!acceptablePictureSize(width, height)) return std::nullopt;
  Picture picture;
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  picture.hasAlpha = hasAlpha;
  picture.rgba.assign(static_cast<std::size_t>(width * height) * 4, 0);
  return picture;
}

std::optional<Picture> decodePicture(std::span<const std::uint8_t> bytes) {
  if (startsWith(bytes, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return decodePng(bytes);
  if (startsWith(bytes, {0xFF, 0xD8, 0xFF})) return decodeJpeg(bytes);
  if (startsWith(bytes, {'B', 'M'})) return decodeBmp(bytes);
  if (startsWith(bytes, {0, 0, 1, 0}) || startsWith(bytes, {0, 0, 2, 0})) return decodeIco(bytes);
  return std::nullopt;
}

std::optional<Picture> readPicture(const std::string& path) {
  auto bytes = readWholeFile(path, kMaxPictureFileBytes);
  if (!bytes) return std::nullopt;
  return decodePicture(std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
}

Canvas pictureCanvas(const Picture& picture) {
  Canvas canvas(picture.width, picture.height);
  if (!canvas.valid() || picture.rgba.size() != static_cast<std::size_t>(picture.width) * picture.height * 4) {
    return Canvas(0, 0);
  }
  cairo_surface_t* surface = canvas.surface();
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < picture.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < picture.width; ++x) {
      Rgba p = picture.pixel(x, y);
      // Cairo keeps premultiplied colour; round to nearest like its own
      // PNG reader does.
      auto pre = [a = p.alpha](std::uint32_t c) -> std::uint32_t { return (c * a + 127) / 255; };
      row[x] = (std::uint32_t{p.alpha} << 24) | (pre(p.red) << 16) | (pre(p.green) << 8) | pre(p.blue);
    }
  }
  cairo_surface_mark_dirty(surface);
  return canvas;
}

}  // namespace qm
