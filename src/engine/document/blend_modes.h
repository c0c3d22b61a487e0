// The blend modes of layers and groups: what a source colour s does to
// the backdrop b beneath it, before opacity and coverage mix the result
// in. Samples are 0..1, not premultiplied. The formulas are the published
// ones of the layered-document and portable-document formats, with the
// choices the layered format makes where they differ (soft light's curve
// for dark backdrops, the source winning at vivid light's extremes, hard
// mix's tie, darker and lighter colour judged by luminosity).
#pragma once

#include <optional>

#include "engine/document/psd_structure.h"

namespace qm {

enum class BlendMode {
  Normal,
  Darken,
  Multiply,
  ColourBurn,
  LinearBurn,
  DarkerColour,
  Lighten,
  Screen,
  ColourDodge,
  LinearDodge,
  LighterColour,
  Overlay,
  SoftLight,
  HardLight,
  VividLight,
  LinearLight,
  PinLight,
  HardMix,
  Difference,
  Exclusion,
  Subtract,
  Divide,
  Hue,
  Saturation,
  Colour,
  Luminosity
};

// The mode a layer's key names; nothing for keys this program does not
// know. Dissolve counts as normal: its scatter is left out.
std::optional<BlendMode> blendModeOf(const BlendKey& key);

// The modes that work on the whole colour rather than channel by channel.
bool isNonSeparable(BlendMode mode);

// One channel of a separable mode. A non-separable mode given here (a
// document without three colour channels) acts as its one-channel
// equivalent: darker and lighter colour as darken and lighten, the others
// as normal.
float blendChannel(BlendMode mode, float backdrop, float source);

struct Rgb {
  float r = 0, g = 0, b = 0;
};

// A non-separable mode on red, green and blue; separable modes go channel
// by channel.
Rgb blendColour(BlendMode mode, Rgb backdrop, Rgb source);

}  // namespace qm
