// Patterns read from blocks built here, raw and PackBits, tiled over an
// area from their phase; every truncation of a block reads without
// crashing; and gradient fills on boxes small enough for whole pixels to
// turn their direction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/document/fill_layers.h"
#include "engine/document/patterns.h"

namespace qm {
namespace {

struct Bytes {
  std::vector<std::uint8_t> data;
  void put(std::uint32_t v, int count) {
    for (int shift = (count - 1) * 8; shift >= 0; shift -= 8) data.push_back(static_cast<std::uint8_t>(v >> shift));
  }
};

// A 2 x 2 RGB pattern whose red channel holds `red` (row by row), green
// and blue 0; PackBits when `packed`.
std::vector<std::uint8_t> patternBlock(const std::string& id, const std::vector<std::uint8_t>& red, bool packed) {
  Bytes p;
  p.put(1, 4);  // version
  p.put(3, 4);  // RGB
  p.put(2, 2);  // height
  p.put(2, 2);  // width
  p.put(0, 4);  // no name
  p.put(static_cast<std::uint32_t>(id.size()), 1);
  p.data.insert(p.data.end(), id.begin(), id.end());
  p.put(3, 4);
  p.put(0, 4);
  for (int i = 0; i < 4; ++i) p.put(i < 2 ? 0 : 2, 4);
  p.put(3, 4);  // channels
  for (int c = 0; c < 3; ++c) {
    const std::vector<std::uint8_t> samples = c == 0 ? red : std::vector<std::uint8_t>(4, 0);
    Bytes body;
    body.put(8, 4);
    for (int i = 0; i < 4; ++i) body.put(i < 2 ? 0 : 2, 4);
    body.put(8, 2);
    body.put(packed ? 1 : 0, 1);
    if (packed) {
      body.put(3, 2), body.put(3, 2);  // each row: a literal run of two
      for (int row = 0; row < 2; ++row) {
        body.put(1, 1);
        body.put(samples[static_cast<std::size_t>(row * 2)], 1);
        body.put(samples[static_cast<std::size_t>(row * 2 + 1)], 1);
      }
    } else {
      body.data.insert(body.data.end(), samples.begin(), samples.end());
    }
    p.put(1, 4);
    p.put(static_cast<std::uint32_t>(body.data.size()), 4);
    p.data.insert(p.data.end(), body.data.begin(), body.data.end());
  }
  Bytes block;
  block.put(static_cast<std::uint32_t>(p.data.size()), 4);
  block.data.insert(block.data.end(), p.data.begin(), p.data.end());
  while (block.data.size() % 4) block.data.push_back(0);
  return block.data;
}

DescriptorValue fillNaming(const std::string& id, double phaseX, double phaseY) {
  DescriptorValue fill, pattern, identity, phase, x, y;
  identity.key = "Idnt", identity.type = "TEXT", identity.text = id;
  pattern.key = "Ptrn", pattern.type = "Objc", pattern.items = {identity};
  x.key = "Hrzn", x.number = phaseX;
  y.key = "Vrtc", y.number = phaseY;
  phase.key = "phase", phase.type = "Objc", phase.items = {x, y};
  fill.items = {pattern, phase};
  return fill;
}

TEST(Patterns, RawAndPackedPatternsTileFromTheirPhase) {
  std::vector<std::uint8_t> blocks = patternBlock("raw", {0, 51, 102, 255}, false);
  const std::vector<std::uint8_t> packed = patternBlock("packed", {255, 102, 51, 0}, true);
  blocks.insert(blocks.end(), packed.begin(), packed.end());
  std::vector<Pattern> patterns;
  readPatterns(blocks, PsdMode::Rgb, 3, patterns);
  ASSERT_EQ(patterns.size(), 2u);
  struct Case {
    const char* id;
    double phaseX, phaseY;
    std::vector<float> firstRow;  // red over columns 0..3 of row 0
  };
  const Case cases[] = {
      {"raw", 0, 0, {0.0f, 0.2f, 0.0f, 0.2f}},
      {"raw", 1, 1, {1.0f, 0.4f, 1.0f, 0.4f}},  // moved one pixel right and down
      {"packed", 0, 0, {1.0f, 0.4f, 1.0f, 0.4f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    FillPaint paint;
    ASSERT_TRUE(paintPattern(fillNaming(c.id, c.phaseX, c.phaseY), patterns, {0, 0, 3, 4}, paint));
    ASSERT_EQ(paint.colour.size(), 3u);
    for (std::size_t x = 0; x < 4; ++x) EXPECT_NEAR(paint.colour[0][x], c.firstRow[x], 0.002f) << "column " << x;
    EXPECT_EQ(paint.colour[1][5], 0.0f);
    EXPECT_EQ(paint.alpha[5], 1.0f);
  }
  FillPaint paint;
  EXPECT_FALSE(paintPattern(fillNaming("absent", 0, 0), patterns, {0, 0, 3, 4}, paint));
  // A CMYK document cannot use an RGB pattern.
  std::vector<Pattern> none;
  readPatterns(blocks, PsdMode::Cmyk, 4, none);
  EXPECT_TRUE(none.empty());
}

TEST(Patterns, EveryTruncationReadsWithoutCrashing) {
  const std::vector<std::uint8_t> block = patternBlock("packed", {255, 102, 51, 0}, true);
  for (std::size_t n = 0; n < block.size(); ++n) {
    std::vector<Pattern> patterns;
    readPatterns({block.data(), n}, PsdMode::Rgb, 3, patterns);
    for (const Pattern& pattern : patterns) EXPECT_EQ(pattern.colour.size(), 3u);
  }
}

DescriptorValue item(const std::string& key, const std::string& type, double number, const std::string& text = {}) {
  DescriptorValue value;
  value.key = key, value.type = type, value.number = number, value.text = text;
  return value;
}

// A black-to-white gradient fill of that kind and angle, in greyscale.
DescriptorValue gradientFill(const std::string& kind, double degrees) {
  DescriptorValue stops = item("Clrs", "VlLs", 0);
  for (double at : {0.0, 4096.0}) {
    DescriptorValue colour = item("Clr ", "Objc", 0, "Grsc");
    colour.items.push_back(item("Gry ", "doub", at == 0 ? 100 : 0));
    DescriptorValue stop = item("", "Objc", 0, "Clrt");
    stop.items = {colour, item("Lctn", "long", at), item("Mdpn", "long", 50)};
    stops.items.push_back(stop);
  }
  DescriptorValue gradient = item("Grad", "Objc", 0, "Grdn");
  gradient.items = {item("GrdF", "enum", 0, "CstS"), item("Intr", "doub", 0), stops};
  DescriptorValue fill = item("", "Objc", 0, "null");
  fill.items = {item("Angl", "UntF", degrees), item("Type", "enum", 0, kind), gradient};
  return fill;
}

TEST(GradientFill, TheLineEndsOnAWholePixel) {
  const PsdHeader grey{false, 1, 4, 4, 8, PsdMode::Greyscale};
  const PsdRect box{0, 0, 4, 4};
  // Photoshop's own 4 x 4 renderings at 30 degrees run at 45: the line's
  // end falls from (4.37, 0.63) to the pixel (4, 0).
  FillPaint reflected;
  ASSERT_TRUE(paintFill({'G', 'd', 'F', 'l'}, gradientFill("Rflc", 30), grey, 1, box, box, reflected));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_NEAR(reflected.colour[0][static_cast<std::size_t>(y * 4 + x)], std::abs(x - y) / 4.0, 1e-3)
          << x << "," << y;
  // A linear gradient across a wide box keeps its angle: along a row at 0
  // degrees it climbs evenly from black.
  FillPaint linear;
  const PsdRect wide{0, 0, 1, 64};
  ASSERT_TRUE(paintFill({'G', 'd', 'F', 'l'}, gradientFill("Lnr ", 0), grey, 1, wide, wide, linear));
  for (std::size_t x = 0; x < 64; ++x) EXPECT_NEAR(linear.colour[0][x], static_cast<double>(x) / 64, 1e-3) << x;
}

}  // namespace
}  // namespace qm
