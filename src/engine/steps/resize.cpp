// Resize: rescales the working image to `Image Width` x `Image Height`,
// each in pixels or percent of the current size, optionally keeping the
// aspect ratio by the longer side and optionally only shrinking large
// images.
#include <array>
#include <climits>
#include <cmath>

#include "engine/steps/steps.h"

namespace qm {

namespace {

// The setting's codes are the program's own order, not FreeImage's filter
// numbers.
constexpr std::array<FREE_IMAGE_FILTER, 6> kFilters = {FILTER_BOX,     FILTER_BILINEAR,   FILTER_BSPLINE,
                                                       FILTER_BICUBIC, FILTER_CATMULLROM, FILTER_LANCZOS3};

FREE_IMAGE_FILTER filterFor(SmallCode algorithm) {
  if (algorithm < 0 || static_cast<std::size_t>(algorithm) >= kFilters.size()) return FILTER_BICUBIC;
  return kFilters[static_cast<unsigned char>(algorithm)];
}

// Huge values saturate rather than overflow; the rescale then simply fails.
int saturate(double value) {
  if (!(value > INT_MIN)) return INT_MIN;
  if (value >= INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

int targetSize(std::int32_t value, SmallCode unit, int current) {
  switch (as<ResizeUnit>(unit)) {
    case ResizeUnit::Pixels: return value;
    case ResizeUnit::Percent:
      // nearbyint rounds halves to the even neighbour: 50 % of 1001 is 500.
      return saturate(std::nearbyint(value / 100.0 * current));
    default: return 0;
  }
}

// The shorter side follows the longer one; halves round away from zero.
// A side never shrinks to nothing, which would lose the image.
int followingSide(int leading, float ratio) {
  float side = std::round(static_cast<float>(leading) / ratio);
  return side < 1.0f ? 1 : saturate(side);
}

}  // namespace

ImageSize resizedSize(const Settings& settings, int width, int height) {
  const ImageSize unchanged{width, height};
  if (!settings.doImageResize || width < 1 || height < 1) return unchanged;

  const int targetWidth = targetSize(settings.imageWidth, settings.imageWidthUnit, width);
  const int targetHeight = targetSize(settings.imageHeight, settings.imageHeightUnit, height);
  if (targetWidth < 1 || targetHeight < 1) return unchanged;
  if (targetWidth == width && targetHeight == height) return unchanged;
  if (as<ResizeType>(settings.imageResizeType) == ResizeType::LargeImages && width < targetWidth &&
      height < targetHeight)
    return unchanged;

  ImageSize size{targetWidth, targetHeight};
  if (settings.keepAspectRatio) {
    if (width >= height) {
      const float ratio = static_cast<float>(width) / static_cast<float>(height);
      size.height = followingSide(targetWidth, ratio);
    } else {
      const float ratio = static_cast<float>(height) / static_cast<float>(width);
      size.width = followingSide(targetHeight, ratio);
    }
  }
  return size;
}

Bitmap resize(Bitmap image, const Settings& settings, int width, int height) {
  if (!image) return image;
  const ImageSize size = resizedSize(settings, width, height);
  if (size.width == width && size.height == height) return image;
  return Bitmap(FreeImage_Rescale(image.get(), size.width, size.height, filterFor(settings.imageResizeAlgorithm)));
}

}  // namespace qm
