// Rotation, resizing and flipping, checked on the pixels they produce.
#include <gtest/gtest.h>

#include "engine/steps/steps.h"
#include "support/image_readback.h"

namespace qm {
namespace {

using test::copyOf;
using test::countDifferences;
using test::describe;
using test::makeBitmap;
using test::makeGrey8;
using test::makeUniform;
using test::noise;
using test::Pixel;
using test::pixelAt;

Settings rotation(int type, int angle, const char* backColour = "000000") {
  Settings settings;
  settings.doImageRotation = 1;
  settings.imageRotationType = static_cast<SmallCode>(type);
  settings.imageRotation = angle;
  settings.imageRotationBackColor = backColour;
  return settings;
}

TEST(RotateStep, SizeAndDepthFollowTheRotationType) {
  struct Case {
    const char* name;
    bool on;
    int type;
    int angle;
    int bpp;
    unsigned width, height, resultBpp;
    bool sameBitmap;  // returned untouched
  };
  const Case cases[] = {
      {"simple 90", true, 0, 90, 24, 300, 400, 24, false},
      {"advanced 90", true, 1, 90, 24, 400, 300, 24, false},
      {"simple 270 of 32 bits", true, 0, 270, 32, 300, 400, 32, false},
      {"angle 0", true, 0, 0, 24, 400, 300, 24, true},
      {"angle 360", true, 0, 360, 24, 400, 300, 24, true},
      {"angle 360 advanced", true, 1, 360, 24, 400, 300, 24, true},
      {"negative angle", true, 0, -90, 24, 400, 300, 24, true},
      {"angle 361", true, 0, 361, 24, 400, 300, 24, true},
      {"rotation off", false, 0, 90, 24, 400, 300, 24, true},
      {"8 bits, angle 0, stays 8 bits", true, 0, 0, 8, 400, 300, 8, true},
      {"8 bits turned are widened", true, 0, 90, 8, 300, 400, 24, false},
      {"16 bits turned are widened", true, 1, 30, 16, 400, 300, 24, false},
      {"unknown type only widens", true, 2, 90, 8, 400, 300, 24, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap image =
        c.bpp == 8 ? makeGrey8(400, 300, [](int x, int y) { return (x + y) & 0xFF; })
        : c.bpp == 16
            ? Bitmap(FreeImage_Allocate(400, 300, 16, FI16_565_RED_MASK, FI16_565_GREEN_MASK, FI16_565_BLUE_MASK))
            : makeBitmap(400, 300, c.bpp, noise);
    ASSERT_TRUE(image);
    FIBITMAP* before = image.get();
    Settings settings = rotation(c.type, c.angle);
    settings.doImageRotation = c.on ? 1 : 0;
    Bitmap result = rotate(std::move(image), settings);
    ASSERT_TRUE(result);
    EXPECT_EQ(result.width(), c.width);
    EXPECT_EQ(result.height(), c.height);
    EXPECT_EQ(result.bpp(), c.resultBpp);
    // Only "the same bitmap" can be told by address: a new bitmap may be
    // given the address of the one freed on the way.
    if (c.sameBitmap) {
      EXPECT_EQ(result.get(), before);
    }
  }
}

TEST(RotateStep, UnknownTypeKeepsThePixelsUnturned) {
  Bitmap image = makeGrey8(40, 30, [](int x, int y) { return x * 5 + y; });
  Bitmap original = copyOf(image);
  Bitmap result = rotate(std::move(image), rotation(7, 90));
  ASSERT_EQ(result.bpp(), 24u);
  EXPECT_EQ(countDifferences(result, original), 0);
}

TEST(RotateStep, SimpleQuarterTurnIsCounterClockwise) {
  // A marker in the top-right corner ends up in the top-left corner.
  Bitmap image = makeBitmap(40, 30, 24, [](int x, int y) {
    return x == 39 && y == 0 ? Pixel{255, 0, 0} : Pixel{0, 0, 255};
  });
  Bitmap result = rotate(std::move(image), rotation(0, 90));
  ASSERT_EQ(result.width(), 30u);
  EXPECT_EQ(pixelAt(result, 0, 0), (Pixel{255, 0, 0}));
  EXPECT_EQ(pixelAt(result, 29, 39), (Pixel{0, 0, 255}));
}

TEST(RotateStep, SimpleRotationFillsCornersWithTheBackgroundColour) {
  const Pixel inside{200, 100, 50};
  Bitmap result = rotate(makeUniform(100, 60, 24, inside), rotation(0, 45, "00FF00"));
  ASSERT_TRUE(result);
  EXPECT_GT(result.width(), 100u);  // the canvas grows to hold the turned image
  EXPECT_EQ(pixelAt(result, 0, 0), (Pixel{0, 255, 0}));
  EXPECT_EQ(pixelAt(result, result.width() - 1, result.height() - 1), (Pixel{0, 255, 0}));
  EXPECT_EQ(pixelAt(result, result.width() / 2, result.height() / 2), inside);
}

TEST(RotateStep, ThirtyTwoBitImageKeepsItsAlphaAndGetsTransparentCorners) {
  Bitmap result = rotate(makeUniform(100, 60, 32, {10, 20, 30, 255}), rotation(0, 45, "FFFFFF"));
  ASSERT_EQ(result.bpp(), 32u);
  EXPECT_EQ(pixelAt(result, 0, 0).alpha, 0);
  EXPECT_EQ(pixelAt(result, result.width() - 1, 0).alpha, 0);
  EXPECT_EQ(pixelAt(result, result.width() / 2, result.height() / 2), (Pixel{10, 20, 30, 255}));
}

TEST(RotateStep, AdvancedRotationMirrorsTheImageIntoTheCorners) {
  // A uniform image mirrored into the corners stays uniform; the background
  // colour is not used.
  const Pixel colour{10, 200, 30};
  Bitmap result = rotate(makeUniform(400, 300, 24, colour), rotation(1, 45, "FF00FF"));
  ASSERT_EQ(result.width(), 400u);
  ASSERT_EQ(result.height(), 300u);
  for (auto [x, y] : {std::pair{0, 0}, {399, 0}, {0, 299}, {399, 299}, {200, 150}}) {
    const Pixel p = pixelAt(result, x, y);
    EXPECT_NEAR(p.red, colour.red, 1) << x << "," << y << " " << describe(p);
    EXPECT_NEAR(p.green, colour.green, 1) << x << "," << y << " " << describe(p);
    EXPECT_NEAR(p.blue, colour.blue, 1) << x << "," << y << " " << describe(p);
  }
}

TEST(RotateStep, ImagesFreeImageCannotWidenDirectlyAreStillTurned) {
  // 16-bit greyscale and floating-point documents come straight from the
  // loader; turning them must not lose the image.
  for (FREE_IMAGE_TYPE imageType : {FIT_UINT16, FIT_RGBF, FIT_RGBAF}) {
    SCOPED_TRACE(static_cast<int>(imageType));
    Bitmap image(FreeImage_AllocateT(imageType, 40, 30));
    ASSERT_TRUE(image);
    for (int type : {0, 1}) {
      Bitmap source(FreeImage_Clone(image.get()));
      Bitmap result = rotate(std::move(source), rotation(type, 90));
      ASSERT_TRUE(result);
      EXPECT_EQ(FreeImage_GetImageType(result.get()), FIT_BITMAP);
      EXPECT_EQ(result.bpp(), imageType == FIT_RGBAF ? 32u : 24u);  // alpha stays
      EXPECT_EQ(result.width(), type == 0 ? 30u : 40u);
    }
  }
}

TEST(RotateStep, MissingImagePassesThrough) { EXPECT_FALSE(rotate(Bitmap(), rotation(0, 90))); }

Settings resizing(int width, int widthUnit, int height, int heightUnit, bool keepAspect, int type = 0) {
  Settings settings;
  settings.doImageResize = 1;
  settings.imageWidth = width;
  settings.imageWidthUnit = static_cast<SmallCode>(widthUnit);
  settings.imageHeight = height;
  settings.imageHeightUnit = static_cast<SmallCode>(heightUnit);
  settings.keepAspectRatio = keepAspect ? 1 : 0;
  settings.imageResizeType = static_cast<SmallCode>(type);
  return settings;
}

TEST(ResizeStep, TargetSizes) {
  constexpr int kPx = 0, kPct = 1;
  struct Case {
    const char* name;
    int width, height;
    Settings settings;
    unsigned newWidth, newHeight;
    bool sameBitmap;
  };
  Settings off = resizing(10, kPx, 10, kPx, false);
  off.doImageResize = 0;
  const Case cases[] = {
      {"percent", 1000, 500, resizing(50, kPct, 50, kPct, false), 500, 250, false},
      {"percent half goes to even below", 1001, 500, resizing(50, kPct, 50, kPct, false), 500, 250, false},
      {"percent half goes to even below too", 1005, 500, resizing(50, kPct, 50, kPct, false), 502, 250, false},
      {"pixels and percent mixed", 1000, 500, resizing(300, kPx, 10, kPct, false), 300, 50, false},
      {"aspect by the width", 4000, 3000, resizing(800, kPx, 1, kPx, true), 800, 600, false},
      {"aspect by the height", 3000, 4000, resizing(800, kPx, 1, kPx, true), 1, 1, false},
      {"aspect square uses the width", 500, 500, resizing(200, kPx, 7, kPx, true), 200, 200, false},
      {"aspect half rounds away from zero", 400, 100, resizing(10, kPx, 1, kPx, true), 10, 3, false},
      {"shorter side never vanishes", 10000, 10, resizing(100, kPx, 1, kPx, true), 100, 1, false},
      {"large images: smaller one left alone", 800, 600, resizing(1024, kPx, 768, kPx, false, 1), 800, 600, true},
      {"large images: wider one resized", 2000, 500, resizing(1024, kPx, 768, kPx, false, 1), 1024, 768, false},
      {"all images: smaller one enlarged", 800, 600, resizing(1024, kPx, 768, kPx, false, 0), 1024, 768, false},
      {"width 0 switches it off", 400, 300, resizing(0, kPx, 100, kPx, false), 400, 300, true},
      {"height 0 with aspect still switches it off", 400, 300, resizing(100, kPx, 0, kPx, true), 400, 300, true},
      {"percent rounding to 0", 100, 100, resizing(0, kPct, 50, kPct, false), 100, 100, true},
      {"unknown unit", 400, 300, resizing(100, 2, 100, kPx, false), 400, 300, true},
      {"same size", 400, 300, resizing(400, kPx, 300, kPx, false), 400, 300, true},
      {"same size in percent", 400, 300, resizing(100, kPct, 100, kPct, true), 400, 300, true},
      {"resize off", 400, 300, off, 400, 300, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap image = makeUniform(c.width, c.height, 24, {1, 2, 3});
    ASSERT_TRUE(image);
    FIBITMAP* before = image.get();
    Bitmap result = resize(std::move(image), c.settings, c.width, c.height);
    ASSERT_TRUE(result);
    EXPECT_EQ(result.width(), c.newWidth);
    EXPECT_EQ(result.height(), c.newHeight);
    // Only "the same bitmap" can be told by address: a new bitmap may be
    // given the address of the one freed on the way.
    if (c.sameBitmap) {
      EXPECT_EQ(result.get(), before);
    }
  }
}

TEST(ResizeStep, HugePercentDoesNotOverflow) {
  Bitmap result = resize(makeUniform(100, 100, 24, {}), resizing(2147483647, 1, 2147483647, 1, false), 100, 100);
  // Far too large to allocate: the image is lost, but nothing overflows.
  EXPECT_FALSE(result);
}

TEST(ResizeStep, AlgorithmCodesMapToTheirFilters) {
  const Bitmap source = makeBitmap(97, 61, 24, noise);
  struct Case {
    SmallCode code;
    FREE_IMAGE_FILTER filter;
  };
  const Case cases[] = {{0, FILTER_BOX},        {1, FILTER_BILINEAR}, {2, FILTER_BSPLINE}, {3, FILTER_BICUBIC},
                        {4, FILTER_CATMULLROM}, {5, FILTER_LANCZOS3}, {6, FILTER_BICUBIC}, {-1, FILTER_BICUBIC}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.code));
    Settings settings = resizing(40, 0, 25, 0, false);
    settings.imageResizeAlgorithm = c.code;
    Bitmap result = resize(copyOf(source), settings, 97, 61);
    Bitmap expected(FreeImage_Rescale(source.get(), 40, 25, c.filter));
    EXPECT_EQ(countDifferences(result, expected), 0);
  }
  // The filters really give different pictures, so the comparison above
  // tells them apart.
  Bitmap box(FreeImage_Rescale(source.get(), 40, 25, FILTER_BOX));
  for (FREE_IMAGE_FILTER other :
       {FILTER_BILINEAR, FILTER_BSPLINE, FILTER_BICUBIC, FILTER_CATMULLROM, FILTER_LANCZOS3}) {
    Bitmap different(FreeImage_Rescale(source.get(), 40, 25, other));
    EXPECT_GT(countDifferences(box, different), 0) << other;
  }
  Bitmap bicubic(FreeImage_Rescale(source.get(), 40, 25, FILTER_BICUBIC));
  Bitmap catmullrom(FreeImage_Rescale(source.get(), 40, 25, FILTER_CATMULLROM));
  EXPECT_GT(countDifferences(bicubic, catmullrom), 0);
}

TEST(FlipStep, BothWaysEqualAHalfTurn) {
  const Bitmap source = makeBitmap(37, 23, 24, noise);
  Bitmap flipped = copyOf(source);
  FIBITMAP* before = flipped.get();
  Settings settings;
  settings.doImageFlipHorizontal = 1;
  settings.doImageFlipVertical = 1;
  flip(flipped, settings);
  EXPECT_EQ(flipped.get(), before);
  Bitmap turned = rotate(copyOf(source), rotation(0, 180));
  EXPECT_EQ(countDifferences(flipped, turned), 0);
  EXPECT_GT(countDifferences(flipped, source), 0);
}

TEST(FlipStep, EachDirectionMirrorsAndKeepsTheDepth) {
  const Bitmap source = makeGrey8(9, 5, [](int x, int y) { return x * 20 + y; });
  for (int direction = 0; direction < 3; ++direction) {
    SCOPED_TRACE(direction);
    Settings settings;
    settings.doImageFlipHorizontal = direction == 1 ? 1 : 0;
    settings.doImageFlipVertical = direction == 2 ? 1 : 0;
    Bitmap image = copyOf(source);
    flip(image, settings);
    ASSERT_EQ(image.bpp(), 8u);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 9; ++x) {
        const int sx = direction == 1 ? 8 - x : x;
        const int sy = direction == 2 ? 4 - y : y;
        ASSERT_EQ(pixelAt(image, x, y), pixelAt(source, sx, sy)) << x << "," << y;
      }
  }
  Bitmap none;
  Settings both;
  both.doImageFlipHorizontal = both.doImageFlipVertical = 1;
  flip(none, both);
  EXPECT_FALSE(none);
}

}  // namespace
}  // namespace qm
