#include "engine/document/layer_effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "engine/document/descriptor.h"
#include "engine/document/fill_layers.h"

namespace qm {

namespace {

constexpr double kMaxSize = 250;  // pixels: the largest size the effects' dialogs offer
constexpr double kMaxDistance = 30000;

struct ModeName {
  const char* name;
  const char* key;
};

// The blend modes as effect descriptors name them, and their layer keys.
constexpr ModeName kModes[] = {
    {"Nrml", "norm"},        {"Dslv", "diss"},
    {"Drkn", "dark"},        {"Mltp", "mul "},
    {"CBrn", "idiv"},        {"linearBurn", "lbrn"},
    {"darkerColor", "dkCl"}, {"Lghn", "lite"},
    {"Scrn", "scrn"},        {"CDdg", "div "},
    {"linearDodge", "lddg"}, {"lighterColor", "lgCl"},
    {"Ovrl", "over"},        {"SftL", "sLit"},
    {"HrdL", "hLit"},        {"vividLight", "vLit"},
    {"linearLight", "lLit"}, {"pinLight", "pLit"},
    {"hardMix", "hMix"},     {"Dfrn", "diff"},
    {"Xclu", "smud"},        {"blendSubtraction", "fsub"},
    {"blendDivide", "fdiv"}, {"H   ", "hue "},
    {"Strt", "sat "},        {"Clr ", "colr"},
    {"Lmns", "lum "},
};

BlendKey modeKey(const DescriptorValue& effect) {
  const std::string name = effect.textOr("Md  ", "Nrml");
  for (const ModeName& mode : kModes)
    if (name == mode.name) {
      BlendKey key{};
      std::memcpy(key.data(), mode.key, 4);
      return key;
    }
  return BlendKey{'n', 'o', 'r', 'm'};
}

double finite(double v, double low, double high) { return std::isfinite(v) ? std::clamp(v, low, high) : low; }

// The paint every drawn effect has: mode, opacity and a solid colour.
bool readPaint(const DescriptorValue& effect, const PsdHeader& header, unsigned channels, EffectPaint& out) {
  const DescriptorValue* colour = effect.find("Clr ");
  if (!colour) return false;
  std::optional<std::vector<float>> value = descriptionColour(*colour, header);
  if (!value || value->size() != channels) return false;
  out.colour = std::move(*value);
  out.mode = modeKey(effect);
  out.opacity = static_cast<float>(finite(effect.numberOr("Opct", 100), 0, 100) / 100);
  return true;
}

// An effect of the descriptor, or the first of its list in the form that
// holds several of a kind.
const DescriptorValue* effectOf(const DescriptorValue& effects, const char* single, const char* multiple) {
  if (const DescriptorValue* one = effects.find(single)) return one;
  if (const DescriptorValue* list = effects.find(multiple))
    for (const DescriptorValue& item : list->items)
      if (item.numberOr("enab", 0) != 0) return &item;
  return nullptr;
}

bool enabled(const DescriptorValue* effect) { return effect && effect->numberOr("enab", 0) != 0; }

struct NotDrawn {
  const char* single;
  const char* multiple;
  const char* name;
};

constexpr NotDrawn kNotDrawn[] = {
    {"IrSh", "innerShadowMulti", "inner shadow"},
    {"OrGl", "", "outer glow"},
    {"IrGl", "", "inner glow"},
    {"ebbl", "", "bevel and emboss"},
    {"ChFX", "", "satin"},
};

// Squared Euclidean distance of each sample to the nearest one where `near`
// holds (one dimension, lower envelope of parabolas).
void distance1d(const std::vector<double>& f, std::vector<double>& d, std::vector<int>& v, std::vector<double>& z) {
  const int n = static_cast<int>(f.size());
  int k = 0;
  v[0] = 0;
  z[0] = -std::numeric_limits<double>::infinity();
  z[1] = std::numeric_limits<double>::infinity();
  for (int q = 1; q < n; ++q) {
    double s = 0;
    while (true) {
      const int p = v[static_cast<std::size_t>(k)];
      s = ((f[static_cast<std::size_t>(q)] + q * q) - (f[static_cast<std::size_t>(p)] + p * p)) / (2.0 * (q - p));
      if (s > z[static_cast<std::size_t>(k)] || k == 0) break;
      --k;
    }
    if (s <= z[static_cast<std::size_t>(k)]) {
      v[0] = q;
      z[0] = -std::numeric_limits<double>::infinity();
      z[1] = std::numeric_limits<double>::infinity();
      k = 0;
      continue;
    }
    ++k;
    v[static_cast<std::size_t>(k)] = q;
    z[static_cast<std::size_t>(k)] = s;
    z[static_cast<std::size_t>(k) + 1] = std::numeric_limits<double>::infinity();
  }
  k = 0;
  for (int q = 0; q < n; ++q) {
    while (z[static_cast<std::size_t>(k) + 1] < q) ++k;
    const int p = v[static_cast<std::size_t>(k)];
    d[static_cast<std::size_t>(q)] = (q - p) * (q - p) + f[static_cast<std::size_t>(p)];
  }
}

// Distance of each pixel to the nearest pixel where `inside` is `target`.
std::vector<float> distanceTo(const std::vector<float>& alpha, std::size_t width, std::size_t height, bool target) {
  constexpr double kFar = 1e12;
  std::vector<double> grid(width * height);
  for (std::size_t i = 0; i < grid.size(); ++i) grid[i] = (alpha[i] >= 0.5f) == target ? 0 : kFar;
  const std::size_t longest = std::max(width, height);
  std::vector<double> f(longest), d(longest), z(longest + 1);
  std::vector<int> v(longest);
  for (std::size_t x = 0; x < width; ++x) {
    f.resize(height), d.resize(height);
    for (std::size_t y = 0; y < height; ++y) f[y] = grid[y * width + x];
    distance1d(f, d, v, z);
    for (std::size_t y = 0; y < height; ++y) grid[y * width + x] = d[y];
  }
  for (std::size_t y = 0; y < height; ++y) {
    f.assign(grid.begin() + static_cast<std::ptrdiff_t>(y * width),
             grid.begin() + static_cast<std::ptrdiff_t>((y + 1) * width));
    d.resize(width);
    distance1d(f, d, v, z);
    std::copy(d.begin(), d.end(), grid.begin() + static_cast<std::ptrdiff_t>(y * width));
  }
  std::vector<float> out(grid.size());
  for (std::size_t i = 0; i < grid.size(); ++i) out[i] = static_cast<float>(std::sqrt(grid[i]));
  return out;
}

// A box blur of radius r along rows, then columns.
void boxBlur(std::vector<float>& plane, std::size_t width, std::size_t height, int r) {
  if (r <= 0) return;
  std::vector<float> line;
  const auto pass = [&](std::size_t count, std::size_t length, std::size_t step, std::size_t stride) {
    line.resize(length);
    for (std::size_t n = 0; n < count; ++n) {
      const std::size_t base = n * stride;
      for (std::size_t i = 0; i < length; ++i) line[i] = plane[base + i * step];
      double sum = 0;
      const auto sample = [&](std::ptrdiff_t i) {
        return i < 0 || i >= static_cast<std::ptrdiff_t>(length)
                   ? 0.0
                   : static_cast<double>(line[static_cast<std::size_t>(i)]);
      };
      for (std::ptrdiff_t i = -r; i <= r; ++i) sum += sample(i);
      for (std::size_t i = 0; i < length; ++i) {
        plane[base + i * step] = static_cast<float>(sum / (2 * r + 1));
        const auto at = static_cast<std::ptrdiff_t>(i);
        sum += sample(at + r + 1) - sample(at - r);
      }
    }
  };
  pass(height, width, 1, width);
  pass(width, height, width, 1);
}

}  // namespace

double LayerEffects::reach() const {
  double reach = 0;
  if (stroke && stroke->position != StrokePosition::Inside) reach = stroke->size + 1;
  if (shadow) reach = std::max(reach, std::hypot(shadow->dx, shadow->dy) + shadow->size + 1);
  return std::ceil(reach);
}

std::optional<LayerEffects> readLayerEffects(std::span<const std::uint8_t> block, const PsdHeader& header,
                                             unsigned channels, double globalAngle) {
  if (block.size() < 8) return std::nullopt;
  const std::optional<DescriptorValue> effects = readVersionedDescriptor(block.subspan(4));
  if (!effects) return std::nullopt;
  LayerEffects out;
  if (effects->numberOr("masterFXSwitch", 1) == 0) return out;
  const double scale = finite(effects->numberOr("Scl ", 100), 1, 1000) / 100;

  if (const DescriptorValue* overlay = effectOf(*effects, "SoFi", "solidFillMulti"); enabled(overlay)) {
    EffectPaint paint;
    if (readPaint(*overlay, header, channels, paint))
      out.overlay = std::move(paint);
    else
      out.leftOut.emplace_back("colour overlay");
  }
  if (const DescriptorValue* gradient = effectOf(*effects, "GrFl", "gradientFillMulti"); enabled(gradient)) {
    // Painted once here on one pixel, so a gradient that cannot be drawn
    // is named now rather than missed later.
    FillPaint probe;
    static constexpr BlendKey kGradient{'G', 'd', 'F', 'l'};
    if (paintFill(kGradient, *gradient, header, channels, {0, 0, 1, 1}, {0, 0, 1, 1}, probe))
      out.gradientOverlay = PaintedOverlay{
          modeKey(*gradient), static_cast<float>(finite(gradient->numberOr("Opct", 100), 0, 100) / 100), *gradient};
    else
      out.leftOut.emplace_back("gradient overlay");
  }
  if (const DescriptorValue* pattern = effectOf(*effects, "patternFill", ""); enabled(pattern))
    out.patternOverlay = PaintedOverlay{
        modeKey(*pattern), static_cast<float>(finite(pattern->numberOr("Opct", 100), 0, 100) / 100), *pattern};
  if (const DescriptorValue* frame = effectOf(*effects, "FrFX", "frameFXMulti"); enabled(frame)) {
    StrokeEffect stroke;
    const std::string style = frame->textOr("Styl", "OutF");
    stroke.position = style == "InsF"   ? StrokePosition::Inside
                      : style == "CtrF" ? StrokePosition::Centre
                                        : StrokePosition::Outside;
    stroke.size = finite(frame->numberOr("Sz  ", 3) * scale, 0, kMaxSize);
    if (frame->textOr("PntT", "SClr") == "SClr" && readPaint(*frame, header, channels, stroke))
      out.stroke = std::move(stroke);
    else
      out.leftOut.emplace_back("stroke (not a solid colour)");
  }
  if (const DescriptorValue* drop = effectOf(*effects, "DrSh", "dropShadowMulti"); enabled(drop)) {
    ShadowEffect shadow;
    if (readPaint(*drop, header, channels, shadow)) {
      const double angle =
          (drop->numberOr("uglg", 1) != 0 ? globalAngle : finite(drop->numberOr("lagl", 120), -360, 360)) *
          std::numbers::pi / 180;
      const double distance = finite(drop->numberOr("Dstn", 0) * scale, 0, kMaxDistance);
      // The light shines from the angle; the shadow falls the other way.
      shadow.dx = -std::cos(angle) * distance;
      shadow.dy = std::sin(angle) * distance;
      shadow.spread = finite(drop->numberOr("Ckmt", 0), 0, 100) / 100;
      shadow.size = finite(drop->numberOr("blur", 0) * scale, 0, kMaxSize);
      shadow.knockedOut = drop->numberOr("layerConceals", 1) != 0;
      out.shadow = std::move(shadow);
    } else {
      out.leftOut.emplace_back("drop shadow");
    }
  }
  for (const NotDrawn& kind : kNotDrawn) {
    const DescriptorValue* effect = effectOf(*effects, kind.single, kind.multiple);
    if (enabled(effect)) out.leftOut.emplace_back(kind.name);
  }
  return out;
}

std::vector<float> strokeCoverage(const std::vector<float>& alpha, std::size_t width, std::size_t height,
                                  const StrokeEffect& stroke) {
  std::vector<float> coverage(alpha.size(), 0.0f);
  if (alpha.size() != width * height || alpha.empty()) return coverage;
  const auto size = static_cast<float>(stroke.size);
  const std::vector<float> outside = distanceTo(alpha, width, height, true);
  const std::vector<float> inside = distanceTo(alpha, width, height, false);
  for (std::size_t i = 0; i < alpha.size(); ++i) {
    // Distances run between pixel centres: a pixel d from the shape lies
    // d - 1/2 from its edge, and is covered as far as the stroke reaches
    // across it.
    switch (stroke.position) {
      case StrokePosition::Outside: coverage[i] = std::clamp(size + 1 - outside[i], 0.0f, 1.0f) * (1 - alpha[i]); break;
      case StrokePosition::Inside: coverage[i] = std::clamp(size + 1 - inside[i], 0.0f, 1.0f) * alpha[i]; break;
      case StrokePosition::Centre:
        coverage[i] = std::clamp(size / 2 + 1 - std::max(outside[i], inside[i]), 0.0f, 1.0f);
        break;
    }
  }
  return coverage;
}

std::vector<float> shadowCoverage(const std::vector<float>& alpha, std::size_t width, std::size_t height,
                                  const ShadowEffect& shadow) {
  std::vector<float> moved(alpha.size(), 0.0f);
  if (alpha.size() != width * height || alpha.empty()) return moved;
  const auto dx = static_cast<std::ptrdiff_t>(std::lround(shadow.dx));
  const auto dy = static_cast<std::ptrdiff_t>(std::lround(shadow.dy));
  const auto w = static_cast<std::ptrdiff_t>(width), h = static_cast<std::ptrdiff_t>(height);
  for (std::ptrdiff_t y = 0; y < h; ++y)
    for (std::ptrdiff_t x = 0; x < w; ++x) {
      const std::ptrdiff_t sx = x - dx, sy = y - dy;
      if (sx >= 0 && sx < w && sy >= 0 && sy < h)
        moved[static_cast<std::size_t>(y * w + x)] = alpha[static_cast<std::size_t>(sy * w + sx)];
    }
  // The spread grows the shape by its part of the size; the rest blurs it.
  const double grow = shadow.size * shadow.spread;
  if (grow >= 0.5) {
    const std::vector<float> outside = distanceTo(moved, width, height, true);
    for (std::size_t i = 0; i < moved.size(); ++i)
      moved[i] = std::max(moved[i], std::clamp(static_cast<float>(grow) + 1 - outside[i], 0.0f, 1.0f));
  }
  // Three box blurs approach a Gaussian whose reach is the remaining size.
  const int radius = static_cast<int>(std::lround((shadow.size - grow) / 3));
  for (int i = 0; i < 3; ++i) boxBlur(moved, width, height, radius);
  return moved;
}

}  // namespace qm
