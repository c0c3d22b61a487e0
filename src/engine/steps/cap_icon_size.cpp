// Cap icon size: icons hold at most 128 x 128, so anything larger in either
// direction is squeezed to exactly that, aspect ratio or not.
#include "engine/steps/steps.h"

namespace qm {

namespace {
constexpr unsigned kIconLimit = 128;
}

Bitmap capIconSize(Bitmap image, std::string_view extension, bool& rescaled) {
  rescaled = false;
  if (!image || extension != "ico") return image;
  if (image.width() <= kIconLimit && image.height() <= kIconLimit) return image;
  rescaled = true;
  return Bitmap(FreeImage_Rescale(image.get(), kIconLimit, kIconLimit, FILTER_BICUBIC));
}

}  // namespace qm
