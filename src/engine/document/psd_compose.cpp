#include "engine/document/psd_compose.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#include "engine/document/adjustments.h"
#include "engine/document/blend_modes.h"
#include "engine/document/descriptor.h"
#include "engine/document/fill_layers.h"
#include "engine/document/layer_effects.h"
#include "engine/document/patterns.h"
#include "engine/document/psd_pixels.h"
#include "engine/document/vector_mask.h"

namespace qm {

namespace {

bool is(const BlendKey& key, const char* text) { return std::memcmp(key.data(), text, 4) == 0; }

std::size_t pixelCount(const PsdRect& area) { return static_cast<std::size_t>(area.width() * area.height()); }

PsdRect intersection(const PsdRect& a, const PsdRect& b) {
  const PsdRect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
                  std::min(a.right, b.right)};
  return r.empty() ? PsdRect{} : r;
}

PsdRect unionOf(const PsdRect& a, const PsdRect& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return {std::min(a.top, b.top), std::min(a.left, b.left), std::max(a.bottom, b.bottom), std::max(a.right, b.right)};
}

// A surface over `area` of the document (the whole document, or the
// bounds of a group's layers): colour planes and alpha, not premultiplied.
struct Canvas {
  PsdRect area;
  std::size_t pixels = 0;
  std::vector<std::vector<float>> colour;
  std::vector<float> alpha;
  Canvas(const PsdRect& bounds, unsigned channels)
      : area(bounds),
        pixels(pixelCount(bounds)),
        colour(channels, std::vector<float>(pixels, 0.0f)),
        alpha(pixels, 0.0f) {}
  // The part of `other` over `bounds`, which lies inside it.
  Canvas(const Canvas& other, const PsdRect& bounds) : Canvas(bounds, static_cast<unsigned>(other.colour.size())) {
    for (std::int64_t y = area.top; y < area.bottom; ++y) {
      const std::size_t from = other.index(area.left, y);
      const std::size_t to = index(area.left, y);
      const auto width = static_cast<std::size_t>(area.width());
      for (std::size_t c = 0; c < colour.size(); ++c)
        std::copy_n(other.colour[c].begin() + static_cast<std::ptrdiff_t>(from), width,
                    colour[c].begin() + static_cast<std::ptrdiff_t>(to));
      std::copy_n(other.alpha.begin() + static_cast<std::ptrdiff_t>(from), width,
                  alpha.begin() + static_cast<std::ptrdiff_t>(to));
    }
  }
  std::size_t index(std::int64_t x, std::int64_t y) const {
    return static_cast<std::size_t>((y - area.top) * area.width() + (x - area.left));
  }
};

// One layer's pixels over the part of the document it covers; its alpha
// already carries the layer mask.
struct LayerPixels {
  PsdRect area;
  std::vector<std::vector<float>> colour;
  std::vector<float> alpha;
};

struct Node {
  const PsdLayer* layer = nullptr;
  std::vector<Node> children;
  bool group = false;
  // A group's canvas needs no more than the rectangles of the layers in it:
  // outside them its layers draw nothing.
  PsdRect bounds;
};

struct ContentName {
  const char* key;
  const char* name;
};

constexpr ContentName kContentNames[] = {
    {"levl", "levels adjustment"},
    {"curv", "curves adjustment"},
    {"brit", "brightness/contrast adjustment"},
    {"CgEd", "brightness/contrast adjustment"},
    {"blnc", "colour balance adjustment"},
    {"blwh", "black and white adjustment"},
    {"hue ", "hue/saturation adjustment"},
    {"hue2", "hue/saturation adjustment"},
    {"selc", "selective colour adjustment"},
    {"mixr", "channel mixer adjustment"},
    {"grdm", "gradient map adjustment"},
    {"thrs", "threshold adjustment"},
    {"post", "posterize adjustment"},
    {"nvrt", "invert adjustment"},
    {"vibA", "vibrance adjustment"},
    {"phfl", "photo filter adjustment"},
    {"clrL", "colour lookup adjustment"},
    {"expA", "exposure adjustment"},
    {"SoCo", "solid colour fill"},
    {"GdFl", "gradient fill"},
    {"PtFl", "pattern fill"},
};

std::string contentName(const BlendKey& key) {
  for (const ContentName& entry : kContentNames)
    if (is(key, entry.key)) return entry.name;
  return "content of kind '" + std::string(key.begin(), key.end()) + "'";
}

// A fill layer that stores no pixels is painted from its description;
// with a vector mask it is a shape.
bool paintsFill(const PsdLayer& layer) { return layer.fillLayer && layer.content.present() && layer.rect.empty(); }

// Where a layer may draw: a painted fill covers the whole document.
PsdRect drawnArea(const PsdLayer& layer, const PsdRect& whole) { return paintsFill(layer) ? whole : layer.rect; }

class Composer {
 public:
  Composer(const ByteSource& bytes, const PsdDocument& document, unsigned channels)
      : bytes_(bytes),
        header_(document.header),
        globalAngle_(document.globalAngle),
        patternBlocks_(document.patterns),
        channels_(channels),
        docRect_{0, 0, static_cast<std::int32_t>(document.header.height),
                 static_cast<std::int32_t>(document.header.width)} {}

  std::optional<std::string> problem;
  unsigned drawn = 0;
  std::vector<std::string> leftOut;

