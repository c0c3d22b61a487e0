// PNG pictures through libpng's simplified reader, which keeps its error
// handling (setjmp) inside libpng and reports failure by its result.
#include <png.h>

#include "canvas/picture.h"

namespace qm {

namespace {

class PngImage {
 public:
  PngImage() { image_.version = PNG_IMAGE_VERSION; }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;
  ~PngImage() { png_image_free(&image_); }
  png_image* get() { return &image_; }

 private:
  png_image image_{};
};

}  // namespace

std::optional<Picture> decodePng(std::span<const std::uint8_t> bytes) {
  PngImage png;
  png_image* image = png.get();
  if (!png_image_begin_read_from_memory(image, bytes.data(), bytes.size())) return std::nullopt;
  // Grey, palette and colour files alike with a transparency chunk or an
  // alpha channel report the alpha flag.
  const bool hasAlpha = (image->format & PNG_FORMAT_FLAG_ALPHA) != 0;
  std::optional<Picture> picture = makePicture(image->width, image->height, hasAlpha);
  if (!picture) return std::nullopt;
  image->format = PNG_FORMAT_RGBA;
  if (!png_image_finish_read(image, nullptr, picture->rgba.data(), 0, nullptr)) return std::nullopt;
  return picture;
}

}  // namespace qm
