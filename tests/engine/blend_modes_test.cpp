// The blend modes against values worked out by hand from the published
// formulas, with the edge cases where the layered format departs from
// the plain formulas.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/document/blend_modes.h"

namespace qm {
namespace {

BlendKey key(const char* text) {
  BlendKey k{};
  std::memcpy(k.data(), text, 4);
  return k;
}

TEST(BlendModes, EachChannelModeGivesThePublishedValue) {
  struct Case {
    const char* key;
    float backdrop, source, expected;
  };
  const Case cases[] = {
      {"norm", 0.3f, 0.6f, 0.6f},
      {"diss", 0.3f, 0.6f, 0.6f},
      {"dark", 0.3f, 0.6f, 0.3f},
      {"lite", 0.3f, 0.6f, 0.6f},
      {"mul ", 0.5f, 0.4f, 0.2f},
      {"scrn", 0.5f, 0.4f, 0.7f},
      {"idiv", 0.5f, 0.8f, 0.375f},
      {"idiv", 1.0f, 0.0f, 1.0f},  // a white backdrop stays white
      {"idiv", 0.5f, 0.0f, 0.0f},
      {"div ", 0.3f, 0.5f, 0.6f},
      {"div ", 0.0f, 1.0f, 0.0f},  // a black backdrop stays black
      {"div ", 0.5f, 1.0f, 1.0f},
      {"lbrn", 0.3f, 0.4f, 0.0f},
      {"lbrn", 0.7f, 0.6f, 0.3f},
      {"lddg", 0.7f, 0.6f, 1.0f},
      {"lddg", 0.2f, 0.3f, 0.5f},
      {"over", 0.25f, 0.6f, 0.3f},
      {"over", 0.75f, 0.6f, 0.8f},
      {"hLit", 0.6f, 0.25f, 0.3f},
      {"hLit", 0.6f, 0.75f, 0.8f},
      // Soft light's curve for backdrops up to a quarter, not the root.
      {"sLit", 0.1f, 1.0f, 0.296f},
      {"sLit", 0.1f, 0.75f, 0.198f},
      {"sLit", 0.25f, 1.0f, 0.5f},
      {"sLit", 0.64f, 1.0f, 0.8f},
      {"sLit", 0.5f, 0.25f, 0.375f},
      // Vivid light: burn with twice the source, dodge above the middle,
      // and the source's own extremes win over any backdrop.
      {"vLit", 0.8f, 0.25f, 0.6f},
      {"vLit", 0.3f, 0.75f, 0.6f},
      {"vLit", 0.5f, 0.5f, 0.5f},
      {"vLit", 1.0f, 0.0f, 0.0f},
      {"vLit", 0.0f, 1.0f, 1.0f},
      {"lLit", 0.5f, 0.6f, 0.7f},
      {"lLit", 0.5f, 0.8f, 1.0f},
      {"lLit", 0.2f, 0.3f, 0.0f},
      {"pLit", 0.8f, 0.25f, 0.5f},
      {"pLit", 0.2f, 0.75f, 0.5f},
      {"pLit", 0.4f, 0.6f, 0.4f},
      // Hard mix: the sum decides; a sum of exactly one goes to white
      // only over a light backdrop.
      {"hMix", 0.6f, 0.5f, 1.0f},
      {"hMix", 0.4f, 0.5f, 0.0f},
      {"hMix", 0.75f, 0.25f, 1.0f},
      {"hMix", 0.25f, 0.75f, 0.0f},
      {"hMix", 0.5f, 0.5f, 0.0f},
      {"hMix", 153.0f / 255, 102.0f / 255, 1.0f},
      {"hMix", 102.0f / 255, 153.0f / 255, 0.0f},
      {"diff", 0.2f, 0.7f, 0.5f},
      {"smud", 1.0f, 0.3f, 0.7f},
      {"smud", 0.5f, 0.5f, 0.5f},
      {"fsub", 0.7f, 0.2f, 0.5f},
      {"fsub", 0.2f, 0.7f, 0.0f},
      {"fdiv", 0.3f, 0.6f, 0.5f},
      {"fdiv", 0.3f, 0.0f, 1.0f},
      {"fdiv", 0.0f, 0.0f, 0.0f},
      // Without three colour channels, darker and lighter colour compare
      // the one channel there is.
      {"dkCl", 0.3f, 0.6f, 0.3f},
      {"lgCl", 0.3f, 0.6f, 0.6f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " b=" + std::to_string(c.backdrop) + " s=" + std::to_string(c.source));
    const auto mode = blendModeOf(key(c.key));
    ASSERT_TRUE(mode);
    EXPECT_NEAR(blendChannel(*mode, c.backdrop, c.source), c.expected, 1e-3f);
  }
  EXPECT_FALSE(blendModeOf(key("pass")));
  EXPECT_FALSE(blendModeOf(key("xxxx")));
}

TEST(BlendModes, WholeColourModesGiveThePublishedValue) {
  struct Case {
    const char* key;
    Rgb backdrop, source, expected;
  };
  const Rgb grey{0.5f, 0.5f, 0.5f};
  // Blue has little luminosity and a large channel sum; dark red the
  // reverse: darker and lighter colour must judge by luminosity.
  const Rgb blue{0, 0, 1}, darkRed{0.5f, 0, 0};
  const Case cases[] = {
      {"dkCl", blue, darkRed, blue},
      {"dkCl", darkRed, blue, blue},
      {"lgCl", blue, darkRed, darkRed},
      {"lgCl", darkRed, blue, darkRed},
      // Luminosity 0.5 onto pure red: the red channel clips, the others
      // carry the rest.
      {"lum ", {1, 0, 0}, grey, {1, 0.2857f, 0.2857f}},
      {"colr", grey, {1, 0, 0}, {1, 0.2857f, 0.2857f}},
      {"sat ", {0.2f, 0.4f, 0.6f}, grey, {0.362f, 0.362f, 0.362f}},
      {"hue ", grey, {1, 0, 0}, grey},
      {"hue ", {0.2f, 0.4f, 0.6f}, {0, 1, 0}, {0.126f, 0.526f, 0.126f}},
      {"mul ", {0.5f, 1, 0}, {0.4f, 0.5f, 1}, {0.2f, 0.5f, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const auto mode = blendModeOf(key(c.key));
    ASSERT_TRUE(mode);
    const Rgb out = blendColour(*mode, c.backdrop, c.source);
    EXPECT_NEAR(out.r, c.expected.r, 1e-3f);
    EXPECT_NEAR(out.g, c.expected.g, 1e-3f);
    EXPECT_NEAR(out.b, c.expected.b, 1e-3f);
  }
}

}  // namespace
}  // namespace qm
