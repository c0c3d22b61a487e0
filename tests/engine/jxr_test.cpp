// JPEG XR output: every depth jxr is written with comes back from the
// JPEG XR library's own reference decoder (run as a separate program) with
// the pixels that were written, and a write that cannot finish leaves
// nothing behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>

#include "conversion_fixture.h"
#include "engine/steps/steps.h"
#include "engine/writers/writers.h"
#include "support/program_runner.h"

namespace qm::test {
namespace {

constexpr const char* kDecoder = "/usr/bin/JxrDecApp";

class JxrOutput : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
    ASSERT_TRUE(std::filesystem::exists(kDecoder)) << "the reference decoder comes with libjxr-tools";
    decodedFolder = folder.makeFolder("decoded");
  }

  // The file decoded to a TIFF by the reference decoder and read back.
  Bitmap decode(const std::string& jxr) {
    const std::string tiff = decodedFolder + std::filesystem::path(jxr).filename().string() + ".tif";
    ProgramOptions options;
    options.program = kDecoder;
    const ProgramResult run = runProgram({"-i", jxr, "-o", tiff}, options);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    return readBack(tiff);
  }

  std::string decodedFolder;
};

Pixel fromSamples(const PsdImage& image, unsigned x, unsigned y) {
  return {image.at(0, x, y), image.at(1, x, y), image.at(2, x, y), image.channels > 3 ? image.at(3, x, y) : 255};
}

// Channels compared in their top bits only (16-bit pixels keep 5 or 6).
bool sameTopBits(const Pixel& want, const Pixel& got, const std::array<int, 3>& bits) {
  auto same = [](int a, int b, int kept) { return (a >> (8 - kept)) == (b >> (8 - kept)); };
  return same(want.red, got.red, bits[0]) && same(want.green, got.green, bits[1]) &&
         same(want.blue, got.blue, bits[2]) && want.alpha == got.alpha;
}

