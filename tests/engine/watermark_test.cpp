// The watermark step on output pixels: where a stamp lands (nine anchors,
// offsets, the frame), how it is cut, rotated and blended, what the text
// stamp looks like in both renderings, and the picture stamp.
#include <gtest/gtest.h>

#include <ctime>
#include <set>

#include "canvas/font.h"
#include "canvas/text.h"
#include "engine/naming.h"
#include "engine/steps/steps.h"
#include "engine/watermark/watermark.h"
#include "engine/watermark/watermark_font.h"
#include "support/image_readback.h"
#include "support/picture_files.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

using test::copyOf;
using test::countDifferences;
using test::makeBitmap;
using test::makeUniform;
using test::Pixel;
using test::pixelAt;

const Pixel kBackground{40, 80, 120};

struct Box {
  int left = 0;
  int top = 0;
  int right = -1;  // inclusive
  int bottom = -1;
  bool empty() const { return right < left; }
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

// The pixels of `image` that differ from `original`.
Box changedBox(const Bitmap& image, const Bitmap& original) {
  Box box{static_cast<int>(image.width()), static_cast<int>(image.height()), -1, -1};
  for (int y = 0; y < static_cast<int>(image.height()); ++y)
    for (int x = 0; x < static_cast<int>(image.width()); ++x)
      if (!(pixelAt(image, x, y) == pixelAt(original, x, y))) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

// Each stamp pixel differs from its neighbours, so a cut shows which part
// was kept.
Bitmap patternedStamp(int width, int height) {
  return makeBitmap(width, height, 32, [](int x, int y) { return Pixel{200, x % 256, y % 256, 255}; });
}

Settings placementSettings() {
  Settings settings;
  resetSettings(settings, SettingsForm::CommandLine, {});
  return settings;
}

TEST(PlaceWatermark, EachOfTheNinePositionsLandsWhereItsAnchorSays) {
  // 30 x 20 stamp on 201 x 100 with offsets 10 and 7: the odd width shows
  // that the centre truncates and ignores the x offset.
  struct Case {
    int position;
    int left;
    int top;
  };
  const Case cases[] = {{0, 10, 7},   {1, 85, 7},  {2, 161, 7}, {3, 10, 40},  {4, 85, 40},
                        {5, 161, 40}, {6, 10, 73}, {7, 85, 73}, {8, 161, 73}, {9, 0, 0}};
  for (const Case& c : cases) {
    const Bitmap original = makeUniform(201, 100, 24, kBackground);
    Bitmap result = placeWatermark(copyOf(original), patternedStamp(30, 20), placementSettings(),
                                   Placement{0, 10, 7, Boundary::Image, c.position}, 201, 100);
    const Box box = changedBox(result, original);
    SCOPED_TRACE("position " + std::to_string(c.position));
    EXPECT_EQ(box.left, c.left);
    EXPECT_EQ(box.top, c.top);
    EXPECT_EQ(box.width(), 30);
    EXPECT_EQ(box.height(), 20);
  }
}

TEST(PlaceWatermark, InsideTheFrameOnlyWithAFrameAndBoundaryOne) {
  Settings settings = placementSettings();
  settings.solidLeft = 20;
  settings.solidRight = 30;
  settings.solidTop = 5;
  settings.solidBottom = 15;
  struct Case {
    int doFrame;
    int boundary;
    int position;
    int left;
    int top;
  };
  // Inside the frame the area is 150 x 80 from (20, 5).
  const Case cases[] = {{1, 1, 8, 130, 58}, {1, 1, 4, 80, 35},  {1, 1, 0, 30, 12},
                        {1, 0, 8, 160, 73}, {0, 1, 8, 160, 73}, {2, 1, 8, 130, 58}};
  for (const Case& c : cases) {
    settings.doFrame = static_cast<SmallCode>(c.doFrame);
    const Bitmap original = makeUniform(200, 100, 24, kBackground);
    Bitmap result = placeWatermark(copyOf(original), patternedStamp(30, 20), settings,
                                   Placement{0, 10, 7, as<Boundary>(c.boundary), c.position}, 200, 100);
    const Box box = changedBox(result, original);
    SCOPED_TRACE("frame " + std::to_string(c.doFrame) + " boundary " + std::to_string(c.boundary) + " position " +
                 std::to_string(c.position));
    EXPECT_EQ(box.left, c.left);
    EXPECT_EQ(box.top, c.top);
  }
}

TEST(PlaceWatermark, AStampTooLargeIsCutKeepingItsTopLeftPartWhateverThePosition) {
  struct Case {
    int position;
    int left;
  };
  // 150 wide with x offset 10 on 100: cut to 90, then anchored.
  for (const Case& c : {Case{0, 10}, Case{1, 5}, Case{2, 0}}) {
    const Bitmap original = makeUniform(100, 50, 24, kBackground);
    const Bitmap stamp = patternedStamp(150, 80);
    Bitmap result = placeWatermark(copyOf(original), copyOf(stamp), placementSettings(),
                                   Placement{0, 10, 10, Boundary::Image, c.position}, 100, 50);
    const Box box = changedBox(result, original);
    SCOPED_TRACE("position " + std::to_string(c.position));
    EXPECT_EQ(box.left, c.left);
    EXPECT_EQ(box.width(), 90);
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.height(), 40);
    for (auto [x, y] : {std::pair{0, 0}, {89, 0}, {0, 39}, {89, 39}, {45, 20}}) {
      EXPECT_EQ(pixelAt(result, box.left + x, box.top + y), (Pixel{200, x, y, 255})) << x << "," << y;
    }
  }
}

TEST(PlaceWatermark, AStampThatDoesNotFitWhollyInsideIsNotDrawn) {
  struct Case {
    int position;
    int xOffset;
    int yOffset;
    bool drawn;
  };
  const Case cases[] = {
      {0, -5, 10, false}, {3, -5, 10, false},  {6, -5, 10, false},
      {1, 10, -5, false}, {0, 100, 10, false},  // nothing left after the cut
      {0, 5, 10, true},   {4, -5, -5, true},    // the centre ignores both offsets
  };
  for (const Case& c : cases) {
    const Bitmap original = makeUniform(100, 50, 24, kBackground);
    Bitmap result = placeWatermark(copyOf(original), patternedStamp(30, 20), placementSettings(),
                                   Placement{0, c.xOffset, c.yOffset, Boundary::Image, c.position}, 100, 50);
    ASSERT_TRUE(result);
    EXPECT_EQ(result.bpp(), 24u);
    EXPECT_EQ(countDifferences(result, original) > 0, c.drawn)
        << "position " << c.position << " offsets " << c.xOffset << "," << c.yOffset;
  }
}

TEST(PlaceWatermark, RotationGrowsTheStampWithClearCorners) {
  const Bitmap original = makeUniform(200, 100, 24, kBackground);
  Bitmap quarter = placeWatermark(copyOf(original), patternedStamp(30, 20), placementSettings(),
                                  Placement{90, 10, 10, Boundary::Image, 8}, 200, 100);
  Box box = changedBox(quarter, original);
  EXPECT_EQ(box.width(), 20);
  EXPECT_EQ(box.height(), 30);
  EXPECT_EQ(box.right, 189);
  EXPECT_EQ(box.bottom, 89);

  // At 45 degrees the grown canvas's corners let the image through.
  Bitmap tilted = placeWatermark(copyOf(original), makeUniform(40, 40, 32, {255, 0, 0, 255}), placementSettings(),
                                 Placement{45, 0, 0, Boundary::Image, 0}, 200, 100);
  box = changedBox(tilted, original);
  EXPECT_GT(box.width(), 50);
  EXPECT_EQ(pixelAt(tilted, box.left, box.top), kBackground);
  EXPECT_EQ(pixelAt(tilted, box.left + box.width() / 2, box.top + box.height() / 2), (Pixel{255, 0, 0, 255}));

  // 0 and 360 leave the stamp as it is.
  for (int angle : {0, 360}) {
    Bitmap plain = placeWatermark(copyOf(original), patternedStamp(30, 20), placementSettings(),
                                  Placement{angle, 10, 10, Boundary::Image, 8}, 200, 100);
    EXPECT_EQ(changedBox(plain, original).width(), 30) << angle;
  }
}

TEST(PlaceWatermark, OpaqueStampPixelsReplaceAndTranslucentOnesBlend) {
  const Bitmap original = makeUniform(60, 40, 24, kBackground);
  Bitmap opaque = placeWatermark(copyOf(original), makeUniform(10, 10, 32, {255, 255, 255, 255}), placementSettings(),
                                 Placement{0, 0, 0, Boundary::Image, 0}, 60, 40);
  EXPECT_EQ(pixelAt(opaque, 5, 5), (Pixel{255, 255, 255, 255}));
  Bitmap half = placeWatermark(copyOf(original), makeUniform(10, 10, 32, {240, 0, 0, 128}), placementSettings(),
                               Placement{0, 0, 0, Boundary::Image, 0}, 60, 40);
  const Pixel p = pixelAt(half, 5, 5);
  EXPECT_NEAR(p.red, (240 + 40) / 2, 2);
  EXPECT_NEAR(p.green, 80 / 2, 2);
  EXPECT_NEAR(p.blue, 120 / 2, 2);
}

// --- the text stamp -------------------------------------------------------

const NamingValues kPhoto{"/in/Photo.psd", "png", 24, 240, 120, 7, 1};

Settings textSettings(const std::string& text) {
  Settings settings;
  resetSettings(settings, SettingsForm::CommandLine, {});
  settings.doWatermark = 1;
  settings.text = text;
  settings.fontColor = "FFFFFF";
  settings.backColor = "FF0000";
  settings.backOpacity = 255;
  return settings;
}

Bitmap watermarked(const Bitmap& original, const Settings& settings, const Font* font,
                   const NamingValues& naming = kPhoto) {
  return drawWatermark(copyOf(original), WatermarkContext{settings, font, naming}, static_cast<int>(original.width()),
                       static_cast<int>(original.height()));
}

std::set<int> stampAlphas(const Bitmap& stamp) {
  std::set<int> values;
  for (unsigned y = 0; y < stamp.height(); ++y)
    for (unsigned x = 0; x < stamp.width(); ++x)
      values.insert(pixelAt(stamp, static_cast<int>(x), static_cast<int>(y)).alpha);
  return values;
}

// Rows of the stamp holding glyph pixels (opaque white), grouped into
// bands separated by rows without any.
int textBands(const Bitmap& stamp) {
  int bands = 0;
  bool previous = false;
  for (unsigned y = 0; y < stamp.height(); ++y) {
    bool ink = false;
    for (unsigned x = 0; x < stamp.width() && !ink; ++x)
      ink = pixelAt(stamp, static_cast<int>(x), static_cast<int>(y)) == Pixel{255, 255, 255, 255};
    if (ink && !previous) ++bands;
    previous = ink;
  }
  return bands;
}

class TextWatermark : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings settings = textSettings("");
    font_ = createWatermarkFont(settings);
    ASSERT_TRUE(font_);
  }
  const Font* font() const { return font_.get(); }
  WatermarkFontPtr font_;
};

