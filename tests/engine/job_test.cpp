// The conversion job end to end: what fails and leaves nothing behind,
// the sizes and depths it reports and writes, and where the output goes.
#include <gtest/gtest.h>

#include "conversion_fixture.h"
#include "engine/naming.h"
#include "platform/clock.h"
#include "platform/paths.h"

namespace qm::test {
namespace {

class ConversionJob : public ConversionTest {};

TEST_F(ConversionJob, UnreadableInputsFailWithoutOutputOrTemporaryFile) {
  const std::string png = [] {
    TempFolder scratch;
    Bitmap picture(FreeImage_Allocate(8, 8, 24));
    FreeImage_Save(FIF_PNG, picture.get(), (scratch / "p.png").c_str(), 0);
    return readFileBytes(scratch / "p.png");
  }();
  // Cut inside the file header. (A document cut later still decodes: the
  // reader fills what is missing with black.)
  const std::string header = encodePsd(colourfulRgb(16, 16, PsdCompression::Raw)).substr(0, 20);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty.psd", ""},
      {"picture.psd", png},
      {"text.psd", "Just some words, not a document.\n"},
      {"cut-short.psd", header},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string input = folder.write(std::string("in/") + c.name, c.bytes);
    for (const char* extension : {"png", "psd", "bmp"}) {
      settings.bmpColorTable = 1;
      JobResult result = convert(input, extension, std::string(extension) == "bmp" ? 8 : 0);
      EXPECT_FALSE(result.written);
      EXPECT_TRUE(result.outputPath.empty());
    }
  }
  JobResult missing = convert(inputFolder + "no-such.psd", "png");
  EXPECT_FALSE(missing.written);
  EXPECT_TRUE(folderEntries(outputFolder).empty());
}

TEST_F(ConversionJob, IconsAreCappedAt128Squared) {
  struct Case {
    unsigned width, height, expectedWidth, expectedHeight;
  } cases[] = {
      {200, 50, 128, 128}, {300, 200, 128, 128}, {128, 300, 128, 128}, {129, 1, 128, 128}, {100, 100, 100, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    settings.filenameMask = "%filename%_%width%x%height%.%ext%";
    const std::string input = document("icon" + std::to_string(c.width) + "x" + std::to_string(c.height) + ".psd",
                                       colourfulRgb(c.width, c.height));
    JobResult result = convert(input, "ico");
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.width, static_cast<int>(c.expectedWidth));
    EXPECT_EQ(result.height, static_cast<int>(c.expectedHeight));
    EXPECT_EQ(platform::fileNamePart(result.outputPath),
              platform::fileNamePart(input).substr(0, platform::fileNamePart(input).size() - 4) + "_" +
                  std::to_string(c.expectedWidth) + "x" + std::to_string(c.expectedHeight) + ".ico");
    Bitmap output = readBack(result.outputPath);
    ASSERT_TRUE(output);
    EXPECT_EQ(output.width(), c.expectedWidth);
    EXPECT_EQ(output.height(), c.expectedHeight);
    // Other formats are never capped.
    JobResult png = convert(input, "png");
    EXPECT_EQ(png.width, static_cast<int>(c.width));
    EXPECT_EQ(png.height, static_cast<int>(c.height));
  }
}

// An image within the cap keeps its size, and FreeImage's icon writer
// takes square ones only: a small oblong icon fails, cleanly.
TEST_F(ConversionJob, SmallOblongIconsKeepTheirSizeAndAreRefusedByTheWriter) {
  const std::string input = document("oblong.psd", colourfulRgb(100, 128));
  JobResult result = convert(input, "ico");
  EXPECT_FALSE(result.written);
  EXPECT_EQ(result.width, 100);
  EXPECT_EQ(result.height, 128);
  EXPECT_TRUE(folderEntries(outputFolder).empty());
}

TEST_F(ConversionJob, ReportsSourceDepthAndTheDepthItWrote) {
  struct Case {
    const char* name;
    PsdImage image;
    const char* extension;
    int setting;
    int source;
    int written;
  } cases[] = {
      {"rgb.psd", colourfulRgb(20, 10), "png", 0, 24, 24},    {"rgb.psd", colourfulRgb(20, 10), "jpg", 0, 24, 24},
      {"rgba.psd", rgbaStripes(20, 10), "jpg", 0, 32, 24},    {"grey.psd", greyRamp(20, 10, 8), "jpg", 0, 8, 8},
      {"grey16.psd", greyRamp(20, 10, 16), "png", 0, 16, 24}, {"grey16.psd", greyRamp(20, 10, 16), "bmp", 0, 16, 16},
      {"deep.psd", deepRgb(20, 10), "png", 0, 48, 48},        {"deepa.psd", deepRgb(20, 10, 4), "tiff", 0, 64, 96},
      {"bits.psd", bitmapChecks(20, 10), "gif", 0, 1, 8},     {"rgb.psd", colourfulRgb(20, 10), "psd", 0, 24, 32},
      {"rgb.psd", colourfulRgb(20, 10), "pcx", 0, 24, 24},    {"rgb.psd", colourfulRgb(20, 10), "tiff", 4, 24, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " as " + c.extension);
    settings.filenameMask = "%filename%_%bpp%.%ext%";
    JobResult result = convert(document(c.name, c.image), c.extension, c.setting);
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.sourceBitDepth, c.source);
    EXPECT_EQ(result.bitDepth, c.written);
    EXPECT_EQ(platform::fileNamePart(result.outputPath), std::string(c.name).substr(0, std::string(c.name).size() - 4) +
                                                             "_" + std::to_string(c.written) + "." + c.extension);
    Bitmap output = readBack(result.outputPath);
    ASSERT_TRUE(output);
    EXPECT_EQ(static_cast<int>(output.bpp()), c.written);
  }
}

