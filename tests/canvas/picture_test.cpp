// The picture decoders: every kind read back pixel for pixel, the alpha
// rule (which pictures count as transparent), and damaged, truncated or
// hostile files that must give nothing without ever reading out of bounds.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "canvas/picture.h"
#include "support/image_readback.h"
#include "support/picture_files.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

using test::Bytes;
using test::IconKind;
using test::RgbaImage;

// Four quadrants of distinct colours, the right half transparent in its
// lower quadrant and half transparent in the upper one.
RgbaImage quadrants(int width = 12, int height = 8) {
  RgbaImage image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2;
      const bool bottom = y >= height / 2;
      if (!right)
        image.set(x, y, bottom ? 0 : 255, bottom ? 200 : 40, 30, 255);
      else
        image.set(x, y, 20, 60, bottom ? 250 : 120, bottom ? 0 : 128);
    }
  return image;
}

struct Expected {
  int x;
  int y;
  Rgba colour;
};

void expectPixels(const Picture& picture, std::initializer_list<Expected> expected, int tolerance = 0) {
  for (const Expected& e : expected) {
    const Rgba p = picture.pixel(e.x, e.y);
    SCOPED_TRACE("pixel " + std::to_string(e.x) + "," + std::to_string(e.y));
    EXPECT_NEAR(p.red, e.colour.red, tolerance);
    EXPECT_NEAR(p.green, e.colour.green, tolerance);
    EXPECT_NEAR(p.blue, e.colour.blue, tolerance);
    EXPECT_EQ(p.alpha, e.colour.alpha);
  }
}

TEST(PictureDecoding, EveryKindReadsBackItsPixelsAndTellsWhetherItIsTransparent) {
  const RgbaImage image = quadrants();
  struct Case {
    const char* name;
    Bytes bytes;
    bool hasAlpha;
    bool keepsAlpha;  // the file stores the half-transparent alpha as it is
    int tolerance;
  };
  const Case cases[] = {
      {"png rgba", test::encodePng(image, true), true, true, 0},
      {"png rgb", test::encodePng(image, false), false, false, 0},
      {"jpeg", test::encodeJpeg(image, 100), false, false, 12},
      {"bmp 24", test::encodeBmp(image, 24), false, false, 0},
      {"bmp 24 top-down", test::encodeBmp(image, 24, true), false, false, 0},
      {"bmp 32 with alpha", test::encodeBmp(image, 32), true, true, 0},
      {"ico 32", test::encodeIco(image, IconKind::Bitmap32), true, true, 0},
      {"ico png", test::encodeIco(image, IconKind::Png), true, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<Picture> picture = decodePicture(c.bytes);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 12);
    EXPECT_EQ(picture->height, 8);
    EXPECT_EQ(picture->hasAlpha, c.hasAlpha);
    const std::uint8_t half = c.keepsAlpha ? 128 : 255;
    const std::uint8_t none = c.keepsAlpha ? 0 : 255;
    expectPixels(*picture, {{1, 1, {255, 40, 30, 255}}, {1, 6, {0, 200, 30, 255}}, {10, 1, {20, 60, 120, half}}},
                 c.tolerance);
    EXPECT_EQ(picture->pixel(10, 6).alpha, none);
    if (c.keepsAlpha) continue;
    expectPixels(*picture, {{10, 6, {20, 60, 250, 255}}}, c.tolerance);
  }
}

TEST(PictureDecoding, MaskedIconsAndPaletteBitmaps) {
  std::optional<Picture> icon = decodePicture(test::encodeIco(quadrants(), IconKind::Bitmap24Masked));
  ASSERT_TRUE(icon);
  EXPECT_TRUE(icon->hasAlpha);
  // Alpha below 128 was masked out; the mask knows no half measures.
  expectPixels(*icon, {{1, 1, {255, 40, 30, 255}}, {10, 1, {20, 60, 120, 255}}});
  EXPECT_EQ(icon->pixel(10, 6).alpha, 0);

  // Index 3 lies beyond the two-entry palette and reads as black.
  std::optional<Picture> palette = decodePicture(test::encodeBmp8(3, 2, {0, 1, 0, 1, 1, 3}, {0x102030, 0xA0B0C0}));
  ASSERT_TRUE(palette);
  EXPECT_FALSE(palette->hasAlpha);
  expectPixels(*palette, {{0, 0, {0x10, 0x20, 0x30, 255}}, {1, 0, {0xA0, 0xB0, 0xC0, 255}}, {2, 1, {0, 0, 0, 255}}});
}

TEST(PictureDecoding, A32BitBitmapWithoutAnyAlphaIsOpaque) {
  RgbaImage image(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) image.set(x, y, 200, 100, 50, 0);
  std::optional<Picture> picture = decodePicture(test::encodeBmp(image, 32));
  ASSERT_TRUE(picture);
  EXPECT_FALSE(picture->hasAlpha);
  expectPixels(*picture, {{3, 2, {200, 100, 50, 255}}});
}