TEST_F(TextWatermark, DefaultPlacementEndsTenPixelsFromTheCornerOrInsideTheFrame) {
  const Bitmap original = makeUniform(240, 120, 24, kBackground);
  Settings settings = textSettings("Quillmark");
  const Bitmap stamp = makeTextStamp(settings.text, settings, font());
  ASSERT_TRUE(stamp);

  Bitmap plain = watermarked(original, settings, font());
  Box box = changedBox(plain, original);
  EXPECT_EQ(box.right, 240 - 1 - 10);
  EXPECT_EQ(box.bottom, 120 - 1 - 10);
  EXPECT_EQ(box.width(), static_cast<int>(stamp.width()));
  EXPECT_EQ(box.height(), static_cast<int>(stamp.height()));

  settings.doFrame = 1;
  settings.solidLeft = settings.solidRight = settings.solidTop = settings.solidBottom = 20;
  settings.textBoundary = 1;
  Bitmap framed = watermarked(original, settings, font());
  box = changedBox(framed, original);
  EXPECT_EQ(box.right, 240 - 1 - 20 - 10);
  EXPECT_EQ(box.bottom, 120 - 1 - 20 - 10);
}

TEST_F(TextWatermark, LineBreaksInAnyCaseMakeLinesOfTheTallestHeightPlusTheLeading) {
  Settings settings = textSettings("Line one%EOL%line two%eol%3");
  settings.backOpacity = 0;
  TextRenderer plain(*font(), TextRendering::Plain);
  int lineHeight = 10;
  for (const char* line : {"Line one", "line two", "3"})
    lineHeight = std::max(lineHeight, static_cast<int>(plain.measure(line)->height));
  for (int leading : {0, 6, -3}) {
    settings.fontLeading = leading;
    for (int padding : {0, 4}) {
      settings.textPadding = padding;
      const Bitmap stamp = makeTextStamp(settings.text, settings, font());
      ASSERT_TRUE(stamp);
      SCOPED_TRACE("leading " + std::to_string(leading) + " padding " + std::to_string(padding));
      EXPECT_EQ(static_cast<int>(stamp.height()), lineHeight + 2 * (lineHeight + leading) + 2 * padding);
      EXPECT_EQ(static_cast<int>(stamp.width()), static_cast<int>(plain.measure("Line one")->width) + 2 * padding);
      EXPECT_EQ(textBands(stamp), 3);
    }
  }
  // Short lines still get a box of at least 10 x 10 per line.
  settings.fontLeading = 0;
  settings.textPadding = 0;
  settings.fontSize = 4;
  WatermarkFontPtr tiny = createWatermarkFont(settings);
  const Bitmap small = makeTextStamp("i%eol%i", settings, tiny.get());
  EXPECT_EQ(small.width(), 10u);
  EXPECT_EQ(small.height(), 20u);
  // A single line has no minimum.
  const Bitmap single = makeTextStamp("i", settings, tiny.get());
  EXPECT_LT(single.width(), 10u);
}