  void composeNodes(const std::vector<Node>& nodes, Canvas& canvas) {
    // The base of a clipping group: its coverage limits the clipped layers
    // above it; a hidden base hides them.
    std::vector<float> baseCoverage;
    bool baseShown = true;
    bool baseHasCoverage = false;
    for (std::size_t i = 0; i < nodes.size() && !problem; ++i) {
      const Node& node = nodes[i];
      const PsdLayer& layer = *node.layer;
      const bool clipped = layer.clipped && i > 0;
      if (!clipped) {
        baseShown = !layer.hidden;
        baseHasCoverage = false;
      } else if (!baseShown) {
        continue;
      }
      if (layer.hidden) continue;
      noteLeftOut(layer, node.group);
      const bool nextClipped = i + 1 < nodes.size() && nodes[i + 1].layer->clipped;
      const std::vector<float>* clip = clipped && baseHasCoverage ? &baseCoverage : nullptr;
      if (node.group) {
        composeGroup(node, canvas, clip);
        if (!clipped && nextClipped) {
          groupCoverage(node, canvas, baseCoverage);
          baseHasCoverage = true;
        }
      } else if (layer.notDrawable) {
        if (adjust(layer, canvas, clip, !clipped && nextClipped ? &baseCoverage : nullptr) && !clipped && nextClipped)
          baseHasCoverage = true;
      } else {
        drawLayer(layer, canvas, clip, !clipped && nextClipped ? &baseCoverage : nullptr);
        if (!clipped && nextClipped) baseHasCoverage = true;
      }
    }
  }

 private:
  void note(const PsdLayer& layer, const std::string& what) {
    if (leftOut.size() < 1000) leftOut.push_back("layer \"" + layer.name + "\": " + what);
  }

  // Says what of a shown layer the composite goes without.
  void noteLeftOut(const PsdLayer& layer, bool group) {
    if (layer.notDrawable && !adjustmentOf(layer))
      note(layer, layer.content.present() ? contentName(layer.content.key) : "adjustment");
    if (layer.fillLayer && !layer.content.present()) note(layer, "artboard background");
    if (layer.hasEffects) {
      const LayerEffects* effects = effectsOf(layer);
      if (!effects)
        note(layer, "layer effects");
      else
        for (const std::string& effect : effects->leftOut) note(layer, "layer effect " + effect);
    }
    if (is(layer.blendMode, "diss"))
      note(layer, "dissolve scatter (drawn as normal)");
    else if (!blendModeOf(layer.blendMode) && !(group && is(layer.blendMode, "pass")))
      note(layer, "blend mode '" + std::string(layer.blendMode.begin(), layer.blendMode.end()) + "' (drawn as normal)");
  }

  // The document's patterns, read when a fill first needs them.
  const std::vector<Pattern>& patterns() {
    if (patterns_) return *patterns_;
    patterns_.emplace();
    constexpr std::uint64_t kMaxPatternBytes = 64u << 20;
    for (const PsdBlock& block : patternBlocks_) {
      if (block.length > kMaxPatternBytes) continue;
      std::vector<std::uint8_t> data(static_cast<std::size_t>(block.length));
      if (bytes_.read(block.offset, data.data(), data.size())) readPatterns(data, header_.mode, channels_, *patterns_);
    }
    return *patterns_;
  }

  // The adjustment a layer holds, read once; nothing for kinds not drawn.
  const AdjustPixel* adjustmentOf(const PsdLayer& layer) {
    const auto found = adjustments_.find(&layer);
    if (found != adjustments_.end()) return found->second ? &*found->second : nullptr;
    constexpr std::uint64_t kMaxAdjustmentBytes = 1u << 20;
    std::optional<AdjustPixel> adjustment;
    const PsdBlock& block = layer.content;
    if (block.present() && block.length <= kMaxAdjustmentBytes) {
      std::vector<std::uint8_t> data(static_cast<std::size_t>(block.length));
      if (bytes_.read(block.offset, data.data(), data.size()))
        adjustment = readAdjustment(block.key, data, header_, channels_);
    }
    auto& slot = adjustments_[&layer] = std::move(adjustment);
    return slot ? &*slot : nullptr;
  }

  // An adjustment layer changes what lies beneath it, within its group,
  // through its mask, opacity and clipping. As the base of clipped layers
  // it covers what its mask shows.
  bool adjust(const PsdLayer& layer, Canvas& canvas, const std::vector<float>* clip, std::vector<float>* coverage) {
    const AdjustPixel* adjustment = adjustmentOf(layer);
    if (!adjustment) return false;
    const std::vector<float> mask = maskOver(layer, canvas.area);
    if (problem) return false;
    const float opacity = static_cast<float>(layer.opacity) / 255.0f;
    if (coverage) {
      coverage->assign(canvas.pixels, opacity);
      for (std::size_t i = 0; i < mask.size(); ++i) (*coverage)[i] *= mask[i];
    }
    const float strength = opacity * static_cast<float>(layer.fillOpacity) / 255.0f;
    const BlendMode mode = blendModeOf(layer.blendMode).value_or(BlendMode::Normal);
    const bool whole = isNonSeparable(mode) && channels_ == 3;
    std::vector<float> before(channels_), after(channels_), mixed(channels_);
    for (std::size_t i = 0; i < canvas.pixels; ++i) {
      if (canvas.alpha[i] <= 0) continue;
      // Clipped, it changes the base's share of the pixel: all of it where
      // nothing lay under the base.
      const float share = clip ? std::min(1.0f, (*clip)[i] / canvas.alpha[i]) : 1.0f;
      const float t = strength * (mask.empty() ? 1.0f : mask[i]) * share;
      if (t <= 0) continue;
      for (unsigned c = 0; c < channels_; ++c) before[c] = after[c] = canvas.colour[c][i];
      (*adjustment)(after);
      if (mode == BlendMode::Normal) {
        mixed = after;
      } else if (whole) {
        const Rgb r = blendColour(mode, {before[0], before[1], before[2]}, {after[0], after[1], after[2]});
        mixed = {r.r, r.g, r.b};
      } else {
        for (unsigned c = 0; c < channels_; ++c) mixed[c] = blendChannel(mode, before[c], after[c]);
      }
      for (unsigned c = 0; c < channels_; ++c) canvas.colour[c][i] = before[c] + (mixed[c] - before[c]) * t;
    }
    return true;
  }

