// Composes a Photoshop document from its layers, for documents saved
// without a real merged image (and for checking the compositor against
// those with one). What is drawn: pixel layers with their channels (text
// layers and smart objects by the pixels the file stores for them),
// visibility, opacity and fill opacity, layer masks and vector masks,
// groups (pass-through and with a blend mode of their own), clipping, the
// blend modes; solid colour, gradient and pattern fill layers, and shapes
// (a fill inside its path, with its stroke); the adjustment layers invert,
// levels, curves, posterize, threshold, exposure, hue/saturation and the
// legacy brightness/contrast; the layer effects colour, gradient and
// pattern overlays, stroke and drop shadow. What is left out is named in the result: the other adjustments
// and effects, artboard backgrounds, dissolve's scatter.
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
  // What the layers hold that the composite leaves out, one line each
  // (`layer "Curves 1": curves adjustment`).
  std::vector<std::string> leftOut;
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

// Fails with the reason when nothing can be composed: no layers or damaged
// pixel data. A document none of whose layers can be drawn is its
// background: transparent where the document is, else white.
std::optional<std::string> composeLayers(const ByteSource& bytes, const PsdDocument& document,
                                         const std::vector<PsdLayer>& layers, Composite& out,
                                         const ComposeLimits& limits = {});

}  // namespace qm