TEST_F(TextWatermark, LinesAreAlignedLeftCentredOrRight) {
  Settings settings = textSettings("WWWWWWWWWW%eol%ii");
  settings.backOpacity = 0;
  settings.textPadding = 6;
  struct Case {
    int alignment;
    const char* where;
  };
  for (const Case& c : {Case{0, "left"}, Case{1, "centre"}, Case{2, "right"}}) {
    settings.textAlignment = static_cast<SmallCode>(c.alignment);
    const Bitmap stamp = makeTextStamp(settings.text, settings, font());
    ASSERT_TRUE(stamp);
    // Ink of the second line only.
    const int width = static_cast<int>(stamp.width());
    const int height = static_cast<int>(stamp.height());
    int first = width;
    int last = -1;
    for (int y = height / 2 + 1; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (pixelAt(stamp, x, y).alpha == 255) {
          first = std::min(first, x);
          last = std::max(last, x);
        }
    ASSERT_LE(first, last) << c.where;
    // Side bearings of "i" are a pixel or two.
    if (c.alignment == 0) {
      EXPECT_NEAR(first, 6, 3) << c.where;
    } else if (c.alignment == 1) {
      EXPECT_NEAR((first + last) / 2.0, width / 2.0, 2) << c.where;
    } else {
      EXPECT_NEAR(last, width - 1 - 6, 3) << c.where;
    }
  }
}

TEST_F(TextWatermark, PlaceholdersAreExpandedKeepingTheTextsOwnCase) {
  char year[8];
  const std::time_t now = std::time(nullptr);
  std::strftime(year, sizeof year, "%Y", std::localtime(&now));
  const Settings settings = textSettings("%filename% - %yyyy%");
  const Bitmap original = makeUniform(240, 120, 24, kBackground);
  Bitmap expanded = watermarked(original, settings, font());
  Bitmap literal = watermarked(original, textSettings(std::string("Photo - ") + year), font());
  EXPECT_GT(countDifferences(expanded, original), 100);
  EXPECT_EQ(countDifferences(expanded, literal), 0);

  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"%FileName% by Me", "Photo by Me"},
      {"Size %WIDTH%x%Height% at %bpp% bits", "Size 240x120 at 24 bits"},
      {"%filename[u]%.%ext[u]% #%n%", "PHOTO.PNG #00001"},
      {"100% %filename", "100% %filename"},  // two "%", but no placeholder
      {"%filename%", "Photo"},
      {"50% off", "50% off"},
      {"Line%eol%%filename%", "Line%eol%Photo"},
  };
  for (const Case& c : cases) EXPECT_EQ(expandWatermarkText(c.text, kPhoto), c.expected) << c.text;
  // A single "%" leaves even a would-be placeholder alone.
  EXPECT_EQ(expandWatermarkText("%filename", kPhoto), "%filename");
}