TEST_F(JxrOutput, EveryDepthDecodesToTheWrittenPixels) {
  const PsdImage colour = colourfulRgb(40, 30);
  const PsdImage stripes = rgbaStripes(40, 30);
  const PsdImage checks = bitmapChecks(40, 30);
  const std::string colourInput = document("colour.psd", colour);
  // Grey levels as the program's own lossless greymap writer holds them.
  const JobResult greymap = convert(colourInput, "pgm", 8);
  ASSERT_TRUE(greymap.written);
  const Bitmap grey = readBack(greymap.outputPath);
  ASSERT_TRUE(grey);

  using Expected = std::function<Pixel(unsigned, unsigned)>;
  const Expected sameColour = [&](unsigned x, unsigned y) { return fromSamples(colour, x, y); };
  const Expected greyLevel = [&](unsigned x, unsigned y) { return pixelAt(grey, x, y); };
  const Expected stripeColour = [&](unsigned x, unsigned y) { return fromSamples(stripes, x, y); };
  const Expected blackOrWhite = [&](unsigned x, unsigned y) {
    const int level = checks.at(0, x, y) ? 0 : 255;
    return Pixel{level, level, level, 255};
  };
  struct Case {
    const char* name;
    const PsdImage& image;
    int depth;
    unsigned decodedBpp;
    Expected expected;
    std::array<int, 3> bits;
  } cases[] = {
      {"auto", colour, 0, 24, sameColour, {8, 8, 8}},
      {"8-bit grey", colour, 8, 8, greyLevel, {8, 8, 8}},
      {"16-bit 5-6-5", colour, 16, 24, sameColour, {5, 6, 5}},
      {"24-bit", colour, 24, 24, sameColour, {8, 8, 8}},
      {"32-bit", stripes, 32, 32, stripeColour, {8, 8, 8}},
      {"48-bit", colour, 48, 48, sameColour, {8, 8, 8}},
      {"1-bit document", checks, 0, 1, blackOrWhite, {8, 8, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const JobResult result = convert(document(std::string(c.name) + ".psd", c.image), "jxr", c.depth);
    ASSERT_TRUE(result.written) << result.failure;
    const Bitmap decoded = decode(result.outputPath);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded.width(), c.image.width);
    ASSERT_EQ(decoded.height(), c.image.height);
    EXPECT_EQ(decoded.bpp(), c.decodedBpp);
    int mismatches = 0;
    for (unsigned y = 0; y < c.image.height; ++y)
      for (unsigned x = 0; x < c.image.width; ++x) {
        const Pixel want = c.expected(x, y);
        const Pixel got = pixelAt(decoded, x, y);
        if (!sameTopBits(want, got, c.bits) && mismatches++ == 0)
          ADD_FAILURE() << "pixel " << x << "," << y << " decodes as " << describe(got) << ", written "
                        << describe(want);
      }
    EXPECT_EQ(mismatches, 0);
  }
}

// The conversion's 48-bit images carry 8 bits per channel; the writer must
// keep all 16 of any it is given.
TEST_F(JxrOutput, SixteenBitChannelsKeepEveryBit) {
  Bitmap image(FreeImage_AllocateT(FIT_RGB16, 40, 30));
  ASSERT_TRUE(image);
  auto value = [](unsigned x, unsigned y, unsigned channel) {
    return static_cast<WORD>((x * 1601 + y * 2113 + channel * 12345) % 65536);
  };
  for (unsigned y = 0; y < 30; ++y) {
    auto* row = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(image.get(), static_cast<int>(y)));
    for (unsigned x = 0; x < 40; ++x) row[x] = {value(x, y, 0), value(x, y, 1), value(x, y, 2)};
  }
  const std::string path = outputFolder + "deep.jxr";
  std::string failure;
  ASSERT_TRUE(writeWithJxr(image, 0x64, path, failure)) << failure;
  const Bitmap decoded = decode(path);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(FreeImage_GetImageType(decoded.get()), FIT_RGB16);
  int mismatches = 0;
  for (unsigned y = 0; y < 30; ++y) {
    const auto* row = reinterpret_cast<const FIRGB16*>(FreeImage_GetScanLine(decoded.get(), static_cast<int>(y)));
    for (unsigned x = 0; x < 40; ++x)
      if ((row[x].red != value(x, y, 0) || row[x].green != value(x, y, 1) || row[x].blue != value(x, y, 2)) &&
          mismatches++ == 0)
        ADD_FAILURE() << "pixel " << x << "," << y << " decodes as " << row[x].red << "," << row[x].green << ","
                      << row[x].blue;
  }
  EXPECT_EQ(mismatches, 0);
}

