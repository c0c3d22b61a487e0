// Adjustment layers read from blocks built here, against values worked out
// by hand; and blocks cut short or holding impossible values come back as
// nothing instead of a wrong adjustment.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "engine/document/adjustments.h"

namespace qm {
namespace {

BlendKey key(const char* text) {
  BlendKey k{};
  std::memcpy(k.data(), text, 4);
  return k;
}

// Big-endian 16-bit words.
std::vector<std::uint8_t> words(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) {
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  }
  return out;
}

std::vector<std::uint8_t> exposureBlock(float exposure, float offset, float gamma) {
  std::vector<std::uint8_t> out = words({1});
  for (float f : {exposure, offset, gamma}) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &f, 4);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(bits >> shift));
  }
  return out;
}

// A levels block: the composite record, then red; the other 27 records
// stay identity.
std::vector<std::uint8_t> levelsBlock(std::initializer_list<int> composite, std::initializer_list<int> red) {
  std::vector<std::uint8_t> out = words({2});
  for (auto record : {composite, red}) {
    const auto bytes = words(record);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  for (int i = 2; i < 29; ++i) {
    const auto bytes = words({0, 255, 0, 255, 100});
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

// A curves block: filler, version 1, the channel bits, then each curve's
// points as (output, input).
std::vector<std::uint8_t> curvesBlock(std::uint32_t channels,
                                      std::initializer_list<std::initializer_list<int>> curves) {
  std::vector<std::uint8_t> out{0, 0, 1};
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(channels >> shift));
  for (auto points : curves) {
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(points.size() / 2));
    const auto bytes = words(points);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

// A hue/saturation block: colorize or not, the colorize and master
// settings, then the six ranges at Photoshop's defaults, reds with
// `reds` as their settings.
std::vector<std::uint8_t> hueBlock(bool colorize, std::initializer_list<int> tint, std::initializer_list<int> master,
                                   std::initializer_list<int> reds = {0, 0, 0}) {
  std::vector<std::uint8_t> out = words({2});
  out.push_back(colorize ? 1 : 0);
  out.push_back(0);
  for (auto record : {tint, master}) {
    const auto bytes = words(record);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  for (int range = 0; range < 6; ++range) {
    const int centre = range * 60;
    const auto bytes = words({(centre + 315) % 360, (centre + 345) % 360, (centre + 15) % 360, (centre + 45) % 360});
    out.insert(out.end(), bytes.begin(), bytes.end());
    const auto settings = words(range == 0 ? reds : std::initializer_list<int>{0, 0, 0});
    out.insert(out.end(), settings.begin(), settings.end());
  }
  return out;
}

TEST(Adjustments, EachKindChangesAPixelAsWorkedOutByHand) {
  const PsdHeader rgb{false, 3, 1, 1, 8, PsdMode::Rgb};
  const PsdHeader cmyk{false, 4, 1, 1, 8, PsdMode::Cmyk};
  const PsdHeader grey{false, 1, 1, 1, 16, PsdMode::Greyscale};
  const PsdHeader rgb16{false, 3, 1, 1, 16, PsdMode::Rgb};
  struct Case {
    const char* what;
    const char* key;
    std::vector<std::uint8_t> block;
    PsdHeader header;
    std::vector<float> before, after;
  };
  const Case cases[] = {
      {"invert", "nvrt", {}, rgb, {0.2f, 0.5f, 1.0f}, {0.8f, 0.5f, 0.0f}},
      {"invert keeps CMYK as it is stored", "nvrt", {}, cmyk, {0.2f, 0.5f, 1.0f, 0.0f}, {0.8f, 0.5f, 0.0f, 1.0f}},
      // 4 levels: 0..63 -> 0, 64..127 -> 1/3, 128..191 -> 2/3, 192.. -> 1.
      {"posterize", "post", words({4, 0}), rgb, {60 / 255.0f, 64 / 255.0f, 200 / 255.0f}, {0.0f, 1 / 3.0f, 1.0f}},
      {"posterize of CMYK works on the stored samples",
       "post",
       words({2, 0}),
       cmyk,
       {0.4f, 0.6f, 1.0f, 0.0f},
       {0.0f, 1.0f, 1.0f, 0.0f}},
      {"threshold by luminosity", "thrs", words({128, 0}), rgb, {1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
      {"threshold at the level is white",
       "thrs",
       words({128, 0}),
       rgb,
       {128 / 255.0f, 128 / 255.0f, 128 / 255.0f},
       {1.0f, 1.0f, 1.0f}},
      {"threshold below the level is black",
       "thrs",
       words({128, 0}),
       rgb,
       {127 / 255.0f, 127 / 255.0f, 127 / 255.0f},
       {0.0f, 0.0f, 0.0f}},
      {"threshold above the level", "thrs", words({128, 0}), rgb, {0.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 1.0f}},
      {"threshold of a 16-bit colour document compares the grey unrounded",
       "thrs",
       words({128, 0}),
       rgb16,
       {127.6f / 255, 127.6f / 255, 127.6f / 255},
       {0.0f, 0.0f, 0.0f}},
      {"hue turns red to green", "hue2", hueBlock(false, {0, 25, 0}, {120, 0, 0}), rgb, {1, 0, 0}, {0, 1, 0}},
      {"saturation -100 leaves the lightness",
       "hue2",
       hueBlock(false, {0, 25, 0}, {0, -100, 0}),
       rgb,
       {1, 0, 0},
       {0.5f, 0.5f, 0.5f}},
      {"saturation +50 of a half-saturated colour saturates it fully",
       "hue2",
       hueBlock(false, {0, 25, 0}, {0, 50, 0}),
       rgb,
       {0.75f, 0.25f, 0.25f},
       {1, 0, 0}},
      {"lightness +50 goes half way to white",
       "hue2",
       hueBlock(false, {0, 25, 0}, {0, 0, 50}),
       rgb,
       {1, 0, 0},
       {1, 0.5f, 0.5f}},
      {"the reds' own lightness darkens red",
       "hue2",
       hueBlock(false, {0, 25, 0}, {0, 0, 0}, {0, 0, -100}),
       rgb,
       {1, 0, 0},
       {0, 0, 0}},
      {"the reds' own settings leave green",
       "hue2",
       hueBlock(false, {0, 25, 0}, {0, 0, 0}, {0, 0, -100}),
       rgb,
       {0, 1, 0},
       {0, 1, 0}},
      {"colorize tints at the pixel's lightness",
       "hue2",
       hueBlock(true, {240, 100, 0}, {0, 0, 0}),
       rgb,
       {0.5f, 0.5f, 0.5f},
       {0, 0, 1}},
      // Input range 0..127 stretched to 0..255, then red's output limited to 0..51.
      {"levels: the channel's record, then the composite's",
       "levl",
       levelsBlock({0, 127, 0, 255, 100}, {0, 255, 0, 51, 100}),
       rgb,
       {0.2f, 0.2f, 1.0f},
       {0.08f, 0.4f, 1.0f}},
      {"levels gamma",
       "levl",
       levelsBlock({0, 255, 0, 255, 200}, {0, 255, 0, 255, 100}),
       rgb,
       {0.25f, 0.0f, 1.0f},
       {0.5f, 0.0f, 1.0f}},
      {"levels of a greyscale document: its channel's record, then the composite's",
       "levl",
       levelsBlock({0, 255, 255, 0, 100}, {0, 255, 0, 51, 100}),
       grey,
       {0.25f},
       {0.95f}},
      // A straight curve through (0,255) and (255,0) inverts; a curve on red only.
      {"curves on every channel",
       "curv",
       curvesBlock(1, {{255, 0, 0, 255}}),
       rgb,
       {0.2f, 0.6f, 1.0f},
       {0.8f, 0.4f, 0.0f}},
      {"curves on one channel",
       "curv",
       curvesBlock(2, {{255, 0, 0, 255}}),
       rgb,
       {0.2f, 0.6f, 1.0f},
       {0.8f, 0.6f, 1.0f}},
      // Flat beyond its end points: (64,64)..(192,192) clamps 0.1 to 64/255.
      {"curves are flat beyond their points",
       "curv",
       curvesBlock(1, {{64, 64, 192, 192}}),
       rgb,
       {0.1f, 0.5f, 0.9f},
       {64 / 255.0f, 0.5f, 192 / 255.0f}},
      // One stop brighter in linear light: 0.5 at gamma 2.2 is 0.2176, doubled 0.4353.
      {"exposure", "expA", exposureBlock(1, 0, 1), rgb, {0.5f, 0.0f, 1.0f}, {0.6852f, 0.0f, 1.0f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto adjustment = readAdjustment(key(c.key), c.block, c.header, static_cast<unsigned>(c.before.size()));
    ASSERT_TRUE(adjustment);
    std::vector<float> pixel = c.before;
    (*adjustment)(pixel);
    for (std::size_t i = 0; i < pixel.size(); ++i) EXPECT_NEAR(pixel[i], c.after[i], 0.004f) << "channel " << i;
  }
}

TEST(Adjustments, ABlockCutShortOrImpossibleIsNothing) {
  const PsdHeader rgb{false, 3, 1, 1, 8, PsdMode::Rgb};
  const std::vector<std::uint8_t> levels = levelsBlock({0, 255, 0, 255, 100}, {0, 255, 0, 255, 100});
  const std::vector<std::uint8_t> curves = curvesBlock(3, {{0, 0, 255, 255}, {0, 0, 255, 255}});
  const std::vector<std::uint8_t> hue = hueBlock(false, {0, 25, 0}, {10, 0, 0});
  std::vector<std::uint8_t> hueVersion1 = hue;
  hueVersion1[1] = 1;
  struct Case {
    const char* key;
    std::vector<std::uint8_t> block;
  };
  const Case cases[] = {
      {"levl", {levels.begin(), levels.begin() + 20}},
      {"levl", words({7})},  // an unknown version
      {"curv", {curves.begin(), curves.end() - 3}},
      {"curv", {0, 0, 9, 0, 0, 0, 1}},  // an unknown version
      {"post", words({1})},             // one level cannot be
      {"post", {}},
      {"thrs", {0}},
      {"expA", exposureBlock(1, 0, 0)},  // gamma 0
      {"expA", words({1, 2})},
      {"hue2", {hue.begin(), hue.end() - 2}},
      {"hue2", hueVersion1},  // an unknown version
      {"selc", words({1})},   // a kind not drawn
  };
  for (const Case& c : cases)
    EXPECT_FALSE(readAdjustment(key(c.key), c.block, rgb, 3)) << c.key << " of " << c.block.size() << " bytes";
}

}  // namespace
}  // namespace qm
