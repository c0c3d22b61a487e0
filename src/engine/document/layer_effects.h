// Layer effects the compositor draws: colour, gradient and pattern
// overlays, stroke (solid colour) and drop shadow, read from a layer's
// lfx2/lmfx block, with the shapes they take from the layer's coverage.
// Effects that are switched on but not drawn (glows, inner shadow, bevel,
// satin, gradient and pattern strokes) are named so the composite can say
// so.
//
// The block comes from an untrusted file: the descriptor reader checks
// every read, and sizes and distances are capped before any work is done.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/document/descriptor.h"
#include "engine/document/psd_structure.h"

namespace qm {

struct EffectPaint {
  BlendKey mode{'n', 'o', 'r', 'm'};
  float opacity = 1;
  std::vector<float> colour;  // in the document's colour channels
};

enum class StrokePosition { Outside, Inside, Centre };

struct StrokeEffect : EffectPaint {
  StrokePosition position = StrokePosition::Outside;
  double size = 3;  // pixels
};

struct ShadowEffect : EffectPaint {
  double dx = 0, dy = 0;   // pixels the shadow is moved by
  double spread = 0;       // 0..1 of its size grown before blurring
  double size = 0;         // blur radius in pixels
  bool knockedOut = true;  // the layer hides its own shadow
};

// A gradient or pattern overlay: its mode and opacity, and the paint as a
// gradient or pattern fill describes it (the two share their items).
struct PaintedOverlay {
  BlendKey mode{'n', 'o', 'r', 'm'};
  float opacity = 1;
  DescriptorValue paint;
};

struct LayerEffects {
  std::optional<EffectPaint> overlay;
  std::optional<PaintedOverlay> gradientOverlay;
  std::optional<PaintedOverlay> patternOverlay;
  std::optional<StrokeEffect> stroke;
  std::optional<ShadowEffect> shadow;
  std::vector<std::string> leftOut;  // effects switched on but not drawn
  // How far beyond the layer's pixels the effects reach.
  double reach() const;
};

// The effects of an lfx2 block (its versions, then a descriptor), for a
// document of that header composed in `channels` channels, where the
// document's global light comes from `globalAngle` degrees.
std::optional<LayerEffects> readLayerEffects(std::span<const std::uint8_t> block, const PsdHeader& header,
                                             unsigned channels, double globalAngle);

// The stroke's coverage around `alpha`, a width x height plane.
std::vector<float> strokeCoverage(const std::vector<float>& alpha, std::size_t width, std::size_t height,
                                  const StrokeEffect& stroke);

// The shadow's coverage cast by `alpha`, a width x height plane, over the
// same plane.
std::vector<float> shadowCoverage(const std::vector<float>& alpha, std::size_t width, std::size_t height,
                                  const ShadowEffect& shadow);

}  // namespace qm
