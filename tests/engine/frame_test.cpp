// The solid frame: bands, mitred corners, opacity and width clamping,
// checked on the composited pixels.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "engine/steps/steps.h"
#include "support/image_readback.h"

namespace qm {
namespace {

using test::copyOf;
using test::countDifferences;
using test::makeBitmap;
using test::makeGrey8;
using test::makeUniform;
using test::noise;
using test::Pixel;
using test::pixelAt;

const Pixel kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0};
const Pixel kBackground{40, 80, 120};

Settings frame(int left, int right, int top, int bottom, int opacity = 255) {
  Settings settings;
  settings.doFrame = 1;
  settings.solidLeft = left;
  settings.solidRight = right;
  settings.solidTop = top;
  settings.solidBottom = bottom;
  settings.solidTopColor = "FF0000";
  settings.solidRightColor = "00FF00";
  settings.solidBottomColor = "0000FF";
  settings.solidLeftColor = "FFFF00";
  settings.solidOpacity = opacity;
  return settings;
}

Bitmap framed(const Settings& settings, int size = 100) {
  return drawFrame(makeUniform(size, size, 24, kBackground), settings, size, size);
}

TEST(FrameStep, FourBandsMeetInFortyFiveDegreeCorners) {
  Bitmap image = framed(frame(10, 10, 10, 10));
  ASSERT_EQ(image.bpp(), 24u);
  ASSERT_EQ(image.width(), 100u);
  // Each band in its own colour, away from the corners.
  for (int along = 12; along < 88; ++along)
    for (int across = 0; across < 10; ++across) {
      ASSERT_EQ(pixelAt(image, along, across), kRed) << along << "," << across;
      ASSERT_EQ(pixelAt(image, 99 - across, along), kGreen) << along << "," << across;
      ASSERT_EQ(pixelAt(image, along, 99 - across), kBlue) << along << "," << across;
      ASSERT_EQ(pixelAt(image, across, along), kYellow) << along << "," << across;
    }
  // In each 10 x 10 corner the two sides split along the diagonal; pixels
  // on it are blends, pixels beside it belong wholly to one side.
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 10; ++j) {
      if (i == j) {
        // A blend of the two sides with no seam of the image showing
        // through: the image is the only source of blue up here, and of
        // red in the bottom-right corner.
        const Pixel p = pixelAt(image, i, j);
        EXPECT_NE(p, kRed);
        EXPECT_NE(p, kYellow);
        EXPECT_EQ(p.blue, 0) << i;
        EXPECT_EQ(pixelAt(image, 99 - i, j).blue, 0) << i;
        EXPECT_EQ(pixelAt(image, 99 - i, 99 - j).red, 0) << i;
        continue;
      }
      const bool aboveDiagonal = i > j;  // x > y in the top-left corner
      ASSERT_EQ(pixelAt(image, i, j), aboveDiagonal ? kRed : kYellow) << i << "," << j;
      ASSERT_EQ(pixelAt(image, 99 - i, j), aboveDiagonal ? kRed : kGreen) << i << "," << j;
      ASSERT_EQ(pixelAt(image, 99 - i, 99 - j), aboveDiagonal ? kBlue : kGreen) << i << "," << j;
      ASSERT_EQ(pixelAt(image, i, 99 - j), aboveDiagonal ? kBlue : kYellow) << i << "," << j;
    }
  // The inside is untouched.
  for (int y = 10; y < 90; ++y)
    for (int x = 10; x < 90; ++x) ASSERT_EQ(pixelAt(image, x, y), kBackground) << x << "," << y;
}

TEST(FrameStep, UnequalWidthsMoveTheDiagonal) {
  // The top-left diagonal runs from (0, 0) to (left, top).
  struct Case {
    int left, top;
  };
  for (const Case c : {Case{40, 10}, Case{10, 40}, Case{25, 7}}) {
    SCOPED_TRACE(std::to_string(c.left) + "/" + std::to_string(c.top));
    Bitmap image = framed(frame(c.left, 10, c.top, 10));
    int topPixels = 0, leftPixels = 0;
    for (int y = 0; y < c.top; ++y)
      for (int x = 0; x < c.left; ++x) {
        // The diagonal's height at the pixel's left and right edge.
        const double y0 = static_cast<double>(x) * c.top / c.left;
        const double y1 = static_cast<double>(x + 1) * c.top / c.left;
        const Pixel p = pixelAt(image, x, y);
        if (y + 1 <= y0) {
          ASSERT_EQ(p, kRed) << x << "," << y;
          ++topPixels;
        } else if (y >= y1) {
          ASSERT_EQ(p, kYellow) << x << "," << y;
          ++leftPixels;
        }
      }
    EXPECT_GT(topPixels, c.left * c.top / 3);
    EXPECT_GT(leftPixels, c.left * c.top / 3);
    EXPECT_EQ(pixelAt(image, c.left, c.top), kBackground);
    EXPECT_EQ(pixelAt(image, c.left - 1, c.top + 5), kYellow);
    EXPECT_EQ(pixelAt(image, c.left + 5, c.top - 1), kRed);
  }
}