  std::map<const PsdLayer*, std::optional<AdjustPixel>> adjustments_;
  std::map<const PsdLayer*, std::optional<VectorMask>> vectorMasks_;
  std::map<const PsdLayer*, std::optional<LayerEffects>> effects_;

  // The effects of a layer, read once; nothing when it has none readable.
  const LayerEffects* effectsOf(const PsdLayer& layer) {
    if (!layer.effects.present()) return nullptr;
    const auto found = effects_.find(&layer);
    if (found != effects_.end()) return found->second ? &*found->second : nullptr;
    constexpr std::uint64_t kMaxEffectBytes = 16u << 20;
    std::optional<LayerEffects> effects;
    const PsdBlock& block = layer.effects;
    if (block.length <= kMaxEffectBytes) {
      std::vector<std::uint8_t> data(static_cast<std::size_t>(block.length));
      if (bytes_.read(block.offset, data.data(), data.size()))
        effects = readLayerEffects(data, header_, channels_, globalAngle_);
    }
    auto& slot = effects_[&layer] = std::move(effects);
    return slot ? &*slot : nullptr;
  }

  // The layer's pixels over `area`, which holds them, transparent around them.
  static LayerPixels widened(const LayerPixels& pixels, const PsdRect& area, unsigned channels) {
    LayerPixels out;
    out.area = area;
    const std::size_t count = pixelCount(area);
    out.colour.assign(channels, std::vector<float>(count, 0.0f));
    out.alpha.assign(count, 0.0f);
    const auto width = static_cast<std::size_t>(pixels.area.width());
    for (std::int64_t y = pixels.area.top; y < pixels.area.bottom; ++y) {
      const auto from = static_cast<std::size_t>(y - pixels.area.top) * width;
      const auto to = static_cast<std::size_t>((y - area.top) * area.width() + (pixels.area.left - area.left));
      for (unsigned c = 0; c < channels; ++c)
        std::copy_n(pixels.colour[c].begin() + static_cast<std::ptrdiff_t>(from), width,
                    out.colour[c].begin() + static_cast<std::ptrdiff_t>(to));
      std::copy_n(pixels.alpha.begin() + static_cast<std::ptrdiff_t>(from), width,
                  out.alpha.begin() + static_cast<std::ptrdiff_t>(to));
    }
    return out;
  }

  // The box of what `shape` (over `area`) covers; `area` when it covers nothing.
  static PsdRect coveredBox(const std::vector<float>& shape, const PsdRect& area) {
    PsdRect box{area.bottom, area.right, area.top, area.left};
    std::size_t i = 0;
    for (std::int32_t y = area.top; y < area.bottom; ++y)
      for (std::int32_t x = area.left; x < area.right; ++x, ++i)
        if (shape[i] > 0)
          box = {std::min(box.top, y), std::min(box.left, x), std::max(box.bottom, y + 1), std::max(box.right, x + 1)};
    return box.empty() ? area : box;
  }

  // An overlay painted over the layer's shape in its mode: `paint` holds
  // one value per pixel, or one for all; `paintAlpha`, when given, the
  // paint's own coverage. The overlay ignores fill opacity unless the layer
  // blends its interior effects with its content.
  void cover(LayerPixels& pixels, const std::vector<float>& shape, const BlendKey& key, float opacity,
             const std::vector<std::vector<float>>& paint, const std::vector<float>* paintAlpha, bool withFill) const {
    const BlendMode mode = blendModeOf(key).value_or(BlendMode::Normal);
    std::vector<float> colour(channels_), painted(channels_);
    for (std::size_t i = 0; i < shape.size(); ++i) {
      const float a = shape[i];
      if (a <= 0) continue;
      const float alpha = pixels.alpha[i];
      const float over = opacity * (paintAlpha ? (*paintAlpha)[i] : 1.0f);
      for (unsigned c = 0; c < channels_; ++c) {
        colour[c] = pixels.colour[c][i];
        painted[c] = paint[c].size() == 1 ? paint[c][0] : paint[c][i];
      }
      if (mode != BlendMode::Normal) {
        if (isNonSeparable(mode) && channels_ == 3) {
          const Rgb r = blendColour(mode, {colour[0], colour[1], colour[2]}, {painted[0], painted[1], painted[2]});
          painted = {r.r, r.g, r.b};
        } else {
          for (unsigned c = 0; c < channels_; ++c) painted[c] = blendChannel(mode, colour[c], painted[c]);
        }
      }
      const float total = a * over + alpha * (1 - over);
      for (unsigned c = 0; c < channels_; ++c)
        pixels.colour[c][i] = total > 0 ? (painted[c] * a * over + colour[c] * alpha * (1 - over)) / total : 0.0f;
      if (!withFill) pixels.alpha[i] = total;
    }
  }

