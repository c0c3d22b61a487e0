// Vector masks from path records built here: the shapes come out where the
// knots put them, subpaths combine by their operations, inversion and the
// initial fill hold, strokes sit inside, across or outside the outline,
// and records cut short or absurd never crash.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "engine/document/vector_mask.h"

namespace qm {
namespace {

struct Bytes {
  std::vector<std::uint8_t> data;
  void put(std::uint32_t v, int count) {
    for (int shift = (count - 1) * 8; shift >= 0; shift -= 8) data.push_back(static_cast<std::uint8_t>(v >> shift));
  }
  void record(unsigned selector, std::initializer_list<std::uint32_t> fields) {
    const std::size_t start = data.size();
    put(selector, 2);
    for (std::uint32_t f : fields) put(f, 4);
    data.resize(start + 26, 0);
  }
  void point(double x, double y) {
    put(static_cast<std::uint32_t>(static_cast<std::int32_t>(y * (1 << 24))), 4);
    put(static_cast<std::uint32_t>(static_cast<std::int32_t>(x * (1 << 24))), 4);
  }
  // A closed rectangle of straight sides (each control point on its anchor),
  // in fractions of the document.
  void rectangle(double left, double top, double right, double bottom, int operation) {
    const std::size_t start = data.size();
    put(0, 2);
    put(4, 2);
    put(static_cast<std::uint16_t>(operation), 2);
    data.resize(start + 26, 0);
    for (auto [x, y] : {std::pair{left, top}, {right, top}, {right, bottom}, {left, bottom}}) {
      const std::size_t knot = data.size();
      put(2, 2);
      for (int i = 0; i < 3; ++i) point(x, y);
      data.resize(knot + 26, 0);
    }
  }
};

Bytes header(std::uint32_t flags) {
  Bytes b;
  b.put(3, 4);
  b.put(flags, 4);
  return b;
}

// The coverage at pixel (x, y) of a 100 x 100 document.
float at(const std::vector<float>& coverage, int x, int y) { return coverage[static_cast<std::size_t>(y * 100 + x)]; }

TEST(VectorMask, ShapesCombineByTheirOperations) {
  const PsdRect whole{0, 0, 100, 100};
  struct Case {
    const char* what;
    std::uint32_t flags;
    bool startsFull;
    int secondOperation;
    // Expected coverage: in the outer square only, in both squares, outside both.
    float outerOnly, both, outside;
  };
  // The outer square spans 10..90, the inner one 40..60 (operation of the
  // first is combine).
  const Case cases[] = {
      {"combine", 0, false, 1, 1, 1, 0},
      {"without an operation it joins the shape before it: a ring", 0, false, -1, 1, 0, 0},
      {"subtract", 0, false, 2, 1, 0, 0},
      {"intersect", 0, false, 3, 0, 1, 0},
      {"exclude overlapping", 0, false, 0, 1, 0, 0},
      {"inverted", 1, false, 2, 0, 1, 1},
      {"starting full", 0, true, 2, 1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes b = header(c.flags);
    b.record(6, {});
    b.record(8, {c.startsFull ? 0x00010000u : 0u});
    b.rectangle(0.1, 0.1, 0.9, 0.9, 1);
    b.rectangle(0.4, 0.4, 0.6, 0.6, c.secondOperation);
    const auto mask = readVectorMask(b.data);
    ASSERT_TRUE(mask);
    ASSERT_EQ(mask->subpaths.size(), 2u);
    EXPECT_EQ(mask->subpaths[1].knots.size(), 4u);
    const std::vector<float> coverage = rasteriseVectorMask(*mask, 100, 100, whole);
    ASSERT_EQ(coverage.size(), 10000u);
    EXPECT_NEAR(at(coverage, 20, 20), c.outerOnly, 0.01f);
    EXPECT_NEAR(at(coverage, 50, 50), c.both, 0.01f);
    EXPECT_NEAR(at(coverage, 5, 95), c.outside, 0.01f);
  }
}

TEST(VectorMask, EdgesAreAntiAliasedAndAreasOffsetTheDocument) {
  Bytes b = header(0);
  b.rectangle(0.105, 0.2, 0.5, 0.8, 1);  // the left edge at x = 10.5
  const auto mask = readVectorMask(b.data);
  ASSERT_TRUE(mask);
  const std::vector<float> coverage = rasteriseVectorMask(*mask, 100, 100, {0, 0, 100, 100});
  EXPECT_NEAR(at(coverage, 10, 50), 0.5f, 0.02f);
  EXPECT_NEAR(at(coverage, 9, 50), 0.0f, 0.01f);
  EXPECT_NEAR(at(coverage, 11, 50), 1.0f, 0.01f);
  // Over part of the document: rows 40..60, columns 0..20.
  const std::vector<float> part = rasteriseVectorMask(*mask, 100, 100, {40, 0, 60, 20});
  ASSERT_EQ(part.size(), 400u);
  EXPECT_NEAR(part[static_cast<std::size_t>(10 * 20 + 10)], 0.5f, 0.02f);
  EXPECT_NEAR(part[static_cast<std::size_t>(10 * 20 + 15)], 1.0f, 0.01f);
}

TEST(VectorMask, StrokesLieInsideAcrossOrOutsideTheOutline) {
  Bytes b = header(0);
  b.rectangle(0.2, 0.2, 0.8, 0.8, 1);  // edges at 20 and 80
  const auto mask = readVectorMask(b.data);
  ASSERT_TRUE(mask);
  struct Case {
    StrokeAlignment alignment;
    float at17, at19, at21, at23;  // along row 50, a 4-pixel stroke on the edge at x = 20
  };
  const Case cases[] = {
      {StrokeAlignment::Inside, 0, 0, 1, 1},
      {StrokeAlignment::Centre, 0, 1, 1, 0},
      {StrokeAlignment::Outside, 1, 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.alignment));
    const std::vector<float> coverage = rasteriseVectorStroke(*mask, 100, 100, {0, 0, 100, 100}, 4, c.alignment);
    EXPECT_NEAR(at(coverage, 17, 50), c.at17, 0.01f);
    EXPECT_NEAR(at(coverage, 19, 50), c.at19, 0.01f);
    EXPECT_NEAR(at(coverage, 21, 50), c.at21, 0.01f);
    EXPECT_NEAR(at(coverage, 23, 50), c.at23, 0.01f);
    EXPECT_NEAR(at(coverage, 50, 50), 0.0f, 0.01f);
  }
}

TEST(VectorMask, DamagedRecordsNeverCrash) {
  Bytes b = header(0);
  b.rectangle(0.1, 0.1, 0.9, 0.9, 1);
  // Every truncation reads without crashing and draws inside its area.
  for (std::size_t n = 0; n <= b.data.size(); ++n) {
    const auto mask = readVectorMask({b.data.data(), n});
    if (!mask) continue;
    EXPECT_EQ(rasteriseVectorMask(*mask, 100, 100, {0, 0, 100, 100}).size(), 10000u);
  }
  // Points far outside the document, knots beyond the announced count, a
  // knot before any subpath.
  Bytes wild = header(0);
  wild.record(1, {0x7FFFFFFF, 0x80000000, 0x7FFFFFFF, 0x80000000, 0x7FFFFFFF, 0x80000000});
  wild.rectangle(-100, -100, 100, 100, 1);
  wild.record(2, {0, 0, 0, 0, 0, 0});
  const auto mask = readVectorMask(wild.data);
  ASSERT_TRUE(mask);
  ASSERT_EQ(mask->subpaths.size(), 1u);
  EXPECT_EQ(mask->subpaths[0].knots.size(), 4u);
  const std::vector<float> coverage = rasteriseVectorMask(*mask, 100, 100, {0, 0, 100, 100});
  EXPECT_NEAR(at(coverage, 50, 50), 1.0f, 0.01f);
  EXPECT_TRUE(rasteriseVectorMask(*mask, 100, 100, {}).empty());
}

}  // namespace
}  // namespace qm
