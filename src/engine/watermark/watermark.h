// The parts of the watermark step: the text stamp, the picture stamp and
// their placement. A stamp is a 32-bit bitmap with straight alpha; an
// empty Bitmap means "no stamp", and the image is then left without a
// watermark.
#pragma once

#include <string>

#include "canvas/bitmap.h"
#include "settings/settings.h"

namespace qm {

class Font;
struct NamingValues;

// What the watermark of a run needs that is the same for every document,
// made once by whoever renders the run's documents: a hostile picture
// decoded again for each document would cost its time again each time.
struct WatermarkAssets {
  const Font* font = nullptr;  // null unless the run made one
  // Null leaves the picture stamp to be made for each document; an empty
  // Bitmap means the picture gave no stamp.
  const Bitmap* imageStamp = nullptr;
};

// The watermark step: the stamp `Do Watermark` asks for, placed inside the
// W x H recorded by the job.
struct WatermarkContext {
  const Settings& settings;
  const Font* font;                    // null unless the run made one
  const NamingValues& naming;          // the values of the file being converted
  const Bitmap* imageStamp = nullptr;  // as in WatermarkAssets
};
Bitmap drawWatermark(Bitmap image, const WatermarkContext& context, int width, int height);

// `Text` with its placeholders replaced, when it holds at least two "%".
std::string expandWatermarkText(const std::string& text, const NamingValues& values);

// The text in the watermark font on its background box, with "%eol%"
// (any case) breaking lines.
Bitmap makeTextStamp(const std::string& text, const Settings& settings, const Font* font);

// `Image` read, faded by `Image Opacity` and optionally turned grey.
Bitmap makeImageStamp(const Settings& settings);

struct Placement {
  int angle = 0;
  int xOffset = 0;
  int yOffset = 0;
  Boundary boundary = Boundary::Image;
  int position = 8;  // 0..8, rows top to bottom, left to right within a row
};
Placement textPlacement(const Settings& settings);
Placement imagePlacement(const Settings& settings);

// Rotates, crops and positions the stamp inside the W x H image (or its
// frame) and composites it over the 24-bit working image.
Bitmap placeWatermark(Bitmap image, Bitmap stamp, const Settings& settings, const Placement& placement, int width,
                      int height);

}  // namespace qm