TEST_F(TextWatermark, OpaqueTextOnAPracticallyInvisibleBox) {
  Settings settings = textSettings("Quillmark");
  settings.textOpacity = 255;
  settings.backOpacity = 1;
  const Bitmap original = makeUniform(240, 120, 24, kBackground);
  Bitmap result = watermarked(original, settings, font());
  int text = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 240; ++x) {
      const Pixel p = pixelAt(result, x, y);
      if (p == Pixel{255, 255, 255, 255}) {
        ++text;
        continue;
      }
      ASSERT_NEAR(p.red, kBackground.red, 2) << x << "," << y;
      ASSERT_NEAR(p.green, kBackground.green, 2) << x << "," << y;
      ASSERT_NEAR(p.blue, kBackground.blue, 2) << x << "," << y;
    }
  EXPECT_GT(text, 50);
}

TEST_F(TextWatermark, PlainTextBlendsTheBoxTwiceInsideTheCharacterCells) {
  Settings settings = textSettings("Quill");
  settings.backColor = "000000";
  settings.backOpacity = 128;
  settings.textPadding = 5;
  const Bitmap stamp = makeTextStamp(settings.text, settings, font());
  ASSERT_TRUE(stamp);
  EXPECT_EQ(pixelAt(stamp, 1, 1), (Pixel{0, 0, 0, 128}));
  // 128 over 128 is about 192; glyphs are opaque white.
  EXPECT_EQ(stampAlphas(stamp), (std::set<int>{128, 192, 255}));

  const Bitmap original = makeUniform(240, 120, 24, {200, 200, 200});
  Bitmap result = watermarked(original, settings, font());
  const Box box = changedBox(result, original);
  const Pixel padding = pixelAt(result, box.left + 1, box.top + 1);
  const Pixel cell = pixelAt(result, box.left + 5, box.top + 5);  // top-left corner of the first cell
  EXPECT_NEAR(padding.red, 100, 2);
  EXPECT_LT(cell.red, padding.red - 30);
}