// JPEG XR keeps floats to 16 bits of mantissa: close, not exact.
TEST_F(JxrOutput, FloatingPointColourKeepsFiveDigits) {
  const PsdImage colour = colourfulRgb(40, 30);
  const JobResult result = convert(document("colour.psd", colour), "jxr", 96);
  ASSERT_TRUE(result.written) << result.failure;
  const Bitmap decoded = decode(result.outputPath);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(FreeImage_GetImageType(decoded.get()), FIT_RGBF);
  int mismatches = 0;
  for (unsigned y = 0; y < colour.height; ++y) {
    const FIRGBF* row = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(decoded.get(), colour.height - 1 - y));
    for (unsigned x = 0; x < colour.width; ++x) {
      const float got[3] = {row[x].red, row[x].green, row[x].blue};
      for (int channel = 0; channel < 3; ++channel) {
        // Float outputs hold linear light.
        const float want = srgbToLinear(colour.at(channel, x, y) / 255.0f);
        if (std::fabs(got[channel] - want) > 1e-5f * std::max(want, 1.0f / 255 / 12.92f) && mismatches++ == 0)
          ADD_FAILURE() << "pixel " << x << "," << y << " channel " << channel << " is " << got[channel] << ", written "
                        << want;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Palettes the conversion itself does not make but the writer takes: grey
// palettes stay grey, colour ones become colour, black and white stays one
// bit whichever entry comes first. The resolution goes along.
TEST_F(JxrOutput, PalettesKeepTheirColoursAndDepth) {
  auto paletted = [](unsigned bpp, std::vector<RGBQUAD> entries) {
    Bitmap image(FreeImage_Allocate(23, 17, static_cast<int>(bpp)));
    std::copy(entries.begin(), entries.end(), FreeImage_GetPalette(image.get()));
    for (unsigned y = 0; y < 17; ++y)
      for (unsigned x = 0; x < 23; ++x) {
        BYTE index = static_cast<BYTE>((x * 3 + y * 5 + x * y) % entries.size());
        FreeImage_SetPixelIndex(image.get(), x, y, &index);
      }
    return image;
  };
  const RGBQUAD black{0, 0, 0, 0}, white{255, 255, 255, 0}, red{0, 0, 255, 0}, blue{255, 0, 0, 0};
  std::vector<RGBQUAD> sixteen;
  for (BYTE i = 0; i < 16; ++i) sixteen.push_back({static_cast<BYTE>(i * 16), static_cast<BYTE>(255 - i * 9), i, 0});
  struct Case {
    const char* name;
    Bitmap image;
    unsigned decodedBpp;
  } cases[] = {
      {"grey levels", makeGrey8(23, 17, [](int x, int y) { return (x * 11 + y * 7) % 256; }), 8},
      {"colour palette", paletted(8, {red, blue, white, RGBQUAD{10, 200, 30, 0}}), 24},
      {"sixteen colours", paletted(4, sixteen), 24},
      {"black first", paletted(1, {black, white}), 1},
      {"white first", paletted(1, {white, black}), 1},
      {"two colours", paletted(1, {red, blue}), 24},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.image);
    FreeImage_SetDotsPerMeterX(c.image.get(), 11811);  // 300 dpi
    FreeImage_SetDotsPerMeterY(c.image.get(), 5906);
    const std::string path = outputFolder + c.name + ".jxr";
    std::string failure;
    ASSERT_TRUE(writeWithJxr(c.image, 0x64, path, failure)) << failure;
    const Bitmap decoded = decode(path);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded.bpp(), c.decodedBpp);
    EXPECT_NEAR(FreeImage_GetDotsPerMeterX(decoded.get()), 11811, 1);
    EXPECT_NEAR(FreeImage_GetDotsPerMeterY(decoded.get()), 5906, 1);
    EXPECT_EQ(countDifferences(decoded, c.image), 0);
  }
}

TEST_F(JxrOutput, LowerQualityIsSmallerAndClose) {
  const Bitmap image = makeBitmap(64, 48, 24, [](int x, int y) { return Pixel{x * 4, y * 5, (x + y) * 2, 255}; });
  const std::string lossless = outputFolder + "lossless.jxr";
  const std::string lossy = outputFolder + "lossy.jxr";
  std::string failure;
  ASSERT_TRUE(writeWithJxr(image, 0x64, lossless, failure)) << failure;
  ASSERT_TRUE(writeWithJxr(image, 50, lossy, failure)) << failure;
  EXPECT_LT(std::filesystem::file_size(lossy), std::filesystem::file_size(lossless));
  const Bitmap exact = decode(lossless);
  const Bitmap approximate = decode(lossy);
  ASSERT_TRUE(exact && approximate);
  EXPECT_EQ(countDifferences(exact, image), 0);
  EXPECT_GT(countDifferences(approximate, image), 0);
  int worst = 0;
  for (unsigned y = 0; y < 48; ++y)
    for (unsigned x = 0; x < 64; ++x) {
      const Pixel a = pixelAt(image, x, y), b = pixelAt(approximate, x, y);
      worst = std::max({worst, std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
    }
  EXPECT_LE(worst, 12);
}

TEST_F(JxrOutput, AWriteThatCannotFinishLeavesNothingBehind) {
  const Bitmap image = makeBitmap(20, 12, 24, noise);
  std::string failure;
  EXPECT_FALSE(writeWithJxr(image, 0x64, outputFolder + "missing/x.jxr", failure));
  EXPECT_EQ(failure, "cannot write: No such file or directory");

  const std::string input = document("x.psd", colourfulRgb(20, 12));
  folder.write("out/x.jxr/keep.txt", "kept");
  const JobResult blocked = convert(input, "jxr");
  EXPECT_FALSE(blocked.written);
  EXPECT_EQ(readFileBytes(outputFolder + "x.jxr/keep.txt"), "kept");
  EXPECT_TRUE(noTemporaryFiles(outputFolder));
}

}  // namespace
}  // namespace qm::test
