// The image steps end to end: the real program converts a small document
// with one step switched on from the command line, and the output is read
// back with FreeImage.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/image_readback.h"
#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

using test::Pixel;
using test::pixelAt;

constexpr unsigned kWidth = 40, kHeight = 30;
const Pixel kBackground{200, 100, 50}, kMarker{0, 0, 255}, kWhite{255, 255, 255};

// 40 x 30 in the background colour, a 2 x 2 marker in the top-right corner
// and a 4 x 4 white block in the bottom-left one.
test::PsdImage sourceDocument(unsigned width = kWidth, unsigned height = kHeight) {
  test::PsdImage image(test::PsdColourMode::Rgb, width, height, 8, 3);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) {
      Pixel c = kBackground;
      if (x >= width - 2 && y < 2) c = kMarker;
      if (x < 4 && y >= height - 4) c = kWhite;
      image.setPixel(x, y, static_cast<std::uint16_t>(c.red), static_cast<std::uint16_t>(c.green),
                     static_cast<std::uint16_t>(c.blue));
    }
  return image;
}

test::DocumentConversion convert(const std::vector<std::string>& options, const std::string& extension = "png",
                                 const test::PsdImage& document = sourceDocument()) {
  return test::convertDocument(document, options, extension);
}

bool near(const Pixel& a, const Pixel& b, int tolerance) {
  return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
         std::abs(a.blue - b.blue) <= tolerance;
}

using Check = std::function<void(const Bitmap&)>;

void expectSize(const Bitmap& image, unsigned width, unsigned height) {
  EXPECT_EQ(image.width(), width);
  EXPECT_EQ(image.height(), height);
}

void expectPixel(const Bitmap& image, unsigned x, unsigned y, const Pixel& expected, int tolerance = 0) {
  const Pixel actual = pixelAt(image, x, y);
  EXPECT_TRUE(near(actual, expected, tolerance))
      << "at " << x << "," << y << ": " << test::describe(actual) << " instead of " << test::describe(expected);
}

TEST(StepsFromCommandLine, EachStepShowsInTheOutput) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    Check check;
  };
  const Case cases[] = {
      {"simple rotation",
       {"--rotation=90"},
       [](const Bitmap& image) {
         expectSize(image, kHeight, kWidth);
         expectPixel(image, 0, 0, kMarker);  // counter-clockwise: top-right goes to top-left
         expectPixel(image, kHeight - 1, kWidth - 1, kWhite);
       }},
      {"advanced rotation",
       {"--rotation=90", "--rotation-type=ADVANCED"},
       [](const Bitmap& image) { expectSize(image, kWidth, kHeight); }},
      {"background of a rotation",
       {"--rotation=45", "--rotation-back-color=00FF00"},
       [](const Bitmap& image) {
         EXPECT_GT(image.width(), kWidth);
         expectPixel(image, 0, 0, {0, 255, 0});
         expectPixel(image, image.width() / 2, image.height() / 2, kBackground);
       }},
      {"resize in pixels", {"--width=20", "--height=15"}, [](const Bitmap& image) { expectSize(image, 20, 15); }},
      {"resize in percent",
       {"--width=50", "--width-unit=PERCENT", "--height=200", "--height-unit=PERCENT", "--resize-algorithm=LANCZOS"},
       [](const Bitmap& image) {
         expectSize(image, 20, 60);
         expectPixel(image, 10, 30, kBackground, 2);
       }},
      {"resize keeping the aspect ratio",
       {"--width=80", "--height=1", "--keep-aspect-ratio"},
       [](const Bitmap& image) { expectSize(image, 80, 60); }},
      {"large images only",
       {"--width=100", "--height=100", "--resize-type=LARGEIMAGES"},
       [](const Bitmap& image) { expectSize(image, kWidth, kHeight); }},
      {"horizontal flip",
       {"--flip-horizontal"},
       [](const Bitmap& image) {
         expectPixel(image, 0, 0, kMarker);
         expectPixel(image, kWidth - 1, kHeight - 1, kWhite);
       }},
      {"vertical flip",
       {"--flip-vertical"},
       [](const Bitmap& image) {
         expectPixel(image, kWidth - 1, kHeight - 1, kMarker);
         expectPixel(image, 0, 0, kWhite);
       }},
      {"invert",
       {"--invert"},
       [](const Bitmap& image) {
         expectPixel(image, 10, 10, {55, 155, 205});
         expectPixel(image, 0, kHeight - 1, {0, 0, 0});
       }},
      {"brightness",
       {"--brightness=50"},
       [](const Bitmap& image) {
         const Pixel p = pixelAt(image, 10, 10);
         EXPECT_GT(p.red, kBackground.red);
         EXPECT_GT(p.green, kBackground.green);
         EXPECT_GT(p.blue, kBackground.blue);
       }},
      {"greyscale",
       {"--greyscale"},
       [](const Bitmap& image) {
         // Written at the source's depth again, but grey.
         const Pixel p = pixelAt(image, 10, 10);
         EXPECT_TRUE(p.red == p.green && p.green == p.blue) << test::describe(p);
         EXPECT_NEAR(p.red, 118, 2);
       }},
      {"threshold",
       {"--threshold=128"},
       [](const Bitmap& image) {
         for (unsigned y = 0; y < image.height(); ++y)
           for (unsigned x = 0; x < image.width(); ++x) {
             const Pixel p = pixelAt(image, x, y);
             ASSERT_TRUE(p == (Pixel{0, 0, 0}) || p == kWhite) << x << "," << y << " " << test::describe(p);
           }
         expectPixel(image, 10, 10, {0, 0, 0});
         expectPixel(image, 1, kHeight - 1, kWhite);
       }},
      {"frame on one side",
       {"--fr-solid-left=5", "--fr-solid-left-color=FF0000"},
       [](const Bitmap& image) {
         expectSize(image, kWidth, kHeight);
         for (unsigned x = 0; x < 5; ++x) expectPixel(image, x, 15, {255, 0, 0});
         expectPixel(image, 5, 15, kBackground);
         expectPixel(image, 20, 0, kBackground);
       }},
      {"frame opacity",
       {"--fr-solid-top=6", "--fr-solid-top-color=0000FF", "--fr-solid-opacity=128"},
       [](const Bitmap& image) {
         expectPixel(image, 20, 3, {100, 50, 153}, 1);
         expectPixel(image, 20, 6, kBackground);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const test::DocumentConversion conversion = convert(c.options);
    EXPECT_EQ(conversion.result.exitCode, 0) << conversion.result.out << conversion.result.err;
    ASSERT_TRUE(conversion.output) << conversion.result.out << conversion.result.err;
    c.check(conversion.output);
  }
}

TEST(StepsFromCommandLine, FrameOnAnIconUsesTheCappedSize) {
  const test::DocumentConversion conversion = convert(
      {"--fr-solid-right=10", "--fr-solid-right-color=00FF00", "--fr-solid-bottom=4", "--fr-solid-bottom-color=FF00FF"},
      "ico", sourceDocument(200, 50));
  EXPECT_EQ(conversion.result.exitCode, 0) << conversion.result.out << conversion.result.err;
  const Bitmap& image = conversion.output;
  ASSERT_TRUE(image);
  expectSize(image, 128, 128);
  for (unsigned x = 118; x < 128; ++x) expectPixel(image, x, 64, {0, 255, 0});
  expectPixel(image, 117, 64, kBackground, 2);
  expectPixel(image, 64, 125, {255, 0, 255});
  expectPixel(image, 64, 123, kBackground, 2);
}

}  // namespace
}  // namespace qm
