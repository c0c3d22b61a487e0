#include "engine/document/blend_modes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qm {

namespace {

struct ModeName {
  const char* key;
  BlendMode mode;
};

constexpr ModeName kModes[] = {
    {"norm", BlendMode::Normal},       {"diss", BlendMode::Normal},      {"dark", BlendMode::Darken},
    {"mul ", BlendMode::Multiply},     {"idiv", BlendMode::ColourBurn},  {"lbrn", BlendMode::LinearBurn},
    {"dkCl", BlendMode::DarkerColour}, {"lite", BlendMode::Lighten},     {"scrn", BlendMode::Screen},
    {"div ", BlendMode::ColourDodge},  {"lddg", BlendMode::LinearDodge}, {"lgCl", BlendMode::LighterColour},
    {"over", BlendMode::Overlay},      {"sLit", BlendMode::SoftLight},   {"hLit", BlendMode::HardLight},
    {"vLit", BlendMode::VividLight},   {"lLit", BlendMode::LinearLight}, {"pLit", BlendMode::PinLight},
    {"hMix", BlendMode::HardMix},      {"diff", BlendMode::Difference},  {"smud", BlendMode::Exclusion},
    {"fsub", BlendMode::Subtract},     {"fdiv", BlendMode::Divide},      {"hue ", BlendMode::Hue},
    {"sat ", BlendMode::Saturation},   {"colr", BlendMode::Colour},      {"lum ", BlendMode::Luminosity},
};

float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

float colourDodge(float b, float s) {
  if (b <= 0) return 0;
  if (s >= 1) return 1;
  return std::min(1.0f, b / (1 - s));
}

float colourBurn(float b, float s) {
  if (b >= 1) return 1;
  if (s <= 0) return 0;
  return 1 - std::min(1.0f, (1 - b) / s);
}

// Vivid light is burn below the middle and dodge above it, but at the
// source's extremes the source wins even over a backdrop extreme that
// plain burn or dodge would keep.
float vividLight(float b, float s) {
  if (s <= 0) return 0;
  if (s >= 1) return 1;
  return s <= 0.5f ? colourBurn(b, 2 * s) : colourDodge(b, 2 * s - 1);
}

// Samples come from whole numbers of at most 16 bits, so a sum that is one
// within rounding is one.
float hardMix(float b, float s) {
  const float sum = b + s;
  if (std::fabs(sum - 1) < 4e-6f) return b > 0.5f ? 1.0f : 0.0f;
  return sum > 1 ? 1.0f : 0.0f;
}

float softLight(float b, float s) {
  if (s <= 0.5f) return b - (1 - 2 * s) * b * (1 - b);
  const float d = b <= 0.25f ? ((16 * b - 12) * b + 4) * b : std::sqrt(std::max(0.0f, b));
  return b + (2 * s - 1) * (d - b);
}

float hardLight(float b, float s) { return s <= 0.5f ? 2 * s * b : 1 - 2 * (1 - s) * (1 - b); }

float lum(Rgb c) { return 0.3f * c.r + 0.59f * c.g + 0.11f * c.b; }

Rgb clipColour(Rgb c) {
  const float l = lum(c);
  const float n = std::min({c.r, c.g, c.b});
  const float x = std::max({c.r, c.g, c.b});
  if (n < 0 && l - n > 1e-6f)
    c = {l + (c.r - l) * l / (l - n), l + (c.g - l) * l / (l - n), l + (c.b - l) * l / (l - n)};
  if (x > 1 && x - l > 1e-6f)
    c = {l + (c.r - l) * (1 - l) / (x - l), l + (c.g - l) * (1 - l) / (x - l), l + (c.b - l) * (1 - l) / (x - l)};
  return c;
}

Rgb setLum(Rgb c, float l) {
  const float d = l - lum(c);
  return clipColour({c.r + d, c.g + d, c.b + d});
}

float sat(Rgb c) { return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}); }

Rgb setSat(Rgb c, float s) {
  float* v[3] = {&c.r, &c.g, &c.b};
  std::sort(v, v + 3, [](const float* a, const float* b) { return *a < *b; });
  if (*v[2] > *v[0]) {
    *v[1] = (*v[1] - *v[0]) * s / (*v[2] - *v[0]);
    *v[2] = s;
  } else {
    *v[1] = *v[2] = 0;
  }
  *v[0] = 0;
  return c;
}

}  // namespace

std::optional<BlendMode> blendModeOf(const BlendKey& key) {
  for (const ModeName& name : kModes)
    if (std::memcmp(key.data(), name.key, 4) == 0) return name.mode;
  return std::nullopt;
}

bool isNonSeparable(BlendMode mode) {
  return mode == BlendMode::Hue || mode == BlendMode::Saturation || mode == BlendMode::Colour ||
         mode == BlendMode::Luminosity || mode == BlendMode::DarkerColour || mode == BlendMode::LighterColour;
}

float blendChannel(BlendMode mode, float b, float s) {
  switch (mode) {
    case BlendMode::Darken:
    case BlendMode::DarkerColour: return std::min(b, s);
    case BlendMode::Multiply: return b * s;
    case BlendMode::ColourBurn: return colourBurn(b, s);
    case BlendMode::LinearBurn: return std::max(0.0f, b + s - 1);
    case BlendMode::Lighten:
    case BlendMode::LighterColour: return std::max(b, s);
    case BlendMode::Screen: return b + s - b * s;
    case BlendMode::ColourDodge: return colourDodge(b, s);
    case BlendMode::LinearDodge: return std::min(1.0f, b + s);
    case BlendMode::Overlay: return hardLight(s, b);
    case BlendMode::SoftLight: return softLight(b, s);
    case BlendMode::HardLight: return hardLight(b, s);
    case BlendMode::VividLight: return vividLight(b, s);
    case BlendMode::LinearLight: return clamp01(b + 2 * s - 1);
    case BlendMode::PinLight: return s <= 0.5f ? std::min(b, 2 * s) : std::max(b, 2 * s - 1);
    case BlendMode::HardMix: return hardMix(b, s);
    case BlendMode::Difference: return std::fabs(b - s);
    case BlendMode::Exclusion: return b + s - 2 * b * s;
    case BlendMode::Subtract: return std::max(0.0f, b - s);
    case BlendMode::Divide: return s <= 0 ? (b <= 0 ? 0.0f : 1.0f) : std::min(1.0f, b / s);
    default: return s;
  }
}

Rgb blendColour(BlendMode mode, Rgb b, Rgb s) {
  switch (mode) {
    case BlendMode::Hue: return setLum(setSat(s, sat(b)), lum(b));
    case BlendMode::Saturation: return setLum(setSat(b, sat(s)), lum(b));
    case BlendMode::Colour: return setLum(s, lum(b));
    case BlendMode::Luminosity: return setLum(b, lum(s));
    case BlendMode::DarkerColour: return lum(s) < lum(b) ? s : b;
    case BlendMode::LighterColour: return lum(s) > lum(b) ? s : b;
    default: return {blendChannel(mode, b.r, s.r), blendChannel(mode, b.g, s.g), blendChannel(mode, b.b, s.b)};
  }
}

}  // namespace qm
