// Outputs that other programs must read as the image they are: checked with
// ImageMagick, which shares no code with the writers.
#include <gtest/gtest.h>

#include <IL/il.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "conversion_fixture.h"

namespace qm::test {
namespace {

// ImageMagick's reading of one pixel, "r,g,b" on the 0..255 scale.
std::string magickPixel(const std::string& path, int x, int y) {
  TempFolder scratch;
  const std::string text = scratch / "pixel.txt";
  const std::string command =
      "convert '" + path +
      "' -depth 8 -format '%[fx:int(255*r+.5)],%[fx:int(255*g+.5)],%[fx:int(255*b+.5)]' -crop 1x1+" +
      std::to_string(x) + "+" + std::to_string(y) + " info: > '" + text + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return "unreadable";
  return readFileBytes(text);
}

std::uint32_t le32(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8 |
                                    static_cast<unsigned char>(bytes[at + 2]) << 16) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

class OtherReaders : public ConversionTest {};

// A run-length encoded BMP states its real sizes, so ImageMagick and DevIL
// read it, pixel for pixel the uncompressed file. (FreeImage's own reader
// takes no run-length BMP at all, whoever wrote it.)
TEST_F(OtherReaders, RunLengthBmpStatesItsRealSizes) {
  const std::string input = document("bands.psd", indexedBands(101, 55, 7));
  JobResult plain = convert(input, "bmp", 8);
  ASSERT_TRUE(plain.written) << plain.failure;
  const std::string reference = folder / "plain.bmp";
  std::filesystem::rename(plain.outputPath, reference);
  settings.bmpCompression = 1;
  for (int table : {0, 1}) {
    SCOPED_TRACE(table ? "trimmed colour table" : "full colour table");
    settings.bmpColorTable = static_cast<std::int8_t>(table);
    JobResult packed = convert(input, "bmp", 8);
    ASSERT_TRUE(packed.written) << packed.failure;
    const std::string bytes = readFileBytes(packed.outputPath);
    EXPECT_EQ(le32(bytes, 2), bytes.size());                     // file size
    EXPECT_EQ(le32(bytes, 30), 1u);                              // RLE8
    EXPECT_EQ(le32(bytes, 34), bytes.size() - le32(bytes, 10));  // pixel data size
    const std::string command = "compare -metric AE '" + packed.outputPath + "' '" + reference + "' null: 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << "ImageMagick sees other pixels";
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    EXPECT_EQ(ilLoad(IL_BMP, packed.outputPath.c_str()), IL_TRUE);
    EXPECT_EQ(ilGetInteger(IL_IMAGE_WIDTH), 101);
    ilDeleteImages(1, &image);
  }
}

// A portable bitmap says 1 for black: black must come back black.
TEST_F(OtherReaders, PortableBitmapKeepsBlackBlack) {
  PsdImage image(PsdColourMode::Rgb, 16, 8, 8, 3);
  for (unsigned y = 0; y < 8; ++y)
    for (unsigned x = 0; x < 16; ++x) image.setPixel(x, y, x < 8 ? 0 : 255, x < 8 ? 0 : 255, x < 8 ? 0 : 255);
  JobResult result = convert(document("halves.psd", image), "pbm");
  ASSERT_TRUE(result.written) << result.failure;
  EXPECT_EQ(magickPixel(result.outputPath, 2, 3), "0,0,0");
  EXPECT_EQ(magickPixel(result.outputPath, 13, 3), "255,255,255");
}

// A greymap of a colour document holds its grey levels, not the indices
// of a quantised palette.
TEST_F(OtherReaders, PortableGreymapOfAColourDocumentHoldsGreyLevels) {
  PsdImage image(PsdColourMode::Rgb, 8, 8, 8, 3);
  for (unsigned y = 0; y < 8; ++y)
    for (unsigned x = 0; x < 8; ++x) image.setPixel(x, y, 200, 100, 50);
  JobResult result = convert(document("orange.psd", image), "pgm");
  ASSERT_TRUE(result.written) << result.failure;
  const std::string pixel = magickPixel(result.outputPath, 4, 4);
  const int grey = std::atoi(pixel.c_str());
  // FreeImage's luminance weights (0.2126, 0.7152, 0.0722) give 118;
  // a palette index would be near 0.
  EXPECT_NEAR(grey, 118, 3) << pixel;
}

// An indexed colour document keeps its colours in the JPEG family at the
// automatic depth; an explicit 8 bits gives grey, as asked.
TEST_F(OtherReaders, IndexedColourKeepsItsColoursInTheJpegFamily) {
  PsdImage image(PsdColourMode::Indexed, 40, 40, 8, 1);
  image.palette = {{220, 30, 30}, {30, 30, 220}};
  for (unsigned y = 0; y < 40; ++y)
    for (unsigned x = 0; x < 40; ++x) image.at(0, x, y) = x < 20 ? 0 : 1;
  const std::string input = document("flag.psd", image);
  for (const char* extension : {"jpg", "jp2", "j2k"}) {
    SCOPED_TRACE(extension);
    JobResult automatic = convert(input, extension);
    ASSERT_TRUE(automatic.written) << automatic.failure;
    EXPECT_EQ(automatic.bitDepth, 24);
    const std::string red = magickPixel(automatic.outputPath, 5, 20);
    EXPECT_GT(std::atoi(red.c_str()), 150) << red;
    JobResult grey = convert(input, extension, 8);
    ASSERT_TRUE(grey.written) << grey.failure;
    const std::string level = magickPixel(grey.outputPath, 5, 20);
    const auto comma = level.find(',');
    EXPECT_EQ(level.substr(0, comma), level.substr(comma + 1, level.find(',', comma + 1) - comma - 1)) << level;
  }
}

// DDS keeps graded transparency (DXT5) and uses DXT1 where one bit of
// alpha says it all.
TEST_F(OtherReaders, DdsPicksItsCompressionByTheAlpha) {
  auto fourCc = [](const std::string& path) { return readFileBytes(path).substr(84, 4); };
  JobResult graded = convert(document("stripes.psd", rgbaStripes(16, 16)), "dds");
  ASSERT_TRUE(graded.written) << graded.failure;
  EXPECT_EQ(fourCc(graded.outputPath), "DXT5");

  PsdImage binary = rgbaStripes(16, 16);
  for (unsigned y = 0; y < 16; ++y)
    for (unsigned x = 0; x < 16; ++x) binary.at(3, x, y) = binary.at(3, x, y) >= 128 ? 255 : 0;
  JobResult sharp = convert(document("sharp.psd", binary), "dds");
  ASSERT_TRUE(sharp.written) << sharp.failure;
  EXPECT_EQ(fourCc(sharp.outputPath), "DXT1");
}

}  // namespace
}  // namespace qm::test
