// Output encoding: bit-depth conversion per format, the palette-trimmed
// BMP, DevIL's mipmapped DDS, and the promise that a failed write leaves
// an existing output as it was and no temporary file behind.
#include <IL/il.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "conversion_fixture.h"
#include "platform/paths.h"
#include "support/program_runner.h"

namespace qm::test {
namespace {

class OutputEncoding : public ConversionTest {};

std::uint32_t le32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

TEST_F(OutputEncoding, SixteenBitPixelsUseTheFormatsLayout) {
  const std::string input = document("rgb.psd", colourfulRgb(32, 32));
  struct Case {
    const char* extension;
    unsigned red, green, blue;
  } cases[] = {
      {"bmp", FI16_565_RED_MASK, FI16_565_GREEN_MASK, FI16_565_BLUE_MASK},
      {"tga", FI16_555_RED_MASK, FI16_555_GREEN_MASK, FI16_555_BLUE_MASK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extension);
    JobResult result = convert(input, c.extension, 16);
    ASSERT_TRUE(result.written);
    Bitmap output = readBack(result.outputPath);
    ASSERT_TRUE(output);
    ASSERT_EQ(output.bpp(), 16u);
    EXPECT_EQ(FreeImage_GetRedMask(output.get()), c.red);
    EXPECT_EQ(FreeImage_GetGreenMask(output.get()), c.green);
    EXPECT_EQ(FreeImage_GetBlueMask(output.get()), c.blue);
  }
  // FreeImage reads icons back without masks, so the icon's own bitmap is
  // checked: 16 bits, and the top-right pixel (full red, no green) stored
  // as 5-5-5. (FreeImage's icon writer marks the bitmap as having bit
  // fields but writes none; the pixels follow the header directly.)
  JobResult icon = convert(input, "ico", 16);
  ASSERT_TRUE(icon.written);
  const std::string bytes = readFileBytes(icon.outputPath);
  const std::uint32_t dib = le32(bytes, 6 + 12);
  const std::size_t topRight = dib + 40 + 31 * 64 + 31 * 2;
  ASSERT_GT(bytes.size(), topRight + 1);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[dib + 14]), 16);
  const unsigned pixel =
      static_cast<std::uint8_t>(bytes[topRight]) | (static_cast<std::uint8_t>(bytes[topRight + 1]) << 8);
  EXPECT_EQ(pixel >> 15, 0u);
  EXPECT_EQ((pixel >> 10) & 0x1F, 31u);
  EXPECT_EQ((pixel >> 5) & 0x1F, 0u);
}

TEST_F(OutputEncoding, EightBitsIsGreyForJpegFamiliesAndAnAdaptivePaletteElsewhere) {
  const std::string input = document("rgb.psd", colourfulRgb(64, 48));
  std::vector<std::string> quantised, grey;
  for (const char* extension : {"gif", "png", "bmp", "tiff", "tga"}) {
    SCOPED_TRACE(extension);
    JobResult result = convert(input, extension, 8);
    ASSERT_TRUE(result.written);
    Bitmap output = readBack(result.outputPath);
    ASSERT_TRUE(output);
    EXPECT_EQ(output.bpp(), 8u);
    EXPECT_EQ(FreeImage_GetColorType(output.get()), FIC_PALETTE);
    quantised.push_back(result.outputPath);
  }
  for (const char* extension : {"jpg", "j2k", "jp2"}) {
    SCOPED_TRACE(extension);
    JobResult result = convert(input, extension, 8);
    ASSERT_TRUE(result.written);
    Bitmap output = readBack(result.outputPath);
    ASSERT_TRUE(output);
    EXPECT_EQ(output.bpp(), 8u);
    EXPECT_EQ(FreeImage_GetColorType(output.get()), FIC_MINISBLACK);
    grey.push_back(result.outputPath);
  }
  auto seen = identifyFiles(quantised, true);
  for (const std::string& path : quantised) {
    ASSERT_TRUE(seen.count(path)) << path;
    EXPECT_LE(seen[path].colours, 256) << path;
    EXPECT_GT(seen[path].colours, 16) << path;  // a real palette, not a few greys
  }
  // A palette of colours is no grey image yet, at whatever depth it came.
  for (const auto& [name, image] : std::vector<std::pair<std::string, PsdImage>>{
           {"indexed.psd", indexedBands(30, 20, 6)}, {"bitmap.psd", bitmapChecks(30, 20)}}) {
    SCOPED_TRACE(name);
    JobResult result = convert(document(name, image), "jpg", 8);
    ASSERT_TRUE(result.written);
    Bitmap output = readBack(result.outputPath);
    ASSERT_TRUE(output);
    EXPECT_EQ(output.bpp(), 8u);
    EXPECT_EQ(FreeImage_GetColorType(output.get()), FIC_MINISBLACK);
    grey.push_back(result.outputPath);
  }
  auto greys = identifyFiles(grey);
  for (const std::string& path : grey) {
    ASSERT_TRUE(greys.count(path)) << path;
    EXPECT_EQ(greys[path].type, "Grayscale") << path;
  }
}

