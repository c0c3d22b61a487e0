// Adjustment layers: what each does to one pixel of what lies beneath it,
// read from the layer's block. Samples are 0..1 in the document's colour
// channels as the compositor holds them; the tonal adjustments work on the
// samples as stored (CMYK as 1 - ink, as Photoshop applies them), the
// first record of levels and curves on every channel, then each channel's
// own record (a greyscale document's one channel takes both).
//
// The block comes from an untrusted file: every read is bounds-checked and
// a block that cannot be read, or a kind not drawn, yields nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "engine/document/psd_structure.h"

namespace qm {

// Changes the colour channels of one pixel in place.
using AdjustPixel = std::function<void(std::span<float> colour)>;

// The adjustment `key` names, from its block's data, for a document of that
// header composed in `channels` colour channels.
std::optional<AdjustPixel> readAdjustment(const BlendKey& key, std::span<const std::uint8_t> data,
                                          const PsdHeader& header, unsigned channels);

}  // namespace qm
