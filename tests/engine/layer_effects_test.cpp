// The shapes the layer effects take from a layer's coverage: strokes
// outside, inside and across its edge at their width, shadows moved by
// their distance and softened by their size; and effect blocks that are
// not descriptions come back as nothing.
#include <gtest/gtest.h>

#include <vector>

#include "engine/document/layer_effects.h"

namespace qm {
namespace {

constexpr std::size_t kSide = 40;

// A square of full coverage over columns and rows [10, 30) of a 40 x 40 plane.
std::vector<float> square() {
  std::vector<float> alpha(kSide * kSide, 0.0f);
  for (std::size_t y = 10; y < 30; ++y)
    for (std::size_t x = 10; x < 30; ++x) alpha[y * kSide + x] = 1.0f;
  return alpha;
}

float at(const std::vector<float>& plane, std::size_t x, std::size_t y) { return plane[y * kSide + x]; }

TEST(LayerEffects, StrokesFollowTheEdgeAtTheirWidth) {
  struct Case {
    StrokePosition position;
    // Along row 20: columns 5, 7, 9 lie outside the square, 10, 12, 14 inside.
    float at5, at7, at9, at10, at12, at14;
  };
  const Case cases[] = {
      {StrokePosition::Outside, 0, 1, 1, 0, 0, 0},
      {StrokePosition::Inside, 0, 0, 0, 1, 1, 0},
      {StrokePosition::Centre, 0, 0, 1, 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.position));
    StrokeEffect stroke;
    stroke.position = c.position;
    stroke.size = 3;
    const std::vector<float> ring = strokeCoverage(square(), kSide, kSide, stroke);
    EXPECT_NEAR(at(ring, 5, 20), c.at5, 0.01f);
    EXPECT_NEAR(at(ring, 7, 20), c.at7, 0.01f);
    EXPECT_NEAR(at(ring, 9, 20), c.at9, 0.01f);
    EXPECT_NEAR(at(ring, 10, 20), c.at10, 0.01f);
    EXPECT_NEAR(at(ring, 12, 20), c.at12, 0.01f);
    EXPECT_NEAR(at(ring, 14, 20), c.at14, 0.01f);
    EXPECT_NEAR(at(ring, 20, 20), 0.0f, 0.01f);  // the middle of the square
  }
}

TEST(LayerEffects, ShadowsMoveByTheirDistanceAndSoftenByTheirSize) {
  ShadowEffect hard;
  hard.dx = 5, hard.dy = -3;
  const std::vector<float> moved = shadowCoverage(square(), kSide, kSide, hard);
  EXPECT_NEAR(at(moved, 34, 7), 1.0f, 0.01f);  // the square's corner (29, 10) moved
  EXPECT_NEAR(at(moved, 35, 7), 0.0f, 0.01f);
  EXPECT_NEAR(at(moved, 14, 26), 0.0f, 0.01f);  // left behind
  ShadowEffect soft;
  soft.size = 6;
  const std::vector<float> blurred = shadowCoverage(square(), kSide, kSide, soft);
  EXPECT_NEAR(at(blurred, 20, 20), 1.0f, 0.01f);
  EXPECT_GT(at(blurred, 8, 20), 0.05f);  // spilled past the edge
  EXPECT_LT(at(blurred, 10, 20), 0.9f);  // and softened inside it
  EXPECT_NEAR(at(blurred, 1, 20), 0.0f, 0.01f);
  // Spread grows the shape before the rest of the size blurs it.
  ShadowEffect spread = soft;
  spread.spread = 1;
  const std::vector<float> grown = shadowCoverage(square(), kSide, kSide, spread);
  EXPECT_NEAR(at(grown, 5, 20), 1.0f, 0.01f);
  EXPECT_NEAR(at(grown, 2, 20), 0.0f, 0.01f);
}

TEST(LayerEffects, BlocksThatAreNotDescriptionsAreNothing) {
  const PsdHeader rgb{false, 3, 1, 1, 8, PsdMode::Rgb};
  const std::vector<std::vector<std::uint8_t>> blocks = {
      {},
      {0, 0, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 16},                                                         // a version, then nothing
      {0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 1, 0, 0},                                       // a name cut short
      {0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 'n', 'u', 'l', 'l', 0, 0, 0, 0},  // a wrong version
  };
  for (const auto& block : blocks) EXPECT_FALSE(readLayerEffects(block, rgb, 3, 120)) << block.size() << " bytes";
  // An empty description draws nothing and leaves nothing out.
  const std::vector<std::uint8_t> empty = {0, 0, 0, 0, 0,   0,   0,   16,  0, 0, 0, 0,
                                           0, 0, 0, 0, 'n', 'u', 'l', 'l', 0, 0, 0, 0};
  const auto effects = readLayerEffects(empty, rgb, 3, 120);
  ASSERT_TRUE(effects);
  EXPECT_FALSE(effects->overlay || effects->stroke || effects->shadow);
  EXPECT_TRUE(effects->leftOut.empty());
  EXPECT_EQ(effects->reach(), 0.0);
}

}  // namespace
}  // namespace qm
