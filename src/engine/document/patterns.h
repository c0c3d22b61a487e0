// Pattern fills: the patterns a document carries (its Patt/Pat2/Pat3
// blocks) and the tiling of one over a fill layer's area. Patterns of 8
// bits per channel in the document's colour mode, or greyscale in any
// mode, are drawn.
//
// The blocks come from an untrusted file: every read is bounds-checked,
// sizes are capped, and a pattern that cannot be read is left out.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/document/descriptor.h"
#include "engine/document/fill_layers.h"
#include "engine/document/psd_structure.h"

namespace qm {

struct Pattern {
  std::string id;  // what a fill names it by
  unsigned width = 0, height = 0;
  std::vector<std::vector<float>> colour;  // one plane per document channel
};

// Appends the patterns of one block that can be drawn in a document of
// that mode composed in `channels` channels.
void readPatterns(std::span<const std::uint8_t> block, PsdMode mode, unsigned channels, std::vector<Pattern>& out);

// Tiles the pattern a PtFl description names over `area`; false when it
// names none of `patterns`.
bool paintPattern(const DescriptorValue& description, const std::vector<Pattern>& patterns, const PsdRect& area,
                  FillPaint& out);

}  // namespace qm
