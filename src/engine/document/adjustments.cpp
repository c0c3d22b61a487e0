#include "engine/document/adjustments.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/document/descriptor.h"
#include "engine/document/span_reader.h"

namespace qm {

namespace {

bool is(const BlendKey& key, const char* text) { return std::memcmp(key.data(), text, 4) == 0; }

// Big-endian reads that fail, and yield zeros, past the end.
using Bytes = SpanReader;

float clamp01(float v) { return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f; }

// A tone function of one channel, tabulated over 0..1 and read with linear
// interpolation between the entries.
class Tone {
 public:
  static constexpr std::size_t kSteps = 4096;
  template <typename F>
  explicit Tone(F f) {
    for (std::size_t i = 0; i <= kSteps; ++i) table_[i] = clamp01(f(static_cast<float>(i) / kSteps));
  }
  float operator()(float v) const {
    const float at = clamp01(v) * kSteps;
    const auto i = std::min(static_cast<std::size_t>(at), kSteps - 1);
    const float t = at - static_cast<float>(i);
    return table_[i] + (table_[i + 1] - table_[i]) * t;
  }

 private:
  std::array<float, kSteps + 1> table_{};
};

// One tone function per colour channel, each after the one all channels
// share.
struct ChannelTones {
  std::vector<Tone> shared;                   // empty, or one
  std::vector<std::vector<Tone>> perChannel;  // each empty, or one
};

AdjustPixel applyTones(std::shared_ptr<const ChannelTones> tones) {
  return [tones = std::move(tones)](std::span<float> colour) {
    for (std::size_t c = 0; c < colour.size(); ++c) {
      float v = colour[c];
      if (c < tones->perChannel.size())
        for (const Tone& tone : tones->perChannel[c]) v = tone(v);
      for (const Tone& tone : tones->shared) v = tone(v);
      colour[c] = v;
    }
  };
}

struct LevelRecord {
  float inLow = 0, inHigh = 1, outLow = 0, outHigh = 1, gamma = 1;
  bool identity() const { return inLow == 0 && inHigh == 1 && outLow == 0 && outHigh == 1 && gamma == 1; }
  float operator()(float v) const {
    const float span = inHigh - inLow;
    float x = span > 0 ? clamp01((v - inLow) / span) : (v >= inHigh ? 1.0f : 0.0f);
    x = std::pow(x, 1 / gamma);
    return outLow + x * (outHigh - outLow);
  }
};

std::optional<AdjustPixel> readLevels(Bytes& in, unsigned channels) {
  if (in.u16() != 2) return std::nullopt;
  auto tones = std::make_shared<ChannelTones>();
  tones->perChannel.resize(channels);
  // The first record is the composite, then one per channel.
  for (unsigned record = 0; record <= channels && record < 29; ++record) {
    LevelRecord level;
    level.inLow = in.u16() / 255.0f;
    level.inHigh = in.u16() / 255.0f;
    level.outLow = in.u16() / 255.0f;
    level.outHigh = in.u16() / 255.0f;
    level.gamma = std::clamp(in.u16() / 100.0f, 0.1f, 9.99f);
    if (!in.ok()) return std::nullopt;
    if (level.identity()) continue;
    if (record == 0)
      tones->shared.emplace_back(level);
    else
      tones->perChannel[record - 1].emplace_back(level);
  }
  return applyTones(std::move(tones));
}

// The curve through the points as a natural cubic spline, flat beyond the
// first and last point; points are 0..255 in and out.
Tone curveThrough(std::vector<std::pair<float, float>> points) {
  std::sort(points.begin(), points.end());
  points.erase(
      std::unique(points.begin(), points.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
      points.end());
  const std::size_t n = points.size();
  std::vector<float> second(n, 0.0f);
  if (n > 2) {
    // Solve the tridiagonal system for the second derivatives.
    std::vector<float> u(n, 0.0f);
    for (std::size_t i = 1; i + 1 < n; ++i) {
      const float h0 = points[i].first - points[i - 1].first, h1 = points[i + 1].first - points[i].first;
      const float sig = h0 / (h0 + h1);
      const float p = sig * second[i - 1] + 2;
      second[i] = (sig - 1) / p;
      const float d = (points[i + 1].second - points[i].second) / h1 - (points[i].second - points[i - 1].second) / h0;
      u[i] = (6 * d / (h0 + h1) - sig * u[i - 1]) / p;
    }
    second[n - 1] = 0;
    for (std::size_t k = n - 1; k-- > 0;) second[k] = second[k] * second[k + 1] + u[k];
  }
  return Tone([&](float v) {
    const float x = v * 255;
    if (n == 0) return v;
    if (n == 1 || x <= points.front().first) return points.front().second / 255;
    if (x >= points.back().first) return points.back().second / 255;
    std::size_t hi = 1;
    while (hi + 1 < n && points[hi].first < x) ++hi;
    const std::size_t lo = hi - 1;
    const float h = points[hi].first - points[lo].first;
    const float a = (points[hi].first - x) / h, b = (x - points[lo].first) / h;
    const float y = a * points[lo].second + b * points[hi].second +
                    ((a * a * a - a) * second[lo] + (b * b * b - b) * second[hi]) * h * h / 6;
    return y / 255;
  });
}

std::optional<AdjustPixel> readCurves(Bytes& in, unsigned channels) {
  in.skip(1);
  const unsigned version = in.u16();
  const std::uint32_t present = in.u32();
  if (!in.ok() || (version != 1 && version != 4)) return std::nullopt;
  auto tones = std::make_shared<ChannelTones>();
  tones->perChannel.resize(channels);
  // Bit 0 is the composite, then one bit per channel.
  for (unsigned bit = 0; bit < 32; ++bit) {
    if (!(present & (1u << bit))) continue;
    const unsigned count = in.u16();
    if (!in.ok() || count > 19) return std::nullopt;
    std::vector<std::pair<float, float>> points;
    for (unsigned i = 0; i < count; ++i) {
      const float output = in.u16(), input = in.u16();
      points.emplace_back(std::min(input, 255.0f), std::min(output, 255.0f));
    }
    if (!in.ok()) return std::nullopt;
    if (bit == 0)
      tones->shared.push_back(curveThrough(std::move(points)));
    else if (bit <= channels)
      tones->perChannel[bit - 1].push_back(curveThrough(std::move(points)));
  }
  return applyTones(std::move(tones));
}

// Exposure works on linear light. Documents below 32 bits store their
// samples gamma-encoded; the gammas are those that match Photoshop's merged
// images: 2.2 in colour, 1.75 in greyscale (its dot-gain working space).
std::optional<AdjustPixel> readExposure(Bytes& in, const PsdHeader& header) {
  in.skip(2);
  const float exposure = in.f32(), offset = in.f32(), gamma = in.f32();
  if (!in.ok() || !std::isfinite(exposure) || !std::isfinite(offset) || !std::isfinite(gamma) || gamma <= 0)
    return std::nullopt;
  const float gain = std::exp2(std::clamp(exposure, -20.0f, 20.0f));
  const bool linearDocument = header.depth == 32;
  const float encoding = linearDocument ? 1.0f : header.mode == PsdMode::Greyscale ? 1.75f : 2.2f;
  auto exposed = [=](float v) {
    const float out = std::pow(std::max(0.0f, std::pow(std::max(v, 0.0f), encoding) * gain + offset), 1 / gamma);
    return linearDocument ? out : std::pow(std::min(out, 1.0f), 1 / encoding);
  };
  if (linearDocument)
    return AdjustPixel([=](std::span<float> colour) {
      for (float& v : colour) v = exposed(v);
    });
  auto tones = std::make_shared<ChannelTones>();
  tones->shared.emplace_back(exposed);
  return applyTones(std::move(tones));
}

std::optional<AdjustPixel> readPosterize(Bytes& in, unsigned depth) {
  const unsigned levels = in.u16();
  if (!in.ok() || levels < 2 || levels > 255) return std::nullopt;
  auto tones = std::make_shared<ChannelTones>();
  // The stored sample's range is split into equal bands.
  const float top = depth == 16 ? 65535.0f : 255.0f;
  tones->shared.emplace_back([levels, top](float v) {
    const float steps = static_cast<float>(levels - 1);
    return std::floor(std::round(v * top) * static_cast<float>(levels) / (top + 1)) / steps;
  });
  return applyTones(std::move(tones));
}

// The grey compared is the channels weighted 0.30, 0.59, 0.11 (CMYK after
// its black). Photoshop's merged images show the grey rounded to eight
// bits before the comparison, except in 16-bit colour documents, where it
// is compared as computed.
std::optional<AdjustPixel> readThreshold(Bytes& in, const PsdHeader& header) {
  const float level = in.u16() / 255.0f;
  if (!in.ok()) return std::nullopt;
  const PsdMode mode = header.mode;
  const float rounding = header.depth == 16 && (mode == PsdMode::Rgb || mode == PsdMode::Cmyk) ? 0.0f : 0.5f / 255;
  return AdjustPixel([level, mode, rounding](std::span<float> colour) {
    float grey = colour[0];
    if (mode == PsdMode::Rgb && colour.size() == 3)
      grey = 0.30f * colour[0] + 0.59f * colour[1] + 0.11f * colour[2];
    else if (mode == PsdMode::Cmyk && colour.size() == 4)
      grey = (0.30f * colour[0] + 0.59f * colour[1] + 0.11f * colour[2]) * colour[3];
    const float out = grey + rounding >= level ? 1.0f : 0.0f;
    for (std::size_t c = 0; c < colour.size(); ++c) colour[c] = mode == PsdMode::Cmyk && c < 3 ? 1.0f : out;
  });
}

// The older brightness and contrast: a shift, and a slope about the
// image's mean. Photoshop's merged images show the shift made first in
// colour documents and last in greyscale ones.
std::optional<AdjustPixel> readLegacyBrightness(Bytes& in, bool shiftLast) {
  const float brightness = std::clamp(in.i16(), std::int16_t{-255}, std::int16_t{255}) / 255.0f;
  const float contrast = std::clamp(in.i16() / 100.0f, -1.0f, 1.0f);
  const float mean = clamp01(in.u16() / 255.0f);
  if (!in.ok()) return std::nullopt;
  const float slope = contrast > 0 ? 1 / std::max(0.01f, 1 - contrast) : 1 + contrast;
  auto tones = std::make_shared<ChannelTones>();
  tones->shared.emplace_back([=](float v) {
    if (shiftLast) return clamp01((v - mean) * slope + mean + brightness);
    return clamp01((clamp01(v + brightness) - mean) * slope + mean);
  });
  return applyTones(std::move(tones));
}

// Hue, saturation and lightness: a master setting and six hue ranges
// (reds, yellows, greens, cyans, blues, magentas), each weighted by how
// far the pixel's hue lies inside its range and its ramps; or colorize,
// one hue and saturation for every pixel at its own lightness.
struct HueRange {
  float rampBegin = 0, begin = 0, end = 0, rampEnd = 0;  // degrees
  float hue = 0, saturation = 0, lightness = 0;          // -1..1 (hue in degrees)
  // 1 inside the range, falling to 0 across its ramps.
  float weight(float h) const {
    const auto from = [](float a, float b) { return std::fmod(b - a + 720.0f, 360.0f); };
    const float x = from(rampBegin, h);
    const float in = from(rampBegin, begin), out = from(rampBegin, end), last = from(rampBegin, rampEnd);
    if (x > last) return 0;
    if (x < in) return in > 0 ? x / in : 1;
    if (x <= out) return 1;
    return last > out ? (last - x) / (last - out) : 1;
  }
};

float hueOf(float r, float g, float b) {
  const float hi = std::max({r, g, b}), lo = std::min({r, g, b}), d = hi - lo;
  if (d <= 0) return 0;
  float h = hi == r ? (g - b) / d : hi == g ? 2 + (b - r) / d : 4 + (r - g) / d;
  h *= 60;
  return h < 0 ? h + 360 : h;
}

// An RGB colour of that hue (degrees) between `lo` and `hi`.
void fromHue(float h, float lo, float hi, float* rgb) {
  h = std::fmod(std::fmod(h, 360.0f) + 360.0f, 360.0f) / 60;
  const float f = h - std::floor(h), d = hi - lo;
  const float up = lo + d * f, down = hi - d * f;
  switch (static_cast<int>(h) % 6) {
    case 0: rgb[0] = hi, rgb[1] = up, rgb[2] = lo; break;
    case 1: rgb[0] = down, rgb[1] = hi, rgb[2] = lo; break;
    case 2: rgb[0] = lo, rgb[1] = hi, rgb[2] = up; break;
    case 3: rgb[0] = lo, rgb[1] = down, rgb[2] = hi; break;
    case 4: rgb[0] = up, rgb[1] = lo, rgb[2] = hi; break;
    default: rgb[0] = hi, rgb[1] = lo, rgb[2] = down; break;
  }
}

// Lightness moves every channel towards white or towards black.
float lighten(float v, float lightness) { return lightness >= 0 ? v + (1 - v) * lightness : v * (1 + lightness); }

std::optional<AdjustPixel> readHueSaturation(Bytes& in, const PsdHeader& header, unsigned channels) {
  if (in.u16() != 2) return std::nullopt;
  const bool colorize = in.u8() != 0;
  in.skip(1);
  const float tintHue = in.i16(), tintSaturation = std::clamp(in.i16() / 100.0f, 0.0f, 1.0f);
  const float tintLightness = std::clamp(in.i16() / 100.0f, -1.0f, 1.0f);
  HueRange master;
  master.hue = std::clamp<float>(in.i16(), -180, 180);
  master.saturation = std::clamp(in.i16() / 100.0f, -1.0f, 1.0f);
  master.lightness = std::clamp(in.i16() / 100.0f, -1.0f, 1.0f);
  std::array<HueRange, 6> ranges;
  for (HueRange& range : ranges) {
    range.rampBegin = in.i16(), range.begin = in.i16(), range.end = in.i16(), range.rampEnd = in.i16();
    range.hue = std::clamp<float>(in.i16(), -180, 180);
    range.saturation = std::clamp(in.i16() / 100.0f, -1.0f, 1.0f);
    range.lightness = std::clamp(in.i16() / 100.0f, -1.0f, 1.0f);
  }
  if (!in.ok() || header.mode != PsdMode::Rgb || channels != 3) return std::nullopt;
  if (colorize)
    return AdjustPixel([=](std::span<float> colour) {
      // The pixel's lightness, tinted at the colorize hue and saturation.
      const float hi = std::max({colour[0], colour[1], colour[2]}), lo = std::min({colour[0], colour[1], colour[2]});
      const float l = lighten((hi + lo) / 2, tintLightness);
      const float d = tintSaturation * (l <= 0.5f ? l : 1 - l);
      float rgb[3];
      fromHue(tintHue, l - d, l + d, rgb);
      for (std::size_t c = 0; c < 3; ++c) colour[c] = clamp01(rgb[c]);
    });
  return AdjustPixel([=](std::span<float> colour) {
    float r = clamp01(colour[0]), g = clamp01(colour[1]), b = clamp01(colour[2]);
    const float h = hueOf(r, g, b);
    float hueShift = master.hue, saturation = master.saturation, lightness = master.lightness;
    if (std::max({r, g, b}) > std::min({r, g, b}))
      for (const HueRange& range : ranges) {
        const float w = range.weight(h);
        hueShift += w * range.hue, saturation += w * range.saturation, lightness += w * range.lightness;
      }
    saturation = std::clamp(saturation, -1.0f, 1.0f), lightness = std::clamp(lightness, -1.0f, 1.0f);
    float rgb[3] = {r, g, b};
    const float hi = std::max({r, g, b}), lo = std::min({r, g, b});
    if (hueShift != 0 && hi > lo) fromHue(h + hueShift, lo, hi, rgb);
    // Saturation scales each channel's distance from the lightness; raising
    // it can at most saturate the colour fully.
    const float l = (hi + lo) / 2, sum = hi + lo, d = hi - lo;
    if (saturation != 0 && d > 0) {
      const float s = l < 0.5f ? d / sum : d / (2 - sum);
      float gain = 1 + saturation;
      if (saturation > 0) gain = 1 / (saturation + s >= 1 ? s : 1 - saturation);
      for (float& v : rgb) v = l + (v - l) * gain;
    }
    for (std::size_t c = 0; c < 3; ++c) colour[c] = clamp01(lighten(clamp01(rgb[c]), lightness));
  });
}

}  // namespace

std::optional<AdjustPixel> readAdjustment(const BlendKey& key, std::span<const std::uint8_t> data,
                                          const PsdHeader& header, unsigned channels) {
  Bytes in(data);
  const bool linear = header.depth == 32;
  if (is(key, "nvrt"))
    return AdjustPixel([](std::span<float> colour) {
      for (float& v : colour) v = 1 - v;
    });
  if (is(key, "expA")) return readExposure(in, header);
  if (linear) return std::nullopt;
  if (is(key, "levl")) return readLevels(in, channels);
  if (is(key, "brit")) return readLegacyBrightness(in, header.mode == PsdMode::Greyscale);
  if (is(key, "curv")) return readCurves(in, channels);
  if (is(key, "post")) return readPosterize(in, header.depth);
  if (is(key, "thrs")) return readThreshold(in, header);
  if (is(key, "hue2")) return readHueSaturation(in, header, channels);
  return std::nullopt;
}

}  // namespace qm