TEST_F(ConversionJob, TransparentAreasTurnWhiteOnlyWhereAlphaCannotBeKept) {
  PsdImage image = colourfulRgb(40, 40, PsdCompression::Raw, 4);
  for (unsigned y = 0; y < 40; ++y)
    for (unsigned x = 0; x < 40; ++x) image.at(3, x, y) = x < 20 ? 0 : 255;
  const std::string input = document("half.psd", image);

  JobResult jpg = convert(input, "jpg");
  ASSERT_TRUE(jpg.written);
  Bitmap flattened = readBack(jpg.outputPath);
  ASSERT_TRUE(flattened);
  // Away from the edge the JPEG holds plain white where it was clear.
  for (unsigned y = 4; y < 36; y += 8) {
    Pixel c = pixelAt(flattened, 6, y);
    EXPECT_GE(c.red, 250);
    EXPECT_GE(c.green, 250);
    EXPECT_GE(c.blue, 250);
  }
  for (const char* extension : {"png", "tga", "webp"}) {
    SCOPED_TRACE(extension);
    JobResult kept = convert(input, extension);
    ASSERT_TRUE(kept.written);
    Bitmap output = readBack(kept.outputPath);
    ASSERT_TRUE(output);
    ASSERT_EQ(output.bpp(), 32u);
    EXPECT_EQ(pixelAt(output, 5, 5).alpha, 0);
    EXPECT_EQ(pixelAt(output, 30, 5).alpha, 255);
  }
}