TEST(FrameStep, OpacityBlendsTheFrameWithTheImage) {
  for (int opacity : {128, 64, 255, 1}) {
    SCOPED_TRACE(opacity);
    Bitmap image = framed(frame(10, 10, 10, 10, opacity));
    const Pixel top = pixelAt(image, 50, 5);
    const Pixel right = pixelAt(image, 95, 50);
    auto blend = [opacity](int frameValue, int imageValue) {
      return (frameValue * opacity + imageValue * (255 - opacity)) / 255.0;
    };
    EXPECT_NEAR(top.red, blend(255, kBackground.red), 1.0);
    EXPECT_NEAR(top.green, blend(0, kBackground.green), 1.0);
    EXPECT_NEAR(top.blue, blend(0, kBackground.blue), 1.0);
    EXPECT_NEAR(right.green, blend(255, kBackground.green), 1.0);
    EXPECT_EQ(pixelAt(image, 50, 50), kBackground);
  }
}

TEST(FrameStep, NoFrameOrZeroWidthsLeaveThePixels) {
  struct Case {
    const char* name;
    Bitmap image;
    int doFrame;
    bool sameBitmap;
  };
  Case cases[] = {
      {"widths 0 on 32 bits", makeBitmap(50, 40, 32, noise), 1, false},
      {"widths 0 on 8 bits", makeGrey8(50, 40, [](int x, int y) { return x * 3 + y; }), 1, false},
      {"widths 0 on 24 bits", makeBitmap(50, 40, 24, noise), 1, false},
      {"unknown frame type", makeBitmap(50, 40, 32, noise), 2, false},
      {"no frame keeps 32 bits", makeBitmap(50, 40, 32, noise), 0, true},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const unsigned bpp = c.image.bpp();
    Bitmap original = copyOf(c.image);
    Settings settings = frame(0, 0, 0, 0);
    settings.doFrame = static_cast<SmallCode>(c.doFrame);
    if (c.doFrame != 1) settings.solidLeft = settings.solidTop = 10;
    FIBITMAP* before = c.image.get();
    Bitmap result = drawFrame(std::move(c.image), settings, 50, 40);
    ASSERT_TRUE(result);
    EXPECT_EQ(result.bpp(), c.doFrame == 0 ? bpp : 24u);
    EXPECT_EQ(result.get() == before, c.sameBitmap);
    // Colours compared without alpha, which the 24-bit result has dropped.
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 50; ++x) {
        Pixel a = pixelAt(result, x, y), b = pixelAt(original, x, y);
        a.alpha = b.alpha = 0;
        ASSERT_EQ(a, b) << x << "," << y;
      }
  }
}

TEST(FrameStep, OversizedWidthsAreClamped) {
  struct Case {
    const char* name;
    Settings settings;
  };
  const Case cases[] = {
      {"left and right past the width", frame(80, 80, 10, 10)},
      {"top and bottom past the height", frame(10, 10, 70, 70)},
      {"every side wider than the image", frame(500, 500, 500, 500)},
      {"largest integers", frame(INT_MAX, INT_MAX, INT_MAX, INT_MAX)},
      {"exactly covering", frame(50, 50, 50, 50)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap image = framed(c.settings);
    ASSERT_TRUE(image);
    ASSERT_EQ(image.width(), 100u);
    EXPECT_EQ(image.bpp(), 24u);
  }
  // Left 80 leaves 20 for the right side; nothing of the image shows where
  // the two meet.
  Bitmap image = framed(frame(80, 80, 10, 10));
  EXPECT_EQ(pixelAt(image, 70, 50), kYellow);
  EXPECT_EQ(pixelAt(image, 85, 50), kGreen);
  for (int x = 0; x < 100; ++x) ASSERT_NE(pixelAt(image, x, 50), kBackground) << x;
  // The top keeps its 30 and the bottom gets the remaining 70, so the
  // bottom side does not reach over the top one.
  Bitmap tall = framed(frame(10, 10, 30, 90));
  EXPECT_EQ(pixelAt(tall, 50, 20), kRed);
  EXPECT_EQ(pixelAt(tall, 50, 40), kBlue);
  // A frame that covers everything still composites.
  Bitmap covered = framed(frame(50, 50, 50, 50));
  EXPECT_EQ(pixelAt(covered, 50, 2), kRed);
  EXPECT_EQ(pixelAt(covered, 2, 50), kYellow);
}

TEST(FrameStep, NegativeWidthsPaintNothing) {
  Bitmap image = framed(frame(-10, -1, -100, INT_MIN));
  ASSERT_TRUE(image);
  EXPECT_EQ(countDifferences(image, makeUniform(100, 100, 24, kBackground)), 0);
}

TEST(FrameStep, MissingImagePassesThrough) { EXPECT_FALSE(drawFrame(Bitmap(), frame(5, 5, 5, 5), 10, 10)); }

}  // namespace
}  // namespace qm
