// Outputs hold the picture the document shows, as other programs read it:
// deep documents keep their tones and alpha, 256-colour outputs keep every
// colour of a large picture, float formats hold linear light, one-bit and
// short-palette documents keep their colours, profiles go only where they
// are true. ImageMagick reads every output; it shares no code with the
// writers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>

#include "conversion_fixture.h"
#include "engine/document/colour_profile.h"
#include "engine/steps/steps.h"
#include "engine/writers/writers.h"

namespace qm::test {
namespace {

using Rgba = std::array<double, 4>;  // 0..1

struct Samples {
  unsigned width = 0;
  unsigned height = 0;
  std::vector<Rgba> pixels;
  const Rgba& at(unsigned x, unsigned y) const { return pixels[std::size_t{y} * width + x]; }
};

// ImageMagick's reading of the first frame (or of `crop`, "WxH+X+Y"), as
// 16-bit samples scaled to 0..1; `options` go right after the file.
std::optional<Samples> magickSamples(const std::string& path, const std::string& crop = "",
                                     const std::string& options = "") {
  TempFolder scratch;
  const std::string raw = scratch / "samples.rgba", size = scratch / "size.txt";
  const std::string source = "'" + path + "[0]' " + options + (crop.empty() ? "" : " -crop " + crop + " +repage");
  const std::string command = "convert " + source + " -format '%w %h' -write info:'" + size +
                              "' -endian MSB -depth 16 rgba:'" + raw + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  Samples samples;
  std::istringstream(readFileBytes(size)) >> samples.width >> samples.height;
  const std::string bytes = readFileBytes(raw);
  if (samples.width == 0 || bytes.size() != std::size_t{samples.width} * samples.height * 8) return std::nullopt;
  for (std::size_t i = 0; i < bytes.size(); i += 8) {
    Rgba p{};
    for (std::size_t c = 0; c < 4; ++c)
      p[c] = (static_cast<unsigned char>(bytes[i + 2 * c]) << 8 | static_cast<unsigned char>(bytes[i + 2 * c + 1])) /
             65535.0;
    samples.pixels.push_back(p);
  }
  return samples;
}

std::string describe(const Rgba& p) {
  std::ostringstream text;
  text << "(" << p[0] * 255 << ", " << p[1] * 255 << ", " << p[2] * 255 << ", " << p[3] * 255 << ")/255";
  return text.str();
}

// Counts (and reports the first of) the pixels further than `tolerance`
// from what `expected` says.
int mismatches(const Samples& seen, const std::function<Rgba(unsigned, unsigned)>& expected, double tolerance) {
  int count = 0;
  for (unsigned y = 0; y < seen.height; ++y)
    for (unsigned x = 0; x < seen.width; ++x) {
      const Rgba want = expected(x, y), got = seen.at(x, y);
      bool same = true;
      for (int c = 0; c < 4; ++c) same = same && std::abs(want[c] - got[c]) <= tolerance;
      if (!same && count++ == 0)
        ADD_FAILURE() << "pixel " << x << "," << y << " reads " << describe(got) << ", expected " << describe(want);
    }
  return count;
}

double eight(double v) { return std::round(v * 255.0) / 255.0; }

// A 16-bit picture with alpha that runs from clear to opaque, colours that
// stay away from both ends, so a stretch or a tone curve would show.
PsdImage deepRgba(unsigned width, unsigned height) {
  PsdImage image(PsdColourMode::Rgb, width, height, 16, 4);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x)
      image.setPixel(x, y, static_cast<std::uint16_t>(3000 + x * 1500), static_cast<std::uint16_t>(20000 + y * 900),
                     static_cast<std::uint16_t>(40000 - x * 700), static_cast<std::uint16_t>(x * 65535 / (width - 1)));
  return image;
}

class FaithfulOutput : public ConversionTest {};

TEST_F(FaithfulOutput, DeepDocumentsKeepTheirTonesAndAlpha) {
  const PsdImage rgba = deepRgba(20, 12);
  const PsdImage rgb = deepRgb(21, 13);
  PsdImage grey(PsdColourMode::Greyscale, 19, 7, 16, 1);
  for (unsigned y = 0; y < 7; ++y)
    for (unsigned x = 0; x < 19; ++x) grey.at(0, x, y) = static_cast<std::uint16_t>(1000 + (y * 19 + x) * 300);
  PsdImage floats = rgb;
  floats.depth = 32;
  auto sample = [](const PsdImage& image, unsigned c, unsigned x, unsigned y) { return image.at(c, x, y) / 65535.0; };
  struct Case {
    const char* name;
    const PsdImage& image;
    const char* extension;
    int bitDepth;
    std::function<Rgba(unsigned, unsigned)> expected;
    double tolerance;
  };
  const Case cases[] = {
      // Scaled to 8 bits, alpha kept: png at Auto is 32 bits, not 48.
      {"rgba16.psd", rgba, "png", 0,
       [&](unsigned x, unsigned y) {
         return Rgba{eight(sample(rgba, 0, x, y)), eight(sample(rgba, 1, x, y)), eight(sample(rgba, 2, x, y)),
                     eight(sample(rgba, 3, x, y))};
       },
       0.6 / 255},
      // A format without alpha lays it on white (the library's blend
      // divides by 256, so it may come out two levels darker).
      {"rgba16.psd", rgba, "tiff", 24,
       [&](unsigned x, unsigned y) {
         const double a = eight(sample(rgba, 3, x, y));
         auto over = [&](unsigned c) { return eight(eight(sample(rgba, c, x, y)) * a + 1 - a); };
         return Rgba{over(0), over(1), over(2), 1};
       },
       2.6 / 255},
      // Every one of the 16 bits reaches a 48-bit output.
      {"rgb16.psd", rgb, "png", 48,
       [&](unsigned x, unsigned y) {
         return Rgba{sample(rgb, 0, x, y), sample(rgb, 1, x, y), sample(rgb, 2, x, y), 1};
       },
       0.6 / 65535},
      // Grey keeps its own range: 1000..40900 is not stretched to 0..255.
      {"grey16.psd", grey, "png", 0,
       [&](unsigned x, unsigned y) {
         const double g = eight(sample(grey, 0, x, y));
         return Rgba{g, g, g, 1};
       },
       0.6 / 255},
      // Floats are linear light, encoded with the sRGB curve.
      {"float32.psd", floats, "tiff", 24,
       [&](unsigned x, unsigned y) {
         auto encoded = [&](unsigned c) { return eight(linearToSrgb(static_cast<float>(sample(floats, c, x, y)))); };
         return Rgba{encoded(0), encoded(1), encoded(2), 1};
       },
       1.1 / 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " as " + c.extension + " at " + std::to_string(c.bitDepth));
    JobResult result = convert(document(c.name, c.image), c.extension, c.bitDepth);
    ASSERT_TRUE(result.written) << result.failure;
    const std::optional<Samples> seen = magickSamples(result.outputPath);
    ASSERT_TRUE(seen);
    ASSERT_EQ(seen->width, c.image.width);
    EXPECT_EQ(mismatches(*seen, c.expected, c.tolerance), 0);
  }
}

TEST_F(FaithfulOutput, PaletteOutputsKeepEveryColourOfALargePicture) {
  // 12 million white pixels: more than the quantiser's counters hold.
  PsdImage page(PsdColourMode::Rgb, 4000, 3000, 8, 3, PsdCompression::Rle);
  for (unsigned y = 0; y < 3000; ++y)
    for (unsigned x = 0; x < 4000; ++x)
      if (y >= 1400 && y < 1600)
        page.setPixel(x, y, 20, 60, 200);
      else
        page.setPixel(x, y, 255, 255, 255);
  const std::string input = document("page.psd", page);
  for (const char* extension : {"gif", "bmp", "png", "tga", "tiff"}) {
    SCOPED_TRACE(extension);
    JobResult result = convert(input, extension, 8);
    ASSERT_TRUE(result.written) << result.failure;
    for (auto [x, y, r, g, b] : {std::array{10, 10, 255, 255, 255}, std::array{3990, 1500, 20, 60, 200},
                                 std::array{2000, 2990, 255, 255, 255}}) {
      const auto seen = magickSamples(result.outputPath, "1x1+" + std::to_string(x) + "+" + std::to_string(y));
      ASSERT_TRUE(seen);
      EXPECT_EQ(describe(seen->at(0, 0)), describe(Rgba{r / 255.0, g / 255.0, b / 255.0, 1})) << x << "," << y;
    }
  }
}

TEST_F(FaithfulOutput, FloatFormatsHoldLinearLightTheRightWayUp) {
  const PsdImage image = colourfulRgb(23, 11);
  const std::string input = document("colourful.psd", image);
  // Declared linear (ImageMagick would take a floatmap and a float tiff for
  // encoded samples), ImageMagick encodes them with the sRGB curve on the
  // way out: the document's own values must come back.
  for (const char* extension : {"exr", "hdr", "pfm", "tiff"}) {
    SCOPED_TRACE(extension);
    JobResult result = convert(input, extension, 96);
    ASSERT_TRUE(result.written) << result.failure;
    const std::optional<Samples> seen = magickSamples(result.outputPath, "", "-set colorspace RGB");
    ASSERT_TRUE(seen);
    int wrong = 0;
    for (unsigned y = 0; y < image.height; ++y)
      for (unsigned x = 0; x < image.width; ++x) {
        // hdr gives the three channels of a pixel one exponent: each is
        // stored to a 256th of the largest, in linear light.
        double largest = 0;
        for (unsigned c = 0; c < 3; ++c) largest = std::max(largest, double{srgbToLinear(image.at(c, x, y) / 255.0f)});
        for (unsigned c = 0; c < 3; ++c) {
          const double want = image.at(c, x, y) / 255.0, got = seen->at(x, y)[c];
          const bool close = std::string(extension) == "hdr"
                                 ? std::abs(srgbToLinear(static_cast<float>(got)) -
                                            srgbToLinear(static_cast<float>(want))) <= largest / 128 + 1e-4
                                 : std::abs(got - want) <= 0.6 / 255;
          if (!close && wrong++ == 0)
            ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << " reads " << got * 255
                          << "/255, expected " << want * 255;
        }
      }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(FaithfulOutput, OneBitAndShortPaletteDocumentsKeepTheirColours) {
  const PsdImage checks = bitmapChecks(35, 14);
  JobResult wireless = convert(document("checks.psd", checks), "wbmp");
  ASSERT_TRUE(wireless.written) << wireless.failure;
  auto seen = magickSamples(wireless.outputPath);
  ASSERT_TRUE(seen);
  EXPECT_EQ(mismatches(
                *seen,
                [&](unsigned x, unsigned y) {
                  const double v = checks.at(0, x, y) ? 0 : 1;  // 1 is black in the document
                  return Rgba{v, v, v, 1};
                },
                0),
            0);

  for (unsigned colours : {2u, 16u, 200u}) {
    SCOPED_TRACE(std::to_string(colours) + " colours");
    PsdImage bands = indexedBands(40, 30, colours);
    bands.shortColourTable = true;
    JobResult result = convert(document("bands" + std::to_string(colours) + ".psd", bands), "png");
    ASSERT_TRUE(result.written) << result.failure;
    seen = magickSamples(result.outputPath);
    ASSERT_TRUE(seen);
    EXPECT_EQ(mismatches(
                  *seen,
                  [&](unsigned x, unsigned y) {
                    const auto& entry = bands.palette[bands.at(0, x, y)];
                    return Rgba{entry[0] / 255.0, entry[1] / 255.0, entry[2] / 255.0, 1};
                  },
                  0),
              0);
  }
}

// The profile ImageMagick finds in a file; empty for none.
std::string magickProfile(const std::string& path) {
  TempFolder scratch;
  const std::string icc = scratch / "profile.icc";
  const std::string command = "convert '" + path + "[0]' '" + icc + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  return readFileBytes(icc);
}

TEST_F(FaithfulOutput, ProfilesGoWhereTheFileCanHoldThemAndNeverTheWrongOne) {
  PsdImage image = colourfulRgb(33, 33);
  image.iccProfile = srgbProfile();
  const std::string input = document("profiled.psd", image);
  const std::string profile(image.iccProfile.begin(), image.iccProfile.end());
  for (const char* extension : {"psd", "jp2", "png", "tiff"}) {
    SCOPED_TRACE(extension);
    JobResult result = convert(input, extension);
    ASSERT_TRUE(result.written) << result.failure;
    EXPECT_EQ(magickProfile(result.outputPath), profile);
  }
  // The library writes CMYK from the RGB pixels; an RGB profile would lie.
  settings.tiffColorModel = 1;
  JobResult cmyk = convert(input, "tiff");
  ASSERT_TRUE(cmyk.written) << cmyk.failure;
  EXPECT_EQ(magickProfile(cmyk.outputPath), "");
}

// The mode of a replaced output stays; an output the running user may not
// write stays as it is and the file fails with the reason. The second half
// runs as an ordinary user: root may write any file.
TEST_F(FaithfulOutput, ReplacedOutputsKeepTheirModeAndReadOnlyOnesStay) {
  const std::string input = document("x.psd", colourfulRgb(8, 8));
  JobResult first = convert(input, "png");
  ASSERT_TRUE(first.written) << first.failure;
  ASSERT_EQ(::chmod(first.outputPath.c_str(), 0640), 0);
  JobResult again = convert(input, "png");
  ASSERT_TRUE(again.written) << again.failure;
  struct stat after {};
  ASSERT_EQ(::stat(again.outputPath.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);

  ASSERT_EQ(::chmod(again.outputPath.c_str(), 0444), 0);
  const std::string before = readFileBytes(again.outputPath);
  const std::string temporary = outputFolder + ".replacement.png.part";
  ASSERT_FALSE(folder.write("out/.replacement.png.part", "new").empty());
  if (::geteuid() == 0) {
    ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(outputFolder.c_str(), 0777), 0);
    ASSERT_EQ(::chown(temporary.c_str(), 65534, 65534), 0);
  }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    std::string failure;
    const bool replaced = replaceOutput(true, temporary, again.outputPath, failure);
    ::_exit(replaced ? 1 : failure == "the output exists and is read-only" ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readFileBytes(again.outputPath), before);
  EXPECT_FALSE(std::filesystem::exists(temporary));
}

}  // namespace
}  // namespace qm::test
