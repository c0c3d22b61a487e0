// The image steps of the conversion job. Shared rules, written once:
// - A step takes the working image and returns the working image. When it
//   makes a new bitmap, the one it replaced is released by letting it go
//   out of scope; every other bitmap or canvas it makes dies inside it.
// - A missing working image (an empty Bitmap) passes through untouched.
// - Steps read their settings from the Settings record and nothing else.
#pragma once

#include <string>
#include <string_view>

#include "canvas/bitmap.h"
#include "settings/settings.h"

namespace qm {

// Loading and normalisation.
Bitmap loadDocument(const std::string& path);
// ico only: anything over 128 in either direction becomes 128 x 128.
Bitmap capIconSize(Bitmap image, std::string_view extension, bool& rescaled);
Bitmap normaliseGreyTypes(Bitmap image);
Bitmap toneMap(Bitmap image);
Bitmap flattenTransparency(Bitmap image, std::string_view extension);

// Geometry.
Bitmap rotate(Bitmap image, const Settings& settings);
Bitmap resize(Bitmap image, const Settings& settings, int width, int height);
void flip(Bitmap& image, const Settings& settings);

// Colour.
Bitmap adjustColours(Bitmap image, const Settings& settings);
Bitmap makeGreyscale(Bitmap image, const Settings& settings);
Bitmap threshold(Bitmap image, const Settings& settings);

// The frame, drawn inside the W x H recorded by the job.
Bitmap drawFrame(Bitmap image, const Settings& settings, int width, int height);

// Output encoding.
Bitmap convertBitDepth(Bitmap image, std::string_view extension, int targetBitDepth);

}  // namespace qm
