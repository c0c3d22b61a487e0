// The watermark step: a text or a picture stamp placed on the working
// image. Any watermark setting other than none leaves the image 24-bit,
// whether or not a stamp could be made.
#include "engine/watermark/watermark.h"

#include "engine/naming.h"
#include "engine/steps/steps.h"

namespace qm {

Bitmap drawWatermark(Bitmap image, const WatermarkContext& context, int width, int height) {
  const Settings& settings = context.settings;
  if (as<WatermarkType>(settings.doWatermark) == WatermarkType::Off || !image) return image;
  if (FreeImage_GetImageType(image.get()) != FIT_BITMAP || image.bpp() != 24) {
    image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    if (!image) return image;
  }

  Bitmap stamp;
  Placement placement;
  switch (as<WatermarkType>(settings.doWatermark)) {
    case WatermarkType::Text:
      stamp = makeTextStamp(expandWatermarkText(settings.text, context.naming), settings, context.font);
      placement = textPlacement(settings);
      break;
    case WatermarkType::Image:
      if (!context.imageStamp)
        stamp = makeImageStamp(settings);
      else if (*context.imageStamp)
        stamp = Bitmap(FreeImage_Clone(context.imageStamp->get()));
      placement = imagePlacement(settings);
      break;
    default: break;
  }
  if (!stamp) return image;
  return placeWatermark(std::move(image), std::move(stamp), settings, placement, width, height);
}

}  // namespace qm
