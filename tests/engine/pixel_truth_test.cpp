// With every step off, lossless outputs hold exactly the pixels of the
// document after the normalisation: 16-bit grey and colour scaled to 8
// bits, transparency kept or laid on white by format.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "conversion_fixture.h"
#include "formats/output_formats.h"

namespace qm::test {
namespace {

struct Document {
  const char* name;
  PsdImage image;
  bool hasAlpha;
  // The pixel the normalised working image holds, alpha included.
  std::function<Pixel(unsigned x, unsigned y)> expected;
};

Pixel fromSamples(const PsdImage& image, unsigned x, unsigned y) {
  return {image.at(0, x, y), image.at(1, x, y), image.at(2, x, y), image.channels > 3 ? image.at(3, x, y) : 255};
}

std::vector<Document> documents() {
  std::vector<Document> list;
  {
    PsdImage image = colourfulRgb(37, 23, PsdCompression::Rle);
    list.push_back(
        {"rgb8-rle.psd", image, false, [image](unsigned x, unsigned y) { return fromSamples(image, x, y); }});
  }
  {
    PsdImage image = colourfulRgb(29, 17, PsdCompression::Raw);
    list.push_back(
        {"rgb8-raw.psd", image, false, [image](unsigned x, unsigned y) { return fromSamples(image, x, y); }});
  }
  {
    PsdImage image = rgbaStripes(41, 13);
    list.push_back({"rgba8.psd", image, true, [image](unsigned x, unsigned y) { return fromSamples(image, x, y); }});
  }
  {
    PsdImage image = greyRamp(31, 9, 8);
    list.push_back({"grey8.psd", image, false, [image](unsigned x, unsigned y) {
                      int g = image.at(0, x, y);
                      return Pixel{g, g, g, 255};
                    }});
  }
  {
    // The ramp runs from 0 to 65535, so the stretch is exactly v * 255 / 65535.
    PsdImage image = greyRamp(33, 11, 16);
    list.push_back({"grey16.psd", image, false, [image](unsigned x, unsigned y) {
                      int g = static_cast<int>(255.0 / 65535.0 * image.at(0, x, y) + 0.5);
                      return Pixel{g, g, g, 255};
                    }});
  }
  {
    PsdImage image = indexedBands(27, 19, 6);
    list.push_back({"indexed.psd", image, false, [image](unsigned x, unsigned y) {
                      const auto& entry = image.palette[image.at(0, x, y)];
                      return Pixel{entry[0], entry[1], entry[2], 255};
                    }});
  }
  {
    PsdImage image = bitmapChecks(35, 14);
    list.push_back({"bitmap1.psd", image, false, [image](unsigned x, unsigned y) {
                      int v = image.at(0, x, y) ? 0 : 255;
                      return Pixel{v, v, v, 255};
                    }});
  }
  return list;
}

// The colour a flattened pixel gets: blended onto white by its alpha.
Pixel onWhite(const Pixel& c) {
  auto blend = [&](int v) { return static_cast<int>(v * c.alpha / 255.0 + 255 * (1 - c.alpha / 255.0)); };
  return {blend(c.red), blend(c.green), blend(c.blue), 255};
}

// How many of the top bits of each channel the read-back bitmap holds.
std::array<int, 3> channelBits(const Bitmap& image) {
  if (FreeImage_GetImageType(image.get()) == FIT_BITMAP && image.bpp() == 16)
    return FreeImage_GetGreenMask(image.get()) == FI16_565_GREEN_MASK ? std::array{5, 6, 5} : std::array{5, 5, 5};
  return {8, 8, 8};
}

bool close(int expected, int actual, int bits, int tolerance) {
  const int drop = 8 - bits;
  return std::abs((expected >> drop) - (actual >> drop)) <= tolerance;
}

const char* const kLosslessFormats[] = {"png", "bmp", "tiff", "tga", "ppm", "psd"};

class PixelTruth : public ConversionTest {};

TEST_F(PixelTruth, TheWriterDocumentsDecodeToTheChosenSamples) {
  for (const Document& doc : documents()) {
    if (std::string(doc.name) == "grey16.psd") continue;  // scaled later, checked below
    SCOPED_TRACE(doc.name);
    Bitmap decoded(FreeImage_Load(FIF_PSD, document(doc.name, doc.image).c_str(), 0));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded.width(), doc.image.width);
    ASSERT_EQ(decoded.height(), doc.image.height);
    int mismatches = 0;
    for (unsigned y = 0; y < doc.image.height; ++y)
      for (unsigned x = 0; x < doc.image.width; ++x) {
        Pixel want = doc.expected(x, y);
        if (!doc.hasAlpha) want.alpha = 255;
        if (pixelAt(decoded, x, y) != want && mismatches++ == 0)
          ADD_FAILURE() << "pixel " << x << "," << y << " decodes as " << describe(pixelAt(decoded, x, y))
                        << ", written " << describe(want);
      }
    EXPECT_EQ(mismatches, 0);
  }
}

TEST_F(PixelTruth, LosslessOutputsHoldTheNormalisedPixels) {
  for (const Document& doc : documents()) {
    const std::string input = document(doc.name, doc.image);
    for (const char* extension : kLosslessFormats) {
      SCOPED_TRACE(std::string(doc.name) + " as " + extension);
      JobResult result = convert(input, extension);
      ASSERT_TRUE(result.written);
      Bitmap output = readBack(result.outputPath);
      ASSERT_TRUE(output) << result.outputPath;
      ASSERT_EQ(output.width(), doc.image.width);
      ASSERT_EQ(output.height(), doc.image.height);

      const bool keepsAlpha = findOutputFormat(extension)->keepsTransparency;
      const bool outputHasAlpha = output.bpp() == 32 || FreeImage_GetImageType(output.get()) == FIT_RGBA16;
      const auto bits = channelBits(output);
      int mismatches = 0;
      for (unsigned y = 0; y < doc.image.height; ++y)
        for (unsigned x = 0; x < doc.image.width; ++x) {
          Pixel want = doc.expected(x, y);
          // Partly transparent pixels may round either way when blended.
          int tolerance = 0;
          if (doc.hasAlpha && !keepsAlpha) {
            tolerance = want.alpha == 0 || want.alpha == 255 ? 0 : 1;
            want = onWhite(want);
          }
          if (!outputHasAlpha) want.alpha = 255;
          const Pixel got = pixelAt(output, x, y);
          bool same = close(want.red, got.red, bits[0], tolerance) &&
                      close(want.green, got.green, bits[1], tolerance) &&
                      close(want.blue, got.blue, bits[2], tolerance) && want.alpha == got.alpha;
          if (!same && mismatches++ == 0)
            ADD_FAILURE() << "pixel " << x << "," << y << " is " << describe(got) << ", expected " << describe(want)
                          << " (" << output.bpp() << "-bit output)";
        }
      EXPECT_EQ(mismatches, 0);
    }
  }
}

TEST_F(PixelTruth, DeepColourIsScaledToEightBitsBeforeWriting) {
  const PsdImage deep = deepRgb(25, 15);
  const std::string input = document("rgb16.psd", deep);
  auto scaled = [&](unsigned c, unsigned x, unsigned y) { return (deep.at(c, x, y) * 255 + 32767) / 65535; };
  for (const char* extension : kLosslessFormats) {
    SCOPED_TRACE(extension);
    // At 24 bits (psd: 32); 48-bit outputs keep the 16 bits, checked with
    // the other deep documents.
    JobResult result = convert(input, extension, std::string(extension) == "psd" ? 32 : 24);
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.sourceBitDepth, 48);
    Bitmap output = readBack(result.outputPath);
    ASSERT_TRUE(output);
    int mismatches = 0;
    for (unsigned y = 0; y < output.height(); ++y)
      for (unsigned x = 0; x < output.width(); ++x) {
        const Pixel want{scaled(0, x, y), scaled(1, x, y), scaled(2, x, y), 255};
        if (pixelAt(output, x, y) != want && mismatches++ == 0)
          ADD_FAILURE() << "pixel " << x << "," << y << " is " << describe(pixelAt(output, x, y)) << ", expected "
                        << describe(want);
      }
    EXPECT_EQ(mismatches, 0);
  }
}

}  // namespace
}  // namespace qm::test
