// Text on canvases: plain text is pixel-sharp and vector text is
// anti-aliased, measurements are the logical box, and the back colour
// covers exactly the character cells.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "canvas/text.h"

namespace qm {
namespace {

Font font(bool underline = false, bool strikethrough = false) {
  FontRequest request{"Arial", 19, false, false, underline, strikethrough};
  std::optional<Font> f = Font::create(request);
  EXPECT_TRUE(f);
  return std::move(*f);
}

std::set<int> alphaValues(const Canvas& canvas) {
  std::set<int> values;
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) values.insert(canvas.pixel(x, y).alpha);
  return values;
}

int inkBelow(const Canvas& canvas, int row) {
  int ink = 0;
  for (int y = row; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) ink += canvas.pixel(x, y).alpha > 0;
  return ink;
}

// The longest unbroken horizontal run of ink in the rows from `row` on.
int longestRun(const Canvas& canvas, int row) {
  int longest = 0;
  for (int y = row; y < canvas.height(); ++y) {
    int run = 0;
    for (int x = 0; x < canvas.width(); ++x) {
      run = canvas.pixel(x, y).alpha > 0 ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  return longest;
}

TEST(TextRendering, PlainTextIsSharpAndVectorTextHasSoftEdges) {
  const Font f = font();
  for (TextRendering rendering : {TextRendering::Plain, TextRendering::Vector}) {
    TextRenderer renderer(f, rendering);
    ASSERT_TRUE(renderer.valid());
    Canvas canvas(220, 40);
    renderer.draw(canvas, "Quillmark 2.5 watermark", 4, 4, {255, 255, 255, 255});
    const std::set<int> values = alphaValues(canvas);
    ASSERT_TRUE(values.count(255)) << "no opaque glyph pixel";
    if (rendering == TextRendering::Plain) {
      EXPECT_EQ(values, (std::set<int>{0, 255}));
    } else {
      EXPECT_GT(values.size(), 10u) << "vector text without intermediate edge values";
    }
  }
}

TEST(TextRendering, MeasuresTheLogicalBox) {
  const Font f = font();
  TextRenderer plain(f, TextRendering::Plain);
  TextRenderer vector(f, TextRendering::Vector);
  std::optional<TextExtent> wide = plain.measure("WWWWWW");
  std::optional<TextExtent> narrow = plain.measure("iiiiii");
  std::optional<TextExtent> empty = plain.measure("");
  std::optional<TextExtent> soft = vector.measure("WWWWWW");
  ASSERT_TRUE(wide && narrow && empty && soft);
  EXPECT_GT(wide->width, 2 * narrow->width);
  EXPECT_EQ(wide->width, std::floor(wide->width));
  // One line of a 19-pixel em is taller than the em (ascent + descent)
  // and the same for every text, even an empty one.
  EXPECT_GE(wide->height, 19);
  EXPECT_LE(wide->height, 30);
  EXPECT_EQ(wide->height, narrow->height);
  EXPECT_EQ(empty->width, 0);
  EXPECT_EQ(empty->height, wide->height);
  EXPECT_NEAR(soft->width, wide->width, wide->width * 0.1);
}

TEST(TextRendering, TheBackColourCoversExactlyTheCharacterCells) {
  const Font f = font();
  TextRenderer plain(f, TextRendering::Plain);
  const std::string text = "Hi there";
  std::optional<TextExtent> extent = plain.measure(text);
  ASSERT_TRUE(extent);
  Canvas canvas(200, 60);
  const int left = 20;
  const int top = 15;
  plain.draw(canvas, text, left, top, {255, 255, 255, 255}, Rgba{0, 0, 255, 128});
  int cellBackground = 0;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const Rgba p = canvas.pixel(x, y);
      const bool inside = x >= left && x < left + extent->width && y >= top && y < top + extent->height;
      if (!inside) {
        ASSERT_EQ(p.alpha, 0) << x << "," << y;
      } else if (p.alpha != 255) {
        ASSERT_EQ(p.alpha, 128) << x << "," << y;
        ASSERT_EQ(p.blue, 255);
        ++cellBackground;
      }
    }
  }
  EXPECT_GT(cellBackground, extent->width * extent->height / 2);
}

TEST(TextRendering, AFullyTransparentTextLeavesNoMark) {
  const Font f = font();
  for (TextRendering rendering : {TextRendering::Plain, TextRendering::Vector}) {
    TextRenderer renderer(f, rendering);
    Canvas canvas(120, 30);
    renderer.draw(canvas, "Invisible", 2, 2, {255, 0, 0, 0});
    EXPECT_EQ(alphaValues(canvas), std::set<int>{0});
  }
}

TEST(TextRendering, UnderlineAndStrikethroughAddTheirLines) {
  const Font regular = font();
  const Font underlined = font(true, false);
  const Font struck = font(false, true);
  // "nnnn" has no descender and no ink high above the x-height.
  auto draw = [](const Font& f) {
    Canvas canvas(100, 30);
    TextRenderer(f, TextRendering::Plain).draw(canvas, "nnnn", 0, 0, {0, 0, 0, 255});
    return canvas;
  };
  const Canvas a = draw(regular);
  const Canvas b = draw(underlined);
  const Canvas c = draw(struck);
  // The baseline of a 19-pixel Liberation Sans lies near row 17: the
  // underline runs below it, the strike through the letters.
  EXPECT_EQ(inkBelow(a, 18), 0);
  EXPECT_GT(inkBelow(b, 18), 30);
  EXPECT_EQ(inkBelow(c, 18), 0);
  // Either line runs unbroken under or through all four letters, which
  // stand apart without it.
  const int letters = longestRun(a, 0);
  EXPECT_GT(longestRun(b, 18), 3 * letters);
  EXPECT_GT(longestRun(c, 0), 3 * letters);
}

TEST(TextRendering, TextThatIsNotUtf8IsDrawnNotRefused) {
  const Font f = font();
  TextRenderer plain(f, TextRendering::Plain);
  const std::string latin1 = "Caf\xE9 \xFF\xFE";
  std::optional<TextExtent> extent = plain.measure(latin1);
  ASSERT_TRUE(extent);
  EXPECT_GT(extent->width, 20);
  Canvas canvas(120, 30);
  plain.draw(canvas, latin1, 0, 0, {0, 0, 0, 255});
  EXPECT_GT(inkBelow(canvas, 0), 20);
}

}  // namespace
}  // namespace qm