// The GIF encoder hands empty blocks to the writer for some pictures (a
// single pixel among them); those are no failed writes.
TEST_F(OutputEncoding, ASinglePixelBecomesAGif) {
  JobResult result = convert(document("dot.psd", colourfulRgb(1, 1)), "gif");
  ASSERT_TRUE(result.written);
  Bitmap output = readBack(result.outputPath);
  ASSERT_TRUE(output);
  EXPECT_EQ(output.width(), 1u);
}

TEST_F(OutputEncoding, WideTargetsWidenWithoutInventingPrecision) {
  PsdImage image = colourfulRgb(16, 8);
  const std::string input = document("rgb.psd", image);
  struct Case {
    const char* extension;
    int depth;
    FREE_IMAGE_TYPE type;
  } cases[] = {{"png", 48, FIT_RGB16}, {"tiff", 48, FIT_RGB16}, {"ppm", 48, FIT_RGB16}, {"exr", 96, FIT_RGBF},
               {"hdr", 96, FIT_RGBF},  {"pfm", 96, FIT_RGBF},   {"tiff", 96, FIT_RGBF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.extension) + " " + std::to_string(c.depth));
    JobResult result = convert(input, c.extension, c.depth);
    ASSERT_TRUE(result.written);
    Bitmap output = readBack(result.outputPath);
    ASSERT_TRUE(output);
    EXPECT_EQ(FreeImage_GetImageType(output.get()), c.type);
    if (c.type != FIT_RGB16) continue;
    // Each 16-bit sample carries the 8-bit value in its high byte.
    const FIRGB16* top = reinterpret_cast<const FIRGB16*>(FreeImage_GetScanLine(output.get(), 7));
    for (unsigned x = 0; x < 16; ++x) {
      EXPECT_EQ(top[x].red >> 8, image.at(0, x, 0));
      EXPECT_EQ(top[x].green >> 8, image.at(1, x, 0));
      EXPECT_EQ(top[x].blue >> 8, image.at(2, x, 0));
    }
  }
}

TEST_F(OutputEncoding, OneBitTargetsAreDitheredBlackAndWhite) {
  const std::string input = document("grey.psd", greyRamp(40, 20, 8));
  for (const char* extension : {"pbm", "wbmp", "png", "bmp", "tiff"}) {
    SCOPED_TRACE(extension);
    JobResult result = convert(input, extension, 1);
    ASSERT_TRUE(result.written);
    Bitmap output = readBack(result.outputPath);
    ASSERT_TRUE(output);
    EXPECT_EQ(output.bpp(), 1u);
  }
}