TEST_F(ConversionJob, OutputNamesFollowTheMask) {
  const std::string holiday = document("Holiday.psd", colourfulRgb(12, 8));
  settings.filenameMask = "Photo_%n%_%FILENAME%.%EXT[U]%";
  JobResult photo = convert(holiday, "jpg", 0, "", 1);
  ASSERT_TRUE(photo.written);
  EXPECT_EQ(photo.outputPath, outputFolder + "photo_00001_Holiday.JPG");
  EXPECT_TRUE(platform::isRegularFile(outputFolder + "photo_00001_Holiday.JPG"));

  settings.filenameMask = "%filename%.%ext%";
  JobResult report = convert(document("Report.2018.psd", colourfulRgb(12, 8)), "png");
  EXPECT_EQ(report.outputPath, outputFolder + "Report.2018.png");
  EXPECT_TRUE(platform::isRegularFile(report.outputPath));

  settings.filenameMask = "%FILENAME%";
  JobResult bare = convert(holiday, "png");
  EXPECT_EQ(bare.outputPath, outputFolder + "Holiday");
  Bitmap output = readBack(bare.outputPath);
  ASSERT_TRUE(output);
  EXPECT_EQ(FreeImage_GetFileType(bare.outputPath.c_str(), 0), FIF_PNG);
}

TEST_F(ConversionJob, SubFoldersAreMirroredWhenKept) {
  const std::string input = document("x.psd", colourfulRgb(12, 8));
  settings.keepSubfolders = 1;
  createSubFolders(outputFolder, "a/b/");
  JobResult kept = convert(input, "png", 0, "a/b/");
  ASSERT_TRUE(kept.written);
  EXPECT_EQ(kept.outputPath, outputFolder + "a/b/x.png");
  EXPECT_TRUE(platform::isRegularFile(outputFolder + "a/b/x.png"));
  // The temporary file lay beside the output, in the same folder.
  EXPECT_EQ(platform::folderPart(kept.temporaryOutputPath), outputFolder + "a/b/");

  settings.keepSubfolders = 0;
  JobResult flat = convert(input, "png", 0, "a/b/");
  ASSERT_TRUE(flat.written);
  EXPECT_EQ(flat.outputPath, outputFolder + "x.png");
  EXPECT_EQ(platform::folderPart(flat.temporaryOutputPath), outputFolder);

  // A kept sub-folder nobody created makes the file fail.
  settings.keepSubfolders = 1;
  JobResult missing = convert(input, "png", 0, "not/made/");
  EXPECT_FALSE(missing.written);
}

TEST_F(ConversionJob, TemporaryNameIsHiddenPlainLettersAndGoneAfterTheWrite) {
  const std::string input = document("x.psd", colourfulRgb(12, 8));
  for (const char* extension : {"png", "psd", "dds", "pcx"}) {
    SCOPED_TRACE(extension);
    JobResult result = convert(input, extension);
    ASSERT_TRUE(result.written);
    const std::string name = platform::fileNamePart(result.temporaryOutputPath);
    ASSERT_EQ(name.rfind(".quillmark", 0), 0u) << name;
    const std::string letters = name.substr(10, name.find('.', 1) - 10);
    // The local date in letters a..j, then five random letters a..z.
    const std::string date = std::to_string(platform::nowLocalDate());
    ASSERT_EQ(letters.size(), date.size() + 5);
    for (std::size_t i = 0; i < date.size() - 2; ++i) EXPECT_EQ(letters[i], 'a' + (date[i] - '0')) << name;
    for (char c : letters) EXPECT_TRUE(c >= 'a' && c <= 'z') << name;
    // Nothing that looks for images by their ending takes it for one.
    EXPECT_EQ(name.substr(name.find('.', 1) + 1), std::string(extension) + ".part");
    EXPECT_FALSE(platform::pathExists(result.temporaryOutputPath));
  }
  EXPECT_TRUE(noTemporaryFiles(outputFolder));
}

TEST_F(ConversionJob, OriginalTimestampReachesTheWrittenFile) {
  const std::string input = document("x.psd", colourfulRgb(12, 8));
  ASSERT_TRUE(platform::setModificationTime(input, 1000000000));
  settings.fileTimestamp = 1;
  JobResult result = convert(input, "psd");
  ASSERT_TRUE(result.written);
  applyFileTimestamp(settings, input, result.outputPath);
  EXPECT_EQ(platform::modificationTime(result.outputPath), std::optional<std::time_t>(1000000000));
}

}  // namespace
}  // namespace qm::test
