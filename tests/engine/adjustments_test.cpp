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

TEST(Adjustments, EachKindChangesAPixelAsWorkedOutByHand) {
  const PsdHeader rgb{false, 3, 1, 1, 8, PsdMode::Rgb};
  const PsdHeader cmyk{false, 4, 1, 1, 8, PsdMode::Cmyk};
  const PsdHeader grey{false, 1, 1, 1, 16, PsdMode::Greyscale};
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
      {"hue2", words({2})},  // a kind not drawn
  };
  for (const Case& c : cases)
    EXPECT_FALSE(readAdjustment(key(c.key), c.block, rgb, 3)) << c.key << " of " << c.block.size() << " bytes";
}

}  // namespace
}  // namespace qm
