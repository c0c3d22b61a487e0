// Colour correction, greyscale and threshold, checked on their pixels.
#include <gtest/gtest.h>

#include "engine/steps/steps.h"
#include "support/image_readback.h"

namespace qm {
namespace {

using test::copyOf;
using test::countDifferences;
using test::makeBitmap;
using test::makeGrey8;
using test::noise;
using test::Pixel;
using test::pixelAt;

Settings correction(int brightness, int contrast, float gamma, bool invert) {
  Settings settings;
  settings.doImageColorCorrection = 1;
  settings.imageBrightness = brightness;
  settings.imageContrast = contrast;
  settings.imageGamma = gamma;
  settings.imageInvert = invert ? 1 : 0;
  return settings;
}

TEST(AdjustColoursStep, IdentityCorrectionLeavesPixelsAlone) {
  for (int bpp : {24, 32}) {
    SCOPED_TRACE(bpp);
    const Bitmap source = makeBitmap(31, 17, bpp, noise);
    Bitmap result = adjustColours(copyOf(source), correction(0, 0, 1.0f, false));
    ASSERT_EQ(result.bpp(), static_cast<unsigned>(bpp));
    EXPECT_EQ(countDifferences(result, source), 0);
  }
}

TEST(AdjustColoursStep, InvertAndBrightnessChangeEveryChannel) {
  const Bitmap source = makeBitmap(16, 16, 24, noise);
  Bitmap inverted = adjustColours(copyOf(source), correction(0, 0, 1.0f, true));
  Bitmap brighter = adjustColours(copyOf(source), correction(50, 0, 1.0f, false));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const Pixel s = pixelAt(source, x, y);
      const Pixel i = pixelAt(inverted, x, y);
      ASSERT_EQ(i, (Pixel{255 - s.red, 255 - s.green, 255 - s.blue})) << x << "," << y;
      const Pixel b = pixelAt(brighter, x, y);
      ASSERT_GE(b.red, s.red);
      ASSERT_GE(b.green, s.green);
      ASSERT_GE(b.blue, s.blue);
    }
  EXPECT_GT(countDifferences(brighter, source), 200);
}

TEST(AdjustColoursStep, LowAndHighDepthsAreWidenedTo24Bits) {
  struct Case {
    const char* name;
    Bitmap image;
  };
  Bitmap oneBit(FreeImage_Allocate(20, 10, 1));
  Bitmap fourBit(FreeImage_Allocate(20, 10, 4));
  Bitmap deep(FreeImage_AllocateT(FIT_RGB16, 20, 10));
  Case cases[] = {{"1 bit", std::move(oneBit)}, {"4 bits", std::move(fourBit)}, {"48 bits", std::move(deep)}};
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.image);
    Bitmap result = adjustColours(std::move(c.image), correction(0, 0, 1.0f, true));
    ASSERT_TRUE(result);
    EXPECT_EQ(result.bpp(), 24u);
    EXPECT_EQ(result.width(), 20u);
  }
  // An 8-bit image is corrected as it is.
  Bitmap grey = adjustColours(makeGrey8(8, 8, [](int x, int) { return x * 10; }), correction(0, 0, 1.0f, true));
  ASSERT_EQ(grey.bpp(), 8u);
  EXPECT_EQ(pixelAt(grey, 3, 0), (Pixel{225, 225, 225}));
}

TEST(AdjustColoursStep, OffOrMissingPassesThrough) {
  Settings off = correction(50, 50, 2.0f, true);
  off.doImageColorCorrection = 0;
  Bitmap oneBit(FreeImage_Allocate(20, 10, 1));
  FIBITMAP* before = oneBit.get();
  Bitmap result = adjustColours(std::move(oneBit), off);
  EXPECT_EQ(result.get(), before);
  EXPECT_EQ(result.bpp(), 1u);
  EXPECT_FALSE(adjustColours(Bitmap(), correction(10, 0, 1.0f, false)));
}

TEST(GreyscaleAndThresholdSteps, TogetherYieldOneBit) {
  Settings settings;
  settings.doImageGreyscale = 1;
  settings.doImageThreshold = 1;
  settings.imageThreshold = 128;
  Bitmap grey = makeGreyscale(makeBitmap(30, 20, 24, noise), settings);
  ASSERT_EQ(grey.bpp(), 8u);
  EXPECT_EQ(FreeImage_GetColorType(grey.get()), FIC_MINISBLACK);
  const Pixel p = pixelAt(grey, 5, 5);
  EXPECT_TRUE(p.red == p.green && p.green == p.blue);
  Bitmap blackAndWhite = threshold(std::move(grey), settings);
  ASSERT_EQ(blackAndWhite.bpp(), 1u);
}

TEST(GreyscaleStep, DeepImagesAreWidenedFirst) {
  Settings settings;
  settings.doImageGreyscale = 1;
  Bitmap result = makeGreyscale(Bitmap(FreeImage_AllocateT(FIT_RGBA16, 12, 7)), settings);
  ASSERT_TRUE(result);
  EXPECT_EQ(result.bpp(), 8u);
  settings.doImageGreyscale = 0;
  Bitmap colour = makeBitmap(4, 4, 24, noise);
  FIBITMAP* before = colour.get();
  EXPECT_EQ(makeGreyscale(std::move(colour), settings).get(), before);
}

TEST(ThresholdStep, LevelsAtTheEnds) {
  // Pure white, nearly white, black, mid grey and a saturated red.
  const Pixel colours[] = {{255, 255, 255}, {250, 255, 255}, {0, 0, 0}, {128, 128, 128}, {255, 0, 0}};
  const Bitmap source = makeBitmap(5, 1, 24, [&](int x, int) { return colours[x]; });
  struct Case {
    int level;
    bool white[5];
  };
  const Case cases[] = {
      {0, {true, true, true, true, true}},
      {255, {true, false, false, false, false}},
      {129, {true, true, false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    Settings settings;
    settings.doImageThreshold = 1;
    settings.imageThreshold = c.level;
    Bitmap result = threshold(copyOf(source), settings);
    ASSERT_EQ(result.bpp(), 1u);
    for (int x = 0; x < 5; ++x) {
      const Pixel expected = c.white[x] ? Pixel{255, 255, 255} : Pixel{0, 0, 0};
      EXPECT_EQ(pixelAt(result, x, 0), expected) << "pixel " << x;
    }
  }
}

}  // namespace
}  // namespace qm