  // A layer with effects: its shadow beneath it, then its content (at its
  // fill opacity) under its colour overlay and with its stroke, blended
  // as one at the layer's opacity. The effects ignore fill opacity, unless
  // the layer blends its interior effects with its content.
  void drawWithEffects(const PsdLayer& layer, const LayerPixels& content, const LayerEffects& effects, Canvas& canvas,
                       const std::vector<float>* clip, float opacity) {
    const auto reach = static_cast<std::int32_t>(std::min(effects.reach(), 4096.0));
    const PsdRect area = intersection(
        {content.area.top - reach, content.area.left - reach, content.area.bottom + reach, content.area.right + reach},
        docRect_);
    LayerPixels pixels = widened(content, area, channels_);
    const auto width = static_cast<std::size_t>(area.width()), height = static_cast<std::size_t>(area.height());
    const std::vector<float> shape = pixels.alpha;
    if (effects.shadow) {
      LayerPixels shadow;
      shadow.area = area;
      shadow.alpha = shadowCoverage(shape, width, height, *effects.shadow);
      for (float& a : shadow.alpha) a *= effects.shadow->opacity;
      for (unsigned c = 0; c < channels_; ++c)
        shadow.colour.emplace_back(shadow.alpha.size(), effects.shadow->colour[c]);
      blend(shadow, canvas, opacity, effects.shadow->mode, clip);
    }
    const float fill = static_cast<float>(layer.fillOpacity) / 255.0f;
    for (std::size_t i = 0; i < shape.size(); ++i) pixels.alpha[i] = shape[i] * fill;
    // The overlays cover the shape one over the other: pattern, gradient,
    // then colour.
    if (effects.patternOverlay) {
      const PaintedOverlay& overlay = *effects.patternOverlay;
      // Linked with the layer, the tiles start at its corner.
      const PsdRect origin = overlay.paint.numberOr("Algn", 1) != 0 ? coveredBox(shape, area) : docRect_;
      const PsdRect shifted{area.top - origin.top, area.left - origin.left, area.bottom - origin.top,
                            area.right - origin.left};
      FillPaint paint;
      if (paintPattern(overlay.paint, patterns(), shifted, paint) && paint.colour.size() == channels_)
        cover(pixels, shape, overlay.mode, overlay.opacity, paint.colour, nullptr, layer.interiorEffectsWithFill);
      else
        note(layer, "layer effect pattern overlay (its pattern is not in the document)");
    }
    if (effects.gradientOverlay) {
      const PaintedOverlay& overlay = *effects.gradientOverlay;
      FillPaint paint;
      static constexpr BlendKey kGradient{'G', 'd', 'F', 'l'};
      const PsdRect box = overlay.paint.numberOr("Algn", 1) != 0 ? coveredBox(shape, area) : docRect_;
      if (paintFill(kGradient, overlay.paint, header_, channels_, area, box, paint))
        cover(pixels, shape, overlay.mode, overlay.opacity, paint.colour, &paint.alpha, layer.interiorEffectsWithFill);
    }
    if (effects.overlay) {
      std::vector<std::vector<float>> colour;
      for (float v : effects.overlay->colour) colour.emplace_back(1, v);
      cover(pixels, shape, effects.overlay->mode, effects.overlay->opacity, colour, nullptr,
            layer.interiorEffectsWithFill);
    }
    if (effects.stroke) {
      const StrokeEffect& stroke = *effects.stroke;
      const std::vector<float> ring = strokeCoverage(shape, width, height, stroke);
      for (std::size_t i = 0; i < ring.size(); ++i) {
        const float s = ring[i] * stroke.opacity;
        if (s <= 0) continue;
        const float b = pixels.alpha[i];
        // Outside the shape the stroke meets its edge; over it, it covers it.
        const float out = stroke.position == StrokePosition::Outside ? std::min(1.0f, s + b) : s + b * (1 - s);
        const float under = out - s;
        for (unsigned c = 0; c < channels_; ++c)
          pixels.colour[c][i] = (stroke.colour[c] * s + pixels.colour[c][i] * under) / out;
        pixels.alpha[i] = out;
      }
    }
    blend(pixels, canvas, opacity, layer.blendMode, clip);
  }
  const ByteSource& bytes_;
  const PsdHeader& header_;
  double globalAngle_;
  const std::vector<PsdBlock>& patternBlocks_;
  std::optional<std::vector<Pattern>> patterns_;
  unsigned channels_;
  PsdRect docRect_;

  // The masks' value over `area`, in document coordinates: the pixel mask
  // times the vector mask; empty when the layer has neither in effect.
  std::vector<float> maskOver(const PsdLayer& layer, const PsdRect& area) {
    std::vector<float> values = pixelMaskOver(layer, area);
    if (problem) return values;
    std::vector<float> coverage = vectorMaskOver(layer, area);
    if (values.empty()) return coverage;
    for (std::size_t i = 0; i < values.size() && i < coverage.size(); ++i) values[i] *= coverage[i];
    return values;
  }