// Run-length encoded rows: a run, a literal run, an end of line, a jump
// and the end marker.
TEST(PictureDecoding, RunLengthBitmaps) {
  Bytes bytes(54 + 3 * 4, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  test::putU32(bytes, 10, 54 + 12);
  test::putU32(bytes, 14, 40);
  test::putU32(bytes, 18, 5);
  test::putU32(bytes, 22, 3);
  test::putU16(bytes, 26, 1);
  test::putU16(bytes, 28, 8);
  test::putU32(bytes, 30, 1);  // RLE8
  test::putU32(bytes, 46, 3);
  const std::uint32_t palette[3] = {0x000000, 0xFF0000, 0x0000FF};
  for (int i = 0; i < 3; ++i) test::putU32(bytes, 54 + 4 * i, palette[i]);
  const Bytes stream = {3, 1, 0, 3, 2, 2, 1, 0, 0, 0, 0, 2, 1, 1, 2, 2, 0, 1};
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  std::optional<Picture> picture = decodePicture(bytes);
  ASSERT_TRUE(picture);
  // Bottom row: a run of three red, then the literal blue, blue, red whose
  // last pixel falls off the row. The jump skips the middle row to (1, 2)
  // counted from the bottom, the top row, where two blue pixels follow.
  expectPixels(*picture, {{0, 2, {255, 0, 0, 255}},
                          {2, 2, {255, 0, 0, 255}},
                          {3, 2, {0, 0, 255, 255}},
                          {4, 2, {0, 0, 255, 255}},
                          {0, 1, {0, 0, 0, 255}},
                          {0, 0, {0, 0, 0, 255}},
                          {1, 0, {0, 0, 255, 255}},
                          {2, 0, {0, 0, 255, 255}},
                          {3, 0, {0, 0, 0, 255}}});

  // The same stream without its end marker, cut short: nothing.
  Bytes cut(bytes.begin(), bytes.end() - 4);
  EXPECT_FALSE(decodePicture(cut));
}

TEST(PictureDecoding, EveryTruncationOfEveryKindGivesNothing) {
  const RgbaImage image = quadrants(9, 7);
  struct Case {
    const char* name;
    Bytes bytes;
    std::size_t keep;  // trailing bytes a reader may never look at
  };
  const Case cases[] = {
      {"png", test::encodePng(image, true), 12},  // IEND
      {"jpeg", test::encodeJpeg(image), 2},       // EOI
      {"bmp", test::encodeBmp(image, 24), 0},
      {"ico", test::encodeIco(image, IconKind::Bitmap24Masked), 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(decodePicture(c.bytes)) << c.name;
    for (std::size_t length = 0; length + c.keep < c.bytes.size(); ++length) {
      Bytes cut(c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(length));
      EXPECT_FALSE(decodePicture(cut)) << c.name << " cut to " << length << " bytes";
    }
  }
}

// Random bytes overwritten: whatever the decoders make of it, they stay in
// bounds (the sanitizers watch) and never hand out a picture whose pixel
// buffer does not match its size.
TEST(PictureDecoding, CorruptedFilesNeverBreakTheDecoders) {
  const RgbaImage image = quadrants(16, 10);
  const Bytes originals[] = {test::encodePng(image, true),
                             test::encodeJpeg(image),
                             test::encodeBmp(image, 32),
                             test::encodeBmp8(16, 10, Bytes(160, 1), {0, 0xFFFFFF}),
                             test::encodeIco(image, IconKind::Bitmap32),
                             test::encodeIco(image, IconKind::Png)};
  std::mt19937 random(20240611);
  int decoded = 0;
  int refused = 0;
  for (const Bytes& original : originals) {
    for (int round = 0; round < 150; ++round) {
      Bytes bytes = original;
      const int changes = 1 + static_cast<int>(random() % 6);
      for (int i = 0; i < changes; ++i) {
        // Headers are where damage hurts; hit them more often.
        const std::size_t span = random() % 2 ? std::min<std::size_t>(bytes.size(), 64) : bytes.size();
        bytes[random() % span] = static_cast<std::uint8_t>(random());
      }
      std::optional<Picture> picture = decodePicture(bytes);
      if (!picture) {
        ++refused;
        continue;
      }
      ++decoded;
      ASSERT_TRUE(acceptablePictureSize(picture->width, picture->height));
      ASSERT_EQ(picture->rgba.size(), static_cast<std::size_t>(picture->width) * picture->height * 4);
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(decoded, 0);
}

TEST(PictureDecoding, HostileHeadersAreRefusedBeforeAnyLargeAllocation) {
  const RgbaImage image = quadrants(4, 4);
  struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
    Bytes base;
  };
  const Bytes bmp = test::encodeBmp(image, 24);
  const Bytes ico = test::encodeIco(image, IconKind::Bitmap32);
  const Bytes palette = test::encodeBmp8(4, 4, Bytes(16, 0), {0, 0xFFFFFF});
  const Case cases[] = {
      {"bmp huge width", [](Bytes& b) { test::putU32(b, 18, 0x7FFFFFFF); }, bmp},
      {"bmp huge height", [](Bytes& b) { test::putU32(b, 22, 0x40000000); }, bmp},
      {"bmp most negative height", [](Bytes& b) { test::putU32(b, 22, 0x80000000); }, bmp},
      {"bmp zero width", [](Bytes& b) { test::putU32(b, 18, 0); }, bmp},
      {"bmp pixels past the end", [](Bytes& b) { test::putU32(b, 10, 0xFFFFFFF0); }, bmp},
      {"bmp pixels inside the header", [](Bytes& b) { test::putU32(b, 10, 20); }, bmp},
      {"bmp header larger than the file", [](Bytes& b) { test::putU32(b, 14, 0xFFFF); }, bmp},
      {"bmp bit count 7", [](Bytes& b) { test::putU16(b, 28, 7); }, bmp},
      {"bmp embedded jpeg", [](Bytes& b) { test::putU32(b, 30, 4); }, bmp},
      {"bmp run lengths on 24 bits", [](Bytes& b) { test::putU32(b, 30, 1); }, bmp},
      {"bmp palette of a billion colours", [](Bytes& b) { test::putU32(b, 46, 1000000000); }, palette},
      {"bmp palette past the end", [](Bytes& b) { b.resize(60); }, palette},
      {"ico image past the end", [](Bytes& b) { test::putU32(b, 18, 0xFFFFFF00); }, ico},
      {"ico image size past the end", [](Bytes& b) { test::putU32(b, 14, 0x7FFFFFFF); }, ico},
      {"ico 65535 entries", [](Bytes& b) { test::putU16(b, 4, 0xFFFF); }, ico},
      {"ico no entries", [](Bytes& b) { test::putU16(b, 4, 0); }, ico},
      {"ico huge bitmap", [](Bytes& b) { test::putU32(b, 22 + 4, 0x7FFFFFFF); }, ico},
      {"ico top-down bitmap", [](Bytes& b) { test::putU32(b, 22 + 8, static_cast<std::uint32_t>(-8)); }, ico},
  };
  for (const Case& c : cases) {
    Bytes bytes = c.base;
    c.damage(bytes);
    EXPECT_FALSE(decodePicture(bytes)) << c.name;
  }
}

// Every scan is a pass over the whole picture: a file of hundreds of
// near-empty scans costs minutes. Up to 100 are read; the files are sound,
// as an independent reader shows, so only the count refuses them.
TEST(PictureDecoding, ProgressiveJpegsOfMoreThanAHundredScansAreRefused) {
  const RgbaImage image = quadrants(48, 32);
  test::TempFolder folder;
  struct Case {
    int scans;
    bool decoded;
  };
  const Case cases[] = {{10, true}, {100, true}, {101, false}, {190, false}};
  std::vector<std::string> paths;
  for (const Case& c : cases) {
    const Bytes bytes = test::encodeProgressiveJpeg(image, c.scans);
    paths.push_back(folder.write(std::to_string(c.scans) + ".jpg", test::asText(bytes)));
    std::optional<Picture> picture = decodeJpeg(bytes);
    EXPECT_EQ(picture.has_value(), c.decoded) << c.scans << " scans";
    if (picture) expectPixels(*picture, {{2, 2, {255, 40, 30, 255}}, {40, 28, {20, 60, 250, 255}}}, 8);
  }
  const auto seen = test::identifyFiles(paths);
  for (const std::string& path : paths) {
    ASSERT_EQ(seen.count(path), 1u) << path << " is no sound JPEG";
    EXPECT_EQ(seen.at(path).width, 48) << path;
  }
}

TEST(PictureDecoding, UnknownContentAndUnreadableFilesGiveNothing) {
  EXPECT_FALSE(decodePicture(Bytes{}));
  EXPECT_FALSE(decodePicture(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}));
  EXPECT_FALSE(readPicture("/nonexistent/logo.png"));
  EXPECT_FALSE(readPicture("/"));
}

TEST(PictureCanvas, KeepsStraightColoursThroughThePremultipliedSurface) {
  std::optional<Picture> picture = decodePicture(test::encodePng(quadrants(), true));
  ASSERT_TRUE(picture);
  Canvas canvas = pictureCanvas(*picture);
  ASSERT_TRUE(canvas.valid());
  for (auto [x, y] : {std::pair{1, 1}, {10, 1}, {10, 6}}) {
    const Rgba expected = picture->pixel(x, y);
    const Rgba actual = canvas.pixel(x, y);
    EXPECT_EQ(actual.alpha, expected.alpha);
    if (expected.alpha == 0) continue;
    // Premultiplied storage loses at most a step at half alpha.
    EXPECT_NEAR(actual.red, expected.red, 1);
    EXPECT_NEAR(actual.green, expected.green, 1);
    EXPECT_NEAR(actual.blue, expected.blue, 1);
  }
}

}  // namespace
}  // namespace qm