TEST_F(OutputEncoding, PaletteTrimmedBmpKeepsOnlyTheUsedEntries) {
  const PsdImage image = indexedBands(23, 7, 6);
  const std::string input = document("six.psd", image);
  settings.bmpColorTable = 1;
  // A code other than 0 and 1 (only an edited settings file holds one)
  // writes uncompressed and says so in the header.
  for (int compression : {0, 1, 5}) {
    SCOPED_TRACE("BMP Compression " + std::to_string(compression));
    settings.bmpCompression = compression;
    JobResult result = convert(input, "bmp", 8);
    ASSERT_TRUE(result.written);
    const std::string bytes = readFileBytes(result.outputPath);
    ASSERT_GE(bytes.size(), 78u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(le32(bytes, 2), bytes.size());
    EXPECT_EQ(le32(bytes, 10), 78u);  // 14 + 40 + 6 x 4
    EXPECT_EQ(le32(bytes, 14 + 16), compression == 1 ? 1u : 0u);
    EXPECT_EQ(le32(bytes, 14 + 20), bytes.size() - 78);
    EXPECT_EQ(le32(bytes, 14 + 32), 6u);
    EXPECT_EQ(le32(bytes, 14 + 36), 6u);
    for (unsigned i = 0; i < 6; ++i) {
      EXPECT_EQ(static_cast<std::uint8_t>(bytes[54 + 4 * i + 2]), image.palette[i][0]);
      EXPECT_EQ(static_cast<std::uint8_t>(bytes[54 + 4 * i + 1]), image.palette[i][1]);
      EXPECT_EQ(static_cast<std::uint8_t>(bytes[54 + 4 * i + 0]), image.palette[i][2]);
    }
    // FreeImage cannot decode the RLE8 bitmaps its own encoder writes (not
    // even untrimmed ones); ImageMagick decodes those for the comparison.
    std::string decodable = result.outputPath;
    if (compression == 1) {
      decodable = folder / "decoded.png";
      ProgramOptions options;
      options.program = "/usr/bin/convert";
      ASSERT_EQ(runProgram({result.outputPath, decodable}, options).exitCode, 0);
    }
    Bitmap output = readBack(decodable);
    ASSERT_TRUE(output);
    ASSERT_LE(output.bpp(), 8u);
    for (unsigned y = 0; y < 7; ++y)
      for (unsigned x = 0; x < 23; ++x) {
        const auto& entry = image.palette[image.at(0, x, y)];
        ASSERT_EQ(pixelAt(output, x, y), (Pixel{entry[0], entry[1], entry[2], 255})) << x << "," << y;
      }
    auto seen = identifyFiles({result.outputPath}, true);
    ASSERT_TRUE(seen.count(result.outputPath));
    EXPECT_EQ(seen[result.outputPath].width, 23);
    EXPECT_EQ(seen[result.outputPath].height, 7);
    EXPECT_EQ(seen[result.outputPath].colours, 6);
  }
  // With the full table asked for, FreeImage's own 256 entries stay.
  settings.bmpColorTable = 0;
  settings.bmpCompression = 0;
  JobResult full = convert(input, "bmp", 8);
  ASSERT_TRUE(full.written);
  EXPECT_EQ(le32(readFileBytes(full.outputPath), 10), 1078u);
}

TEST_F(OutputEncoding, DdsCarriesEveryMipmapDownToOnePixel) {
  const std::string input = document("rgb.psd", colourfulRgb(64, 16));
  JobResult result = convert(input, "dds");
  ASSERT_TRUE(result.written);

  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  ASSERT_TRUE(ilLoad(IL_DDS, result.outputPath.c_str()));
  const ILint levels = ilGetInteger(IL_NUM_MIPMAPS);
  EXPECT_EQ(levels, 6);  // 32x8, 16x4, 8x2, 4x1, 2x1, 1x1
  unsigned width = 64, height = 16;
  for (ILint level = 0; level <= levels; ++level) {
    ilBindImage(image);
    ASSERT_TRUE(ilActiveMipmap(static_cast<ILuint>(level)));
    EXPECT_EQ(ilGetInteger(IL_IMAGE_WIDTH), static_cast<ILint>(width)) << "level " << level;
    EXPECT_EQ(ilGetInteger(IL_IMAGE_HEIGHT), static_cast<ILint>(height)) << "level " << level;
    width = std::max(1u, width / 2);
    height = std::max(1u, height / 2);
  }
  EXPECT_EQ(width, 1u);
  ilDeleteImages(1, &image);

  Bitmap output = readBack(result.outputPath);
  ASSERT_TRUE(output);
  EXPECT_EQ(output.width(), 64u);
  auto seen = identifyFiles({result.outputPath});
  ASSERT_TRUE(seen.count(result.outputPath));
  EXPECT_EQ(seen[result.outputPath].width, 64);
}

TEST_F(OutputEncoding, EveryWriterReplacesAnExistingOutput) {
  const std::string input = document("x.psd", colourfulRgb(20, 12));
  settings.bmpColorTable = 1;
  struct Case {
    const char* extension;
    int depth;
  } cases[] = {{"png", 0}, {"psd", 0}, {"pcx", 0}, {"dds", 0}, {"bmp", 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extension);
    const std::string output = outputFolder + "x." + c.extension;
    folder.write("out/x." + std::string(c.extension), "old contents");
    JobResult result = convert(input, c.extension, c.depth);
    ASSERT_TRUE(result.written);
    Bitmap replaced = readBack(output);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced.width(), 20u);
  }
  EXPECT_TRUE(noTemporaryFiles(outputFolder));
}