  // The vector mask's coverage over `area`; empty when there is none in effect.
  std::vector<float> vectorMaskOver(const PsdLayer& layer, const PsdRect& area) {
    // A shape's stored pixels already show its outline.
    if (!layer.vectorMask.present() || (layer.fillLayer && !paintsFill(layer))) return {};
    const VectorMask* vector = vectorMaskOf(layer);
    if (!vector || vector->disabled) return {};
    std::vector<float> coverage = rasteriseVectorMask(*vector, header_.width, header_.height, area);
    if (layer.vectorDensity < 1.0f)
      for (float& v : coverage) v = 1 - layer.vectorDensity * (1 - v);
    return coverage;
  }

  std::optional<DescriptorValue> descriptorOf(const PsdBlock& block) {
    constexpr std::uint64_t kMaxDescriptorBytes = 16u << 20;
    if (!block.present() || block.length > kMaxDescriptorBytes) return std::nullopt;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(block.length));
    if (!bytes_.read(block.offset, data.data(), data.size())) return std::nullopt;
    return readVersionedDescriptor(data);
  }

  // A shape's stroke drawn over its fill (straight alpha, within the layer);
  // false when the shape hides its fill.
  bool strokeShape(const PsdLayer& layer, LayerPixels& pixels) {
    const std::optional<DescriptorValue> style = descriptorOf(layer.vectorStroke);
    if (!style) {
      note(layer, "shape stroke (its description cannot be read)");
      return true;
    }
    const bool fillShown = style->numberOr("fillEnabled", 1) != 0;
    if (style->numberOr("strokeEnabled", 0) == 0) return fillShown;
    const VectorMask* vector = layer.vectorMask.present() ? vectorMaskOf(layer) : nullptr;
    const DescriptorValue* content = style->find("strokeStyleContent");
    FillPaint paint;
    static constexpr BlendKey kSolid{'S', 'o', 'C', 'o'};
    if (!vector || !content || !paintFill(kSolid, *content, header_, channels_, {0, 0, 1, 1}, {0, 0, 1, 1}, paint)) {
      note(layer, "shape stroke (not a solid colour)");
      return fillShown;
    }
    const std::string align = style->textOr("strokeStyleLineAlignment", "strokeStyleAlignCenter");
    const StrokeAlignment alignment = align == "strokeStyleAlignInside"    ? StrokeAlignment::Inside
                                      : align == "strokeStyleAlignOutside" ? StrokeAlignment::Outside
                                                                           : StrokeAlignment::Centre;
    const std::vector<float> coverage = rasteriseVectorStroke(*vector, header_.width, header_.height, pixels.area,
                                                              style->numberOr("strokeStyleLineWidth", 1), alignment);
    const float opacity = static_cast<float>(std::clamp(style->numberOr("strokeStyleOpacity", 100) / 100, 0.0, 1.0));
    for (std::size_t i = 0; i < coverage.size() && i < pixels.alpha.size(); ++i) {
      const float as = coverage[i] * opacity;
      if (as <= 0) continue;
      const float ab = fillShown ? pixels.alpha[i] : 0.0f;
      const float ao = as + ab * (1 - as);
      for (unsigned c = 0; c < channels_; ++c)
        pixels.colour[c][i] = (paint.colour[c][0] * as + pixels.colour[c][i] * ab * (1 - as)) / ao;
      pixels.alpha[i] = ao;
    }
    if (!fillShown)
      for (std::size_t i = 0; i < coverage.size() && i < pixels.alpha.size(); ++i)
        if (coverage[i] <= 0) pixels.alpha[i] = 0;
    return true;
  }

  const VectorMask* vectorMaskOf(const PsdLayer& layer) {
    const auto found = vectorMasks_.find(&layer);
    if (found != vectorMasks_.end()) return found->second ? &*found->second : nullptr;
    constexpr std::uint64_t kMaxPathBytes = 16u << 20;
    std::optional<VectorMask> mask;
    const PsdBlock& block = layer.vectorMask;
    if (block.length <= kMaxPathBytes) {
      std::vector<std::uint8_t> data(static_cast<std::size_t>(block.length));
      if (bytes_.read(block.offset, data.data(), data.size())) mask = readVectorMask(data);
    }
    if (!mask) note(layer, "vector mask (its paths cannot be read)");
    auto& slot = vectorMasks_[&layer] = std::move(mask);
    return slot ? &*slot : nullptr;
  }

  std::vector<float> pixelMaskOver(const PsdLayer& layer, const PsdRect& area) {
    std::vector<float> values;
    if (!layer.mask || layer.mask->disabled) return values;
    // Beside a vector mask, a mask rendered from it is the same outline
    // drawn less finely.
    if (layer.mask->rendered && layer.vectorMask.present()) return values;
    const PsdMask& mask = *layer.mask;
    const auto channel = std::find_if(layer.channels.begin(), layer.channels.end(),
                                      [&](const PsdChannel& c) { return c.id == mask.channel; });
    if (channel == layer.channels.end()) return values;
    Plane plane;
    if (auto failure = decodeChannel(bytes_, *channel, mask.rect, area, header_, plane)) {
      problem = failure;
      return values;
    }
    const float outside = static_cast<float>(mask.defaultColour) / 255.0f;
    values.assign(static_cast<std::size_t>(area.width() * area.height()), outside);
    for (std::int64_t y = plane.area.top; y < plane.area.bottom; ++y)
      for (std::int64_t x = plane.area.left; x < plane.area.right; ++x)
        values[static_cast<std::size_t>((y - area.top) * area.width() + (x - area.left))] =
            plane.samples[static_cast<std::size_t>((y - plane.area.top) * plane.area.width() + (x - plane.area.left))];
    if (mask.density < 1.0f)
      for (float& v : values) v = 1 - mask.density * (1 - v);
    return values;
  }