TEST_F(TextWatermark, VectorTextHasSoftEdgesAndEachLayerItsOwnOpacity) {
  Settings settings = textSettings("Quillmark%eol%watermark");
  settings.backOpacity = 0;
  const Bitmap plain = makeTextStamp(settings.text, settings, font());
  settings.textAntialiasing = 1;
  const Bitmap soft = makeTextStamp(settings.text, settings, font());
  ASSERT_TRUE(plain && soft);
  EXPECT_EQ(stampAlphas(plain), (std::set<int>{0, 255}));
  EXPECT_GT(stampAlphas(soft).size(), 20u);
  EXPECT_EQ(plain.width(), soft.width());
  EXPECT_EQ(plain.height(), soft.height());

  // Back at 64 and text at 128: the box is even, the text never above 128.
  settings.backOpacity = 64;
  settings.textOpacity = 128;
  settings.textPadding = 3;
  const Bitmap layered = makeTextStamp(settings.text, settings, font());
  ASSERT_TRUE(layered);
  EXPECT_EQ(pixelAt(layered, 0, 0), (Pixel{255, 0, 0, 64}));
  const std::set<int> alphas = stampAlphas(layered);
  EXPECT_EQ(*alphas.begin(), 64);
  EXPECT_LE(*alphas.rbegin(), 64 + 128 - 64 * 128 / 255 + 1);
  EXPECT_GT(*alphas.rbegin(), 150);
}

TEST_F(TextWatermark, NoFontOrNoTextMeansNoWatermarkButA24BitImage) {
  const Bitmap original = makeUniform(80, 40, 32, {10, 20, 30, 77});
  Settings settings = textSettings("Quillmark");
  Bitmap noFont = watermarked(original, settings, nullptr);
  EXPECT_EQ(noFont.bpp(), 24u);
  EXPECT_EQ(pixelAt(noFont, 40, 20), (Pixel{10, 20, 30, 255}));

  // An empty single line measures 0 wide: no canvas, no stamp.
  settings.text = "";
  EXPECT_FALSE(makeTextStamp(settings.text, settings, font()));

  settings.doWatermark = 0;
  Bitmap off = watermarked(original, settings, font());
  EXPECT_EQ(off.bpp(), 32u);
  EXPECT_EQ(countDifferences(off, original), 0);
}

// --- the picture stamp -------------------------------------------------------

Settings imageSettings(const std::string& path) {
  Settings settings;
  resetSettings(settings, SettingsForm::CommandLine, {});
  settings.doWatermark = 2;
  settings.image = path;
  return settings;
}

// Left half clear, right half orange; 40 x 20.
test::RgbaImage halfClearLogo() {
  test::RgbaImage logo(40, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) logo.set(x, y, 250, 120, 10, x < 20 ? 0 : 255);
  return logo;
}

