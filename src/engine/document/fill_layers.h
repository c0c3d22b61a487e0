// Fill layers drawn from their description: a solid colour or a gradient
// (linear, radial, angle, reflected, diamond; colour and transparency stops
// with midpoints; angle, scale, offset, reverse) over the whole document,
// in the document's colour mode (patterns: see patterns.h). Noise
// gradients, and colours given only as a colour book entry, are not drawn.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/document/descriptor.h"
#include "engine/document/psd_structure.h"

namespace qm {

struct FillPaint {
  std::vector<std::vector<float>> colour;  // one plane per colour channel, over `area`
  std::vector<float> alpha;
};

// Paints the fill described by `key` and its descriptor over `area` of a
// document with that header and channel count; `box` is the rectangle the
// gradient spans. Returns
// false when the fill cannot be drawn.
bool paintFill(const BlendKey& key, const DescriptorValue& description, const PsdHeader& header, unsigned channels,
               const PsdRect& area, const PsdRect& box, FillPaint& out);

// A colour of a description (its "Clr " item's value) in the document's
// channels; nothing for colour kinds not drawn.
std::optional<std::vector<float>> descriptionColour(const DescriptorValue& colour, const PsdHeader& header);

}  // namespace qm
