// Composes a Photoshop document from its layers, for documents saved
// without a real merged image. What is drawn: pixel layers with their
// channels, visibility, opacity and fill opacity, layer masks, groups
// (pass-through and with a blend mode of their own), clipping, and the
// blend modes. What cannot be drawn from the file alone is left out:
// adjustment and fill layers and layer effects.
//
// The result is in the document's colour mode: its colour channels and an
// alpha, not premultiplied, samples as decodeChannel gives them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/document/psd_structure.h"

namespace qm {

struct Composite {
  unsigned width = 0;
  unsigned height = 0;
  std::vector<std::vector<float>> colour;  // one plane per colour channel
  std::vector<float> alpha;
};

struct ComposeLimits {
  std::uint64_t maxPixels = 1ull << 27;  // the document's width x height
  // What the composition may hold at its peak (the document's canvas, the
  // groups' canvases, a layer's pixels); 0 for no limit. A document that
  // needs more is refused before anything is allocated.
  std::uint64_t maxBytes = 0;
};

// Number of colour channels the document mode composes in; 0 for modes
// that hold no layers (bitmap, indexed, multichannel).
unsigned composeChannels(PsdMode mode);

// True when the layers use only what composeLayers draws (for measuring
// the compositor against documents that carry their own merged image).
bool composesFaithfully(const std::vector<PsdLayer>& layers);

// Fails with the reason when nothing can be composed: no layers, none
// visible and drawable, or damaged pixel data.
std::optional<std::string> composeLayers(const ByteSource& bytes, const PsdDocument& document,
                                         const std::vector<PsdLayer>& layers, Composite& out,
                                         const ComposeLimits& limits = {});

}  // namespace qm