TEST(ImageWatermark, TransparentPartsOfAPngLogoLetTheImageThrough) {
  test::TempFolder folder;
  const std::string path = folder.write("logo.png", test::asText(test::encodePng(halfClearLogo(), true)));
  const Bitmap original = makeUniform(200, 100, 24, kBackground);
  Bitmap result = watermarked(original, imageSettings(path), nullptr);
  const Box box = changedBox(result, original);
  // Only the opaque right half shows, ending 10 from the corner.
  EXPECT_EQ(box.right, 189);
  EXPECT_EQ(box.bottom, 89);
  EXPECT_EQ(box.width(), 20);
  EXPECT_EQ(box.height(), 20);
  EXPECT_EQ(pixelAt(result, 180, 80), (Pixel{250, 120, 10, 255}));
}

TEST(ImageWatermark, AnOpaqueLogoAtHalfOpacityIsAnOpaqueRectangleAtHalfBrightness) {
  test::TempFolder folder;
  test::RgbaImage logo(30, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 30; ++x) logo.set(x, y, 200, 100, 240);
  const std::string path = folder.write("logo.jpg", test::asText(test::encodeJpeg(logo, 100)));
  Settings settings = imageSettings(path);
  settings.imageOpacity = 128;
  // The same on two different images: nothing of the image shows through.
  for (Pixel background : {kBackground, Pixel{255, 255, 255}}) {
    const Bitmap original = makeUniform(100, 60, 24, background);
    Bitmap result = watermarked(original, settings, nullptr);
    const Box box = changedBox(result, original);
    EXPECT_EQ(box.width(), 30);
    EXPECT_EQ(box.height(), 16);
    const Pixel p = pixelAt(result, box.left + 15, box.top + 8);
    EXPECT_NEAR(p.red, 100, 3);
    EXPECT_NEAR(p.green, 50, 3);
    EXPECT_NEAR(p.blue, 120, 3);
  }
}

TEST(ImageWatermark, GreyscaleRotationAndCutting) {
  test::TempFolder folder;
  test::RgbaImage logo(40, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x)
      logo.set(x, y, static_cast<std::uint8_t>(x * 6), 30, static_cast<std::uint8_t>(y * 12));
  const std::string path = folder.write("logo.bmp", test::asText(test::encodeBmp(logo, 24)));
  const Bitmap original = makeUniform(200, 100, 24, kBackground);

  Settings settings = imageSettings(path);
  settings.imageGreyscale = 1;
  Bitmap grey = watermarked(original, settings, nullptr);
  Box box = changedBox(grey, original);
  ASSERT_EQ(box.width(), 40);
  for (int y = box.top; y <= box.bottom; ++y)
    for (int x = box.left; x <= box.right; ++x) {
      const Pixel p = pixelAt(grey, x, y);
      ASSERT_TRUE(p.red == p.green && p.green == p.blue) << x << "," << y;
    }
  // (77 x 234 + 150 x 30 + 29 x 228) >> 8 for the bottom-right pixel.
  EXPECT_EQ(pixelAt(grey, box.right, box.bottom).red, (77 * 234 + 150 * 30 + 29 * 228) >> 8);

  settings.imageGreyscale = 0;
  settings.watermarkImageRotation = 90;
  box = changedBox(watermarked(original, settings, nullptr), original);
  EXPECT_EQ(box.width(), 20);
  EXPECT_EQ(box.height(), 40);

  // Larger than the image: cut to the room the offsets leave.
  settings.watermarkImageRotation = 0;
  settings.imagePosition = 0;
  const Bitmap small = makeUniform(30, 25, 24, kBackground);
  box = changedBox(watermarked(small, settings, nullptr), small);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.width(), 20);
  EXPECT_EQ(box.height(), 15);
}

// A grey stamp is written as it is and then faded over the image, not
// darkened over black first: half opacity over white gives a light grey.
TEST(ImageWatermark, GreyStampIsNotBlendedWithBlack) {
  test::TempFolder folder;
  test::RgbaImage logo(20, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) logo.set(x, y, 200, 200, 200);
  const std::string path = folder.write("logo.bmp", test::asText(test::encodeBmp(logo, 24)));
  const Bitmap white = makeUniform(100, 60, 24, Pixel{255, 255, 255});
  Settings settings = imageSettings(path);
  settings.imageGreyscale = 1;
  settings.imageOpacity = 128;
  Bitmap result = watermarked(white, settings, nullptr);
  const Box box = changedBox(result, white);
  ASSERT_EQ(box.width(), 20);
  const Pixel p = pixelAt(result, box.left + 10, box.top + 5);
  EXPECT_NEAR(p.red, (200 * 128 + 255 * 127) / 255, 2);
  EXPECT_EQ(p.red, p.green);
  EXPECT_EQ(p.green, p.blue);
}

