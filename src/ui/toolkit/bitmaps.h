// The image sets' pictures as the toolkit's bitmaps. Private to the window
// face.
#pragma once

#include <cstdint>
#include <string_view>

#include <wx/bitmap.h>
#include <wx/image.h>

#include "canvas/picture.h"
#include "themes/image_sets.h"

namespace qm {

// A missing (empty) picture gives a fully transparent bitmap of the
// fallback side, so a control never loses its place.
wxBitmap toBitmap(const Picture& picture, int fallbackSide = 16);

// The picture of a key in a set as a bitmap; transparent when the key has
// none.
wxBitmap setBitmap(const ImageSet& set, std::string_view key, int fallbackSide = 16);

// A toolbar icon in a slot of `side` pixels: a smaller picture is centred
// and shown at its own size, a larger one is scaled down to fit.
wxBitmap toolbarBitmap(const ImageSet& set, std::string_view key, int side);

// FNV-1a over the rows as RGBA (alpha 255 where the bitmap has none): the
// same number for the same pixels, so tests can recognise a picture.
std::uint32_t pixelChecksum(const wxBitmap& bitmap);
std::uint32_t pixelChecksum(const Picture& picture);

// The pixels of an image as a picture (straight alpha, opaque when the
// image has no alpha).
Picture toPicture(const wxImage& image);

}  // namespace qm
