// Turns the pixels this program decodes itself (a composed document, or a
// merged image the library's reader cannot give faithfully) into the
// working image, of the type the library's reader would have made for the
// document's depth: 8 bits per channel as 24/32-bit (or 8-bit grey), 16 as
// RGB16/RGBA16 (or UINT16 grey), 32 as RGBF/RGBAF (or FLOAT grey). CMYK and
// Lab become RGB; grey with transparency becomes RGBA, as FreeImage has no
// grey-with-alpha type. Also the repairs applied to the library's merged
// image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "canvas/bitmap.h"
#include "engine/document/psd_compose.h"

namespace qm {

struct DocumentImage {
  Bitmap image;
  std::vector<std::uint8_t> profile;  // what the written file carries
  std::string failure;
};

// `pixels.alpha` may be empty (opaque). CMYK and Lab go through the
// document's profile when it has one.
DocumentImage documentImage(Composite pixels, const PsdDocument& document);

// The merged image of a document with transparency is stored blended with
// white; this takes the white back out of the colour of every partly
// transparent pixel (32-bit, RGBA16 and RGBAF images).
void removeWhiteMatte(Bitmap& image);
// The same on planes in the document's own colour mode.
void removeWhiteMatte(Composite& pixels);

}  // namespace qm
