// Watermarks through the real program: the run refuses a face it cannot
// resolve and a picture file that is missing or empty, and a text and a
// picture stamp show in the written pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/image_readback.h"
#include "support/picture_files.h"
#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

using test::Pixel;
using test::pixelAt;

constexpr unsigned kWidth = 120, kHeight = 60;
const Pixel kBackground{30, 90, 150};

// The 120 x 60 document "Photo.psd" in the background colour, converted
// to png with the options.
test::DocumentConversion convert(const std::vector<std::string>& options) {
  test::PsdImage document(test::PsdColourMode::Rgb, kWidth, kHeight, 8, 3);
  for (unsigned y = 0; y < kHeight; ++y)
    for (unsigned x = 0; x < kWidth; ++x) document.setPixel(x, y, 30, 90, 150);
  return test::convertDocument(document, options, "png", "Photo");
}

struct Box {
  unsigned left = kWidth, top = kHeight, right = 0, bottom = 0;
};

Box changedBox(const Bitmap& image) {
  Box box;
  for (unsigned y = 0; y < image.height(); ++y)
    for (unsigned x = 0; x < image.width(); ++x)
      if (!(pixelAt(image, x, y) == kBackground)) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

bool hasError(const test::ProgramResult& result, const std::string& line) {
  for (const std::string& l : result.errLines())
    if (l == line) return true;
  return false;
}

TEST(WatermarkFromCommandLine, AFaceThatCannotBeResolvedRefusesTheRun) {
  test::TempFolder folder;
  const test::DocumentConversion run = convert({"--wm-text=Quillmark", "--wm-font=Nonesuch Display"});
  EXPECT_TRUE(hasError(run.result, "Error: Invalid watermark font")) << run.result.out << run.result.err;
  EXPECT_EQ(run.result.exitCode, 1);
  EXPECT_FALSE(run.outputExists);

  // Letter case does not matter, and the stand-ins cover the usual faces.
  for (const char* face : {"aRiAl", "Tahoma", "Verdana"}) {
    test::TempFolder other;
    const test::DocumentConversion good = convert({"--wm-text=Quillmark", std::string("--wm-font=") + face});
    EXPECT_EQ(good.result.exitCode, 0) << face << good.result.out << good.result.err;
    EXPECT_TRUE(good.output) << face;
  }
}

TEST(WatermarkFromCommandLine, AMissingOrEmptyPictureRefusesTheRun) {
  test::TempFolder folder;
  const std::string empty = folder.write("empty.png", "");
  for (const std::string& path : {folder / "missing.png", empty, folder.str()}) {
    test::TempFolder work;
    const test::DocumentConversion run = convert({"--wm-image=" + path});
    EXPECT_TRUE(hasError(run.result, "Error: Invalid watermark image")) << path << run.result.err;
    EXPECT_EQ(run.result.exitCode, 1);
    EXPECT_FALSE(run.outputExists);
  }
}

TEST(WatermarkFromCommandLine, ATextStampInTheBottomRightCorner) {
  test::TempFolder folder;
  const test::DocumentConversion run =
      convert({"--wm-text=%FILENAME%", "--wm-font-color=FFFF00", "--wm-back-color=FF0000", "--wm-back-opacity=255",
               "--wm-text-padding=2"});
  ASSERT_EQ(run.result.exitCode, 0) << run.result.out << run.result.err;
  ASSERT_TRUE(run.output);
  const Box box = changedBox(run.output);
  EXPECT_EQ(box.right, kWidth - 1 - 10);
  EXPECT_EQ(box.bottom, kHeight - 1 - 10);
  // The padding is the back colour, the text yellow ("Photo" is five
  // letters, far wider than the padding).
  EXPECT_EQ(pixelAt(run.output, box.left, box.top), (Pixel{255, 0, 0}));
  int yellow = 0;
  for (unsigned y = box.top; y <= box.bottom; ++y)
    for (unsigned x = box.left; x <= box.right; ++x) yellow += pixelAt(run.output, x, y) == Pixel{255, 255, 0};
  EXPECT_GT(yellow, 40);
  EXPECT_GT(box.right - box.left, 40u);
}

TEST(WatermarkFromCommandLine, APictureStampAtTheTopLeftWithItsOffsets) {
  test::TempFolder folder;
  test::RgbaImage logo(20, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) logo.set(x, y, 0, 220, 0, x < 10 ? 255 : 0);
  const std::string path = folder.write("logo.png", test::asText(test::encodePng(logo, true)));
  const test::DocumentConversion run =
      convert({"--wm-image=" + path, "--wm-image-position=TOPLEFT", "--wm-image-x-offset=5", "--wm-image-y-offset=3"});
  ASSERT_EQ(run.result.exitCode, 0) << run.result.out << run.result.err;
  ASSERT_TRUE(run.output);
  const Box box = changedBox(run.output);
  EXPECT_EQ(box.left, 5u);
  EXPECT_EQ(box.top, 3u);
  EXPECT_EQ(box.right, 14u);  // the clear half lets the image through
  EXPECT_EQ(box.bottom, 12u);
  EXPECT_EQ(pixelAt(run.output, 8, 7), (Pixel{0, 220, 0}));
}

}  // namespace
}  // namespace qm