TEST(ImageWatermark, UndecodablePicturesGiveNoStampAndA24BitImage) {
  test::TempFolder folder;
  const test::RgbaImage logo = halfClearLogo();
  struct Case {
    const char* name;
    test::Bytes bytes;
  };
  auto cut = [](test::Bytes bytes, std::size_t keep) {
    bytes.resize(keep);
    return bytes;
  };
  test::Bytes damagedPng = test::encodePng(logo, true);
  damagedPng[damagedPng.size() / 2] ^= 0x55;  // breaks the data's checksum
  const Case cases[] = {
      {"truncated.png", cut(test::encodePng(logo, true), 60)},
      {"damaged.png", damagedPng},
      {"truncated.jpg", cut(test::encodeJpeg(logo), 300)},
      {"truncated.bmp", cut(test::encodeBmp(logo, 32), 200)},
      {"truncated.ico", cut(test::encodeIco(logo, test::IconKind::Bitmap32), 100)},
      {"text.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'}},
  };
  const Bitmap original = makeUniform(120, 60, 32, {10, 20, 30, 40});
  for (const Case& c : cases) {
    const std::string path = folder.write(c.name, test::asText(c.bytes));
    Bitmap result = watermarked(original, imageSettings(path), nullptr);
    ASSERT_TRUE(result) << c.name;
    EXPECT_EQ(result.bpp(), 24u) << c.name;
    EXPECT_EQ(pixelAt(result, 100, 40), (Pixel{10, 20, 30, 255})) << c.name;
    EXPECT_TRUE(changedBox(result, makeUniform(120, 60, 24, {10, 20, 30})).empty()) << c.name;
  }
  EXPECT_EQ(watermarked(original, imageSettings(folder / "missing.png"), nullptr).bpp(), 24u);
}

// A worker makes the stamp once per run; the documents after the first
// never read the picture again, whatever became of the file.
TEST(ImageWatermark, AStampMadeForTheRunIsUsedInsteadOfThePictureFile) {
  test::TempFolder folder;
  const std::string path = folder.write("logo.png", test::asText(test::encodePng(halfClearLogo(), true)));
  const Settings settings = imageSettings(path);
  const Bitmap runStamp = makeImageStamp(settings);
  ASSERT_TRUE(runStamp);
  test::RgbaImage green(40, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) green.set(x, y, 0, 255, 0);
  folder.write("logo.png", test::asText(test::encodePng(green, false)));

  struct Case {
    const char* name;
    const Bitmap* stamp;
    int changedWidth;
    Pixel at180x80;
  };
  const Bitmap none;
  const Case cases[] = {
      {"the run's stamp", &runStamp, 20, Pixel{250, 120, 10, 255}},
      {"no stamp for the run", &none, 0, kBackground},
      {"made for this document", nullptr, 40, Pixel{0, 255, 0, 255}},
  };
  const Bitmap original = makeUniform(200, 100, 24, kBackground);
  for (const Case& c : cases) {
    Bitmap result = drawWatermark(copyOf(original), WatermarkContext{settings, nullptr, kPhoto, c.stamp}, 200, 100);
    const Box box = changedBox(result, original);
    EXPECT_EQ(box.empty() ? 0 : box.width(), c.changedWidth) << c.name;
    EXPECT_EQ(pixelAt(result, 180, 80), c.at180x80) << c.name;
  }
  // The run's stamp is still whole for the next document.
  EXPECT_EQ(runStamp.width(), 40u);
}

TEST(ImageWatermark, IconsAreStampedThroughTheirMask) {
  test::TempFolder folder;
  const std::string path =
      folder.write("logo.ico", test::asText(test::encodeIco(halfClearLogo(), test::IconKind::Bitmap24Masked)));
  const Bitmap original = makeUniform(200, 100, 24, kBackground);
  const Box box = changedBox(watermarked(original, imageSettings(path), nullptr), original);
  EXPECT_EQ(box.width(), 20);
  EXPECT_EQ(box.right, 189);
}

}  // namespace
}  // namespace qm