  // A gradient aligned with its layer spans what the layer mask shows.
  PsdRect fillBox(const PsdLayer& layer) const {
    if (!layer.mask || layer.mask->disabled || layer.mask->defaultColour != 0) return docRect_;
    const PsdRect& m = layer.mask->rect;
    const PsdRect box{std::max(m.top, docRect_.top), std::max(m.left, docRect_.left),
                      std::min(m.bottom, docRect_.bottom), std::min(m.right, docRect_.right)};
    return box.empty() ? docRect_ : box;
  }

  bool readFill(const PsdLayer& layer, LayerPixels& pixels) {
    const PsdBlock& block = layer.content;
    const std::optional<DescriptorValue> description = descriptorOf(block);
    FillPaint paint;
    const bool painted =
        description &&
        (is(block.key, "PtFl") ? paintPattern(*description, patterns(), docRect_, paint)
                               : paintFill(block.key, *description, header_, channels_, docRect_,
                                           description->numberOr("Algn", 1) != 0 ? fillBox(layer) : docRect_, paint));
    if (!painted) {
      note(layer, contentName(block.key) + " (its description is not drawn)");
      return false;
    }
    pixels.area = docRect_;
    pixels.colour = std::move(paint.colour);
    pixels.alpha = std::move(paint.alpha);
    // A shape is its fill inside its path, with its stroke along the path;
    // the pixel mask then masks both.
    const std::vector<float> outline = vectorMaskOver(layer, docRect_);
    for (std::size_t i = 0; i < outline.size(); ++i) pixels.alpha[i] *= outline[i];
    if (layer.vectorStroke.present() && !strokeShape(layer, pixels)) return false;
    const std::vector<float> mask = pixelMaskOver(layer, docRect_);
    if (problem) return false;
    for (std::size_t i = 0; i < mask.size(); ++i) pixels.alpha[i] *= mask[i];
    return true;
  }

  bool readLayer(const PsdLayer& layer, LayerPixels& pixels) {
    pixels.colour.assign(channels_, {});
    Plane alpha;
    bool hasAlpha = false;
    for (const PsdChannel& channel : layer.channels) {
      if (channel.id >= 0 && static_cast<unsigned>(channel.id) < channels_) {
        Plane plane;
        if (auto failure = decodeChannel(bytes_, channel, layer.rect, docRect_, header_, plane)) {
          problem = failure;
          return false;
        }
        pixels.area = plane.area;
        pixels.colour[static_cast<std::size_t>(channel.id)] = std::move(plane.samples);
      } else if (channel.id == -1) {
        if (auto failure = decodeChannel(bytes_, channel, layer.rect, docRect_, header_, alpha)) {
          problem = failure;
          return false;
        }
        hasAlpha = true;
      }
    }
    PsdRect area = layer.rect;
    area = {std::max(area.top, docRect_.top), std::max(area.left, docRect_.left),
            std::min(area.bottom, docRect_.bottom), std::min(area.right, docRect_.right)};
    if (area.empty()) return false;
    pixels.area = area;
    const std::size_t count = static_cast<std::size_t>(area.width() * area.height());
    for (auto& plane : pixels.colour)
      if (plane.size() != count) plane.assign(count, 0.0f);
    pixels.alpha =
        hasAlpha && alpha.samples.size() == count ? std::move(alpha.samples) : std::vector<float>(count, 1.0f);
    const std::vector<float> mask = maskOver(layer, area);
    if (problem) return false;
    for (std::size_t i = 0; i < mask.size(); ++i) pixels.alpha[i] *= mask[i];
    return true;
  }

  void drawLayer(const PsdLayer& layer, Canvas& canvas, const std::vector<float>* clip, std::vector<float>* coverage) {
    LayerPixels pixels;
    if (coverage) coverage->assign(canvas.pixels, 0.0f);
    if (!(paintsFill(layer) ? readFill(layer, pixels) : readLayer(layer, pixels))) return;
    const float opacity = static_cast<float>(layer.opacity) / 255.0f;
    if (coverage) {
      const PsdRect covered = intersection(pixels.area, canvas.area);
      for (std::int64_t y = covered.top; y < covered.bottom; ++y)
        for (std::int64_t x = covered.left; x < covered.right; ++x)
          (*coverage)[canvas.index(x, y)] =
              pixels
                  .alpha[static_cast<std::size_t>((y - pixels.area.top) * pixels.area.width() + x - pixels.area.left)] *
              opacity;
    }
    const LayerEffects* effects = effectsOf(layer);
    if (effects &&
        (effects->overlay || effects->gradientOverlay || effects->patternOverlay || effects->stroke || effects->shadow))
      drawWithEffects(layer, pixels, *effects, canvas, clip, opacity);
    else
      blend(pixels, canvas, opacity * static_cast<float>(layer.fillOpacity) / 255.0f, layer.blendMode, clip);
    ++drawn;
  }

