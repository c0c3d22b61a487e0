// The picture stamp: `Image` decoded by the program's own readers and
// drawn at `Image Opacity` over a clear background when the picture has
// transparency of its own, over opaque black otherwise (so an opaque logo
// is darkened rather than faded). A grey stamp is written as it is, never
// blended with anything below.
#include <algorithm>

#include "canvas/canvas.h"
#include "canvas/picture.h"
#include "engine/watermark/watermark.h"

namespace qm {

namespace {

void makeGrey(Picture& picture) {
  for (std::size_t i = 0; i + 3 < picture.rgba.size(); i += 4) {
    std::uint8_t* p = &picture.rgba[i];
    const auto grey = static_cast<std::uint8_t>((77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8);
    p[0] = p[1] = p[2] = grey;
  }
}

}  // namespace

Bitmap makeImageStamp(const Settings& settings) {
  std::optional<Picture> picture = readPicture(settings.image);
  if (!picture) return {};
  const int opacity = std::clamp(settings.imageOpacity, 0, 255);
  if (settings.imageGreyscale) {
    // The grey replaces the pixel, its alpha kept; the opacity still makes
    // it fainter, as a user who lowers it for a grey logo expects.
    makeGrey(*picture);
    for (std::size_t i = 3; i < picture->rgba.size(); i += 4)
      picture->rgba[i] = static_cast<std::uint8_t>((picture->rgba[i] * opacity + 127) / 255);
    Canvas grey = pictureCanvas(*picture);
    return grey.valid() ? grey.toBitmap() : Bitmap();
  }

  Canvas stamp(picture->width, picture->height);
  Canvas source = pictureCanvas(*picture);
  if (!stamp.valid() || !source.valid()) return {};
  if (!picture->hasAlpha) stamp.fill({0, 0, 0, 255});
  stamp.drawCanvas(source, opacity);
  return stamp.toBitmap();
}

}  // namespace qm
