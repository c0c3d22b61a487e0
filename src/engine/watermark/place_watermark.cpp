// Placing a stamp: rotated on a grown, clear canvas, cut to the room left
// after the offsets (keeping its top-left part), anchored at one of nine
// points of the image or of the area inside the frame, and composited
// over the working image. A stamp that does not lie wholly inside the
// image is not drawn at all.
#include <array>
#include <cstdint>
#include <limits>

#include "engine/watermark/watermark.h"

namespace qm {

namespace {

enum class Anchor { Offset, Centre, Far };

struct PositionRule {
  Anchor x;
  Anchor y;
};

// `Text Position` / `Image Position` 0..8.
constexpr std::array<PositionRule, 9> kPositions = {{
    {Anchor::Offset, Anchor::Offset},
    {Anchor::Centre, Anchor::Offset},
    {Anchor::Far, Anchor::Offset},
    {Anchor::Offset, Anchor::Centre},
    {Anchor::Centre, Anchor::Centre},
    {Anchor::Far, Anchor::Centre},
    {Anchor::Offset, Anchor::Far},
    {Anchor::Centre, Anchor::Far},
    {Anchor::Far, Anchor::Far},
}};

// The centre ignores the offset; division truncates toward zero.
std::int64_t coordinate(Anchor anchor, std::int64_t available, std::int64_t size, std::int64_t offset) {
  switch (anchor) {
    case Anchor::Offset: return offset;
    case Anchor::Centre: return (available - size) / 2;
    case Anchor::Far: return available - size - offset;
  }
  return 0;
}

bool fitsInt(std::int64_t v) { return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max(); }

}  // namespace

Placement textPlacement(const Settings& s) {
  return {s.textRotation, s.textXOffset, s.textYOffset, as<Boundary>(s.textBoundary), s.textPosition};
}

Placement imagePlacement(const Settings& s) {
  return {s.watermarkImageRotation, s.imageXOffset, s.imageYOffset, as<Boundary>(s.imageBoundary), s.imagePosition};
}

Bitmap placeWatermark(Bitmap image, Bitmap stamp, const Settings& settings, const Placement& placement, int width,
                      int height) {
  if (!image || !stamp) return image;
  if (placement.angle >= 1 && placement.angle <= 359) {
    // Without a background colour the grown corners of a 32-bit stamp
    // are left fully transparent.
    stamp = Bitmap(FreeImage_Rotate(stamp.get(), placement.angle, nullptr));
    if (!stamp) return image;
  }
  std::int64_t sw = stamp.width();
  std::int64_t sh = stamp.height();

  std::int64_t areaWidth = width;
  std::int64_t areaHeight = height;
  std::int64_t originX = 0;
  std::int64_t originY = 0;
  if (as<FrameType>(settings.doFrame) != FrameType::Off && placement.boundary == Boundary::Frame) {
    areaWidth = std::int64_t{width} - settings.solidLeft - settings.solidRight;
    areaHeight = std::int64_t{height} - settings.solidTop - settings.solidBottom;
    originX = settings.solidLeft;
    originY = settings.solidTop;
  }

  const std::int64_t ox = placement.xOffset;
  const std::int64_t oy = placement.yOffset;
  bool cut = false;
  if (sw + ox > areaWidth) {
    sw = areaWidth - ox;
    cut = true;
  }
  if (sh + oy > areaHeight) {
    sh = areaHeight - oy;
    cut = true;
  }
  if (cut) {
    if (sw <= 0 || sh <= 0) return image;
    stamp = Bitmap(FreeImage_Copy(stamp.get(), 0, 0, static_cast<int>(sw), static_cast<int>(sh)));
    if (!stamp) return image;
  }

  PositionRule rule{Anchor::Offset, Anchor::Offset};
  std::int64_t x = 0;
  std::int64_t y = 0;
  if (placement.position >= 0 && placement.position < static_cast<int>(kPositions.size())) {
    rule = kPositions[static_cast<std::size_t>(placement.position)];
    x = coordinate(rule.x, areaWidth, sw, ox);
    y = coordinate(rule.y, areaHeight, sh, oy);
  }
  x += originX;
  y += originY;
  if (!fitsInt(x) || !fitsInt(y)) return image;

  // The stamp must lie wholly inside the image, as a paste onto a clear
  // canvas of the image's size demands. Compositing such a canvas changes
  // no pixel outside the stamp, so only the stamp's own rectangle is
  // blended and put back: the same pixels for a fraction of the work.
  if (x < 0 || y < 0 || x + sw > width || y + sh > height) return image;
  if (static_cast<int>(image.width()) != width || static_cast<int>(image.height()) != height) return image;
  const int left = static_cast<int>(x);
  const int top = static_cast<int>(y);
  Bitmap under(FreeImage_Copy(image.get(), left, top, left + static_cast<int>(sw), top + static_cast<int>(sh)));
  if (!under) return image;
  Bitmap blended(FreeImage_Composite(stamp.get(), FALSE, nullptr, under.get()));
  // Above 255 the paste is a plain copy; at 255 it would blend with what
  // is there and turn every 255 into 254.
  if (blended) FreeImage_Paste(image.get(), blended.get(), left, top, 256);
  return image;
}

}  // namespace qm