  void blend(const LayerPixels& source, Canvas& canvas, float opacity, const BlendKey& key,
             const std::vector<float>* clip) {
    const BlendMode mode = blendModeOf(key).value_or(BlendMode::Normal);
    const bool whole = isNonSeparable(mode) && channels_ == 3;
    const std::int64_t w = source.area.width();
    const PsdRect area = intersection(source.area, canvas.area);
    std::vector<float> s(channels_), b(channels_), mixed(channels_);
    for (std::int64_t y = area.top; y < area.bottom; ++y)
      for (std::int64_t x = area.left; x < area.right; ++x) {
        const std::size_t si = static_cast<std::size_t>((y - source.area.top) * w + (x - source.area.left));
        const std::size_t di = canvas.index(x, y);
        float as = source.alpha[si] * opacity;
        if (clip) as *= (*clip)[di];
        if (as <= 0) continue;
        const float ab = canvas.alpha[di];
        const float ao = as + ab * (1 - as);
        for (unsigned c = 0; c < channels_; ++c) {
          s[c] = source.colour[c][si];
          b[c] = canvas.colour[c][di];
        }
        if (mode == BlendMode::Normal || ab <= 0) {
          mixed = s;
        } else if (whole) {
          const Rgb r = blendColour(mode, {b[0], b[1], b[2]}, {s[0], s[1], s[2]});
          mixed = {r.r, r.g, r.b};
        } else {
          for (unsigned c = 0; c < channels_; ++c) mixed[c] = blendChannel(mode, b[c], s[c]);
        }
        for (unsigned c = 0; c < channels_; ++c) {
          const float m = (1 - ab) * s[c] + ab * mixed[c];
          canvas.colour[c][di] = (as * m + ab * b[c] * (1 - as)) / ao;
        }
        canvas.alpha[di] = ao;
      }
  }

  // What a group covers when it is the base of clipped layers: its layers
  // composed on their own, times its opacity and mask.
  void groupCoverage(const Node& node, const Canvas& canvas, std::vector<float>& coverage) {
    Canvas alone(intersection(node.bounds, canvas.area), channels_);
    composeNodes(node.children, alone);
    const std::vector<float> mask = maskOver(*node.layer, alone.area);
    const float opacity = static_cast<float>(node.layer->opacity) / 255.0f;
    coverage.assign(canvas.pixels, 0.0f);
    for (std::int64_t y = alone.area.top; y < alone.area.bottom; ++y)
      for (std::int64_t x = alone.area.left; x < alone.area.right; ++x) {
        const std::size_t i = alone.index(x, y);
        coverage[canvas.index(x, y)] = alone.alpha[i] * (opacity * (mask.empty() ? 1.0f : mask[i]));
      }
  }

  void composeGroup(const Node& node, Canvas& canvas, const std::vector<float>* clip) {
    const PsdLayer& group = *node.layer;
    // A group has no pixels of its own: its fill opacity fades its layers
    // as its opacity does. Photoshop's merged images show a pass-through
    // group below full fill composed apart, as a normal group: what its
    // adjustments change stays within it.
    const float opacity = static_cast<float>(group.opacity) / 255.0f * static_cast<float>(group.fillOpacity) / 255.0f;
    const PsdRect bounds = intersection(node.bounds, canvas.area);
    const std::vector<float> mask = maskOver(group, bounds);
    if (problem) return;
    if (is(group.blendMode, "pass") && group.fillOpacity == 255) {
      if (opacity >= 1.0f && mask.empty() && !clip) {
        composeNodes(node.children, canvas);
        return;
      }
      Canvas result(canvas, bounds);
      composeNodes(node.children, result);
      for (std::int64_t y = bounds.top; y < bounds.bottom; ++y)
        for (std::int64_t x = bounds.left; x < bounds.right; ++x) {
          const std::size_t i = canvas.index(x, y);
          const std::size_t j = result.index(x, y);
          const float t = opacity * (mask.empty() ? 1.0f : mask[j]) * (clip ? (*clip)[i] : 1.0f);
          const float a0 = canvas.alpha[i], a1 = result.alpha[j];
          const float a = a0 + (a1 - a0) * t;
          for (unsigned c = 0; c < channels_; ++c) {
            // Interpolate premultiplied, so a transparent backdrop adds no colour.
            const float p = canvas.colour[c][i] * a0 + (result.colour[c][j] * a1 - canvas.colour[c][i] * a0) * t;
            canvas.colour[c][i] = a > 0 ? p / a : 0.0f;
          }
          canvas.alpha[i] = a;
        }
      return;
    }
    Canvas isolated(bounds, channels_);
    composeNodes(node.children, isolated);
    LayerPixels pixels;
    pixels.area = bounds;
    pixels.colour = std::move(isolated.colour);
    pixels.alpha = std::move(isolated.alpha);
    for (std::size_t i = 0; i < mask.size(); ++i) pixels.alpha[i] *= mask[i];
    static constexpr BlendKey kNormal{'n', 'o', 'r', 'm'};
    blend(pixels, canvas, opacity, is(group.blendMode, "pass") ? kNormal : group.blendMode, clip);
  }
};

// Layers are stored bottom first; a group is its bounding divider, its
// layers, then the folder record that carries the group's own settings.
// Unbalanced markers (damaged files) are tolerated: a folder without a
// divider is dropped, a divider without a folder ends at the top.
std::vector<Node> buildTree(const std::vector<PsdLayer>& layers) {
  std::vector<std::vector<Node>> stack(1);
  for (const PsdLayer& layer : layers) {
    if (layer.section == PsdSection::Divider) {
      if (stack.size() < 64) stack.emplace_back();
      continue;
    }
    if (layer.section == PsdSection::OpenFolder || layer.section == PsdSection::ClosedFolder) {
      if (stack.size() < 2) continue;
      Node group{&layer, std::move(stack.back()), true, {}};
      stack.pop_back();
      stack.back().push_back(std::move(group));
      continue;
    }
    stack.back().push_back(Node{&layer, {}, false, {}});
  }
  while (stack.size() > 1) {
    std::vector<Node> open = std::move(stack.back());
    stack.pop_back();
    for (Node& node : open) stack.back().push_back(std::move(node));
  }
  return std::move(stack.front());
}