// Each case makes the write fail in its own way; the old file must come
// through untouched and the folder must hold nothing else.
TEST_F(OutputEncoding, AFailedWriteLeavesTheExistingOutputAlone) {
  const std::string input = document("x.psd", colourfulRgb(20, 12));
  struct Case {
    const char* why;
    const char* extension;
    int depth;
  } cases[] = {
      {"FreeImage's GIF writer refuses 24 bits", "gif", 24},
      {"FreeImage's icon writer refuses oblong icons", "ico", 0},
      {"no format has 7 bits", "png", 7},
      {"the DevIL writer takes only 24 and 32 bits", "psd", 16},
      {"the DevIL writer takes only 24 and 32 bits", "pcx", 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string output = folder.write("out/x." + std::string(c.extension), "old contents");
    JobResult result = convert(input, c.extension, c.depth);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(readFileBytes(output), "old contents");
    EXPECT_EQ(folderEntries(outputFolder), std::vector<std::string>{"x." + std::string(c.extension)});
    std::remove(output.c_str());
  }
}

TEST_F(OutputEncoding, AFolderInTheOutputsPlaceFailsEveryWriterCleanly) {
  const std::string input = document("x.psd", colourfulRgb(20, 12));
  settings.bmpColorTable = 1;
  for (const auto& [extension, depth] : std::vector<std::pair<std::string, int>>{{"png", 0}, {"psd", 0}, {"bmp", 8}}) {
    SCOPED_TRACE(extension);
    folder.write("out/x." + extension + "/keep.txt", "kept");
    JobResult result = convert(input, extension, depth);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(readFileBytes(outputFolder + "x." + extension + "/keep.txt"), "kept");
    EXPECT_TRUE(noTemporaryFiles(outputFolder));
  }
}

// A disk that fills up mid-write: the process may not grow any file past a
// limit. The libraries' encoders do not all notice; the writers must.
TEST_F(OutputEncoding, AFullDiskNeverReplacesAnOutputWithATruncatedFile) {
  const std::string input = document("big.psd", colourfulRgb(300, 200, PsdCompression::Raw));
  settings.bmpColorTable = 1;
  settings.pngCompression = 0;
  struct Case {
    const char* extension;
    int depth;
  } cases[] = {{"png", 0}, {"tiff", 0}, {"bmp", 0}, {"bmp", 8}, {"psd", 0}, {"pcx", 0}, {"dds", 0}, {"jxr", 0}};
  for (const Case& c : cases) {
    for (bool full : {false, true}) {
      SCOPED_TRACE(std::string(c.extension) + " " + std::to_string(c.depth) + (full ? " full disk" : " room"));
      const std::string output = folder.write("out/big." + std::string(c.extension), "old contents");
      std::fflush(nullptr);
      pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        if (full) {
          std::signal(SIGXFSZ, SIG_IGN);
          rlimit limit{8000, 8000};
          setrlimit(RLIMIT_FSIZE, &limit);
        }
        JobResult result = convert(input, c.extension, c.depth);
        _exit(result.written ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), full ? 1 : 0);
      if (full)
        EXPECT_EQ(readFileBytes(output), "old contents");
      else
        EXPECT_GT(readFileBytes(output).size(), 8000u);
      EXPECT_EQ(folderEntries(outputFolder), std::vector<std::string>{"big." + std::string(c.extension)});
      std::remove(output.c_str());
    }
  }
}

}  // namespace
}  // namespace qm::test
