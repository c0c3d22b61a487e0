// The two halves of a render: loading the document, and running the steps
// and the writer over what was loaded. A render does both at once; a
// caller that writes one document several ways (at every depth a format
// allows) loads it once and renders copies.
#pragma once

#include <cstdint>
#include <vector>

#include "canvas/bitmap.h"
#include "engine/job.h"

namespace qm {

// The document's picture, with what the steps need to know of it, and what
// the load found: its failure (the picture is then empty), its source depth
// and its notes, which every render of it reports.
struct LoadedPicture {
  Bitmap image;
  std::vector<std::uint8_t> iccProfile;
  bool colourPalette = false;
  bool sourceHasAlpha = false;  // 16 bits or floats a sample, with alpha
  RenderResult result;

  LoadedPicture copy() const {
    return {image ? Bitmap(FreeImage_Clone(image.get())) : Bitmap(), iccProfile, colourPalette, sourceHasAlpha, result};
  }
};

// Checks and loads the document.
LoadedPicture loadPicture(const JobInput& input);

// Runs the steps over the picture and writes it under its temporary name.
RenderResult renderPicture(LoadedPicture picture, const Settings& settings, const RunFormat& format,
                           const JobInput& input, const WatermarkAssets* watermark);

}  // namespace qm