// Sets the bounds of every group below; returns the bounds of `nodes`.
PsdRect measureBounds(std::vector<Node>& nodes, const PsdRect& whole) {
  PsdRect all;
  for (Node& node : nodes) {
    if (node.group) node.bounds = measureBounds(node.children, whole);
    all = unionOf(all, node.group ? node.bounds : drawnArea(*node.layer, whole));
  }
  return all;
}

// The bytes composing `nodes` on a canvas over `area` holds at its peak,
// besides that canvas: the Composer's allocations, level by level.
std::uint64_t composeBytes(const std::vector<Node>& nodes, const PsdRect& area, unsigned channels) {
  const std::uint64_t perPixel = (channels + 1) * sizeof(float);
  std::uint64_t peak = 0;
  bool clipBase = false;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const Node& node = nodes[i];
    const PsdLayer& layer = *node.layer;
    const bool base = i + 1 < nodes.size() && nodes[i + 1].layer->clipped;
    clipBase = clipBase || base;
    const bool masked = layer.mask && !layer.mask->disabled;
    std::uint64_t cost = 0;
    if (node.group) {
      const PsdRect bounds = intersection(node.bounds, area);
      const bool ownCanvas = !is(layer.blendMode, "pass") || layer.opacity < 255 || masked || (layer.clipped && i > 0);
      // Its own canvas (or, as the base of clipped layers, its coverage
      // composed alone), its mask, and what its layers need in turn.
      const std::uint64_t alone = pixelCount(bounds) * (perPixel + (masked ? 2 * sizeof(float) : 0)) +
                                  composeBytes(node.children, bounds, channels);
      cost = ownCanvas || base ? alone : 0;
      if (!ownCanvas) cost = std::max(cost, composeBytes(node.children, area, channels));
    } else {
      // Its pixels, and a mask being decoded beside them; a vector mask's
      // raster and coverage; the effects' planes over the whole document
      // at worst (their reach, shadow and stroke, two distance fields).
      cost = pixelCount(intersection(drawnArea(layer, area), area)) * (perPixel + 2 * sizeof(float));
      if (layer.vectorMask.present()) cost += pixelCount(area) * (1 + sizeof(float));
      if (layer.effects.present()) cost += pixelCount(area) * (2 * perPixel + 4 * sizeof(float) + 2 * sizeof(double));
    }
    peak = std::max(peak, cost);
  }
  return peak + (clipBase ? pixelCount(area) * sizeof(float) : 0);
}

}  // namespace

unsigned composeChannels(PsdMode mode) {
  switch (mode) {
    case PsdMode::Greyscale:
    case PsdMode::Duotone: return 1;
    case PsdMode::Rgb:
    case PsdMode::Lab: return 3;
    case PsdMode::Cmyk: return 4;
    default: return 0;
  }
}

std::optional<std::string> composeLayers(const ByteSource& bytes, const PsdDocument& document,
                                         const std::vector<PsdLayer>& layers, Composite& out,
                                         const ComposeLimits& limits) {
  const PsdHeader& header = document.header;
  const unsigned channels = composeChannels(header.mode);
  if (channels == 0 || header.depth == 1)
    return std::string("holds no merged image, and its colour mode has no layers to compose");
  if (layers.empty()) return std::string("holds no merged image and no layers to compose it from");
  const std::uint64_t pixels = std::uint64_t{header.width} * header.height;
  if (pixels > limits.maxPixels)
    return std::string("holds no merged image, and is too large to compose from its layers");
  std::vector<Node> tree = buildTree(layers);
  const PsdRect whole{0, 0, static_cast<std::int32_t>(header.height), static_cast<std::int32_t>(header.width)};
  measureBounds(tree, whole);
  const std::uint64_t need = pixels * (channels + 1) * sizeof(float) + composeBytes(tree, whole, channels);
  if (limits.maxBytes > 0 && need > limits.maxBytes)
    return "too large: composing its layers needs " + std::to_string((need >> 20) + 1) +
           " MiB of memory, more than the " + std::to_string(limits.maxBytes >> 20) + " MiB this conversion may use";
  Canvas canvas(whole, channels);
  Composer composer(bytes, document, channels);
  composer.composeNodes(tree, canvas);
  if (composer.problem) return composer.problem;
  // Nothing drawn: the document shows its background, which an opaque
  // document fills with white.
  if (composer.drawn == 0 && !document.mergedHasTransparency) {
    for (std::size_t c = 0; c < canvas.colour.size(); ++c)
      std::fill(canvas.colour[c].begin(), canvas.colour[c].end(), header.mode == PsdMode::Lab && c > 0 ? 0.5f : 1.0f);
    std::fill(canvas.alpha.begin(), canvas.alpha.end(), 1.0f);
  }
  out.width = header.width;
  out.height = header.height;
  out.colour = std::move(canvas.colour);
  out.alpha = std::move(canvas.alpha);
  out.leftOut = std::move(composer.leftOut);
  return std::nullopt;
}

}  // namespace qm
