// Decoding of the pixel data of a Photoshop document: the channels of a
// layer (raw, PackBits, zip, zip with prediction) and the planes of the
// merged image. Samples come back as floats, 0..1 for 8 and 16 bits and the
// stored value for 32 bits. Only the part that lies inside the document is
// kept, so a layer that reaches far outside costs no memory for it.
//
// Work is bounded by the file: a channel whose declared size could not come
// from its compressed bytes is refused as damaged before it is decoded.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/document/psd_structure.h"

namespace qm {

// PackBits: n >= 0 copies n + 1 bytes, n < 0 repeats the next byte 1 - n
// times, -128 is a no-op. False when `out` is not filled exactly.
bool unpackBits(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize);

// Samples of one channel over `area` (document coordinates), row by row.
struct Plane {
  PsdRect area;
  std::vector<float> samples;
};

std::optional<std::string> decodeChannel(const ByteSource& bytes, const PsdChannel& channel, const PsdRect& rect,
                                         const PsdRect& clip, const PsdHeader& header, Plane& out);

// The first `count` planes of the merged image (raw or PackBits).
std::optional<std::string> decodeMergedImage(const ByteSource& bytes, const PsdDocument& document, unsigned count,
                                             std::vector<Plane>& planes);

}  // namespace qm
