// Writes the sample documents of samples/ byte by byte with the tests' PSD
// writer, so every sample is reproducible and free of anyone's artwork.
//
//   cmake -S . -B build-tools -DQM_TOOLS=ON && cmake --build build-tools --target make_samples
//   build-tools/tools/make_samples samples/
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/psd_writer.h"

namespace {

using qm::test::PsdColourMode;
using qm::test::PsdCompression;
using qm::test::PsdImage;

std::uint16_t clampByte(double value) {
  return static_cast<std::uint16_t>(std::lround(std::fmin(255.0, std::fmax(0.0, value))));
}

// An evening sky fading from violet to orange with a sun low on the
// horizon and a dark strip of land.
PsdImage sunset() {
  const unsigned width = 320, height = 240;
  PsdImage image(PsdColourMode::Rgb, width, height, 8, 3, PsdCompression::Rle);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) {
      const double t = static_cast<double>(y) / (height - 1);
      double r = 70 + 185 * t, g = 40 + 100 * t, b = 120 - 60 * t;
      const double dx = x - 200.0, dy = y - 170.0;
      if (dx * dx + dy * dy < 35.0 * 35.0) r = 255, g = 220, b = 120;
      if (y > 190 + 8 * std::sin(x / 25.0)) r = 30, g = 35, b = 25;
      image.setPixel(x, y, clampByte(r), clampByte(g), clampByte(b));
    }
  return image;
}

// A round badge with a soft rim on a transparent background.
PsdImage badge() {
  const unsigned size = 200;
  PsdImage image(PsdColourMode::Rgb, size, size, 8, 4, PsdCompression::Rle);
  for (unsigned y = 0; y < size; ++y)
    for (unsigned x = 0; x < size; ++x) {
      const double d = std::hypot(x - 99.5, y - 99.5);
      const double alpha = std::fmin(1.0, std::fmax(0.0, 80.0 - d));
      const bool ring = d > 60 && d < 70;
      image.setPixel(x, y, ring ? 250 : 30, ring ? 200 : 90, ring ? 40 : 170, clampByte(alpha * 255));
    }
  return image;
}

PsdImage greyRamp() {
  const unsigned width = 256, height = 64;
  PsdImage image(PsdColourMode::Greyscale, width, height, 8, 1, PsdCompression::Rle);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) image.at(0, x, y) = static_cast<std::uint16_t>(x);
  return image;
}

// 16 bits per channel: smooth gradients whose low bytes carry detail an
// 8-bit document could not hold.
PsdImage deepColour() {
  const unsigned width = 160, height = 120;
  PsdImage image(PsdColourMode::Rgb, width, height, 16, 3, PsdCompression::Rle);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x)
      image.setPixel(x, y, static_cast<std::uint16_t>(x * 65535 / (width - 1)),
                     static_cast<std::uint16_t>(y * 65535 / (height - 1)),
                     static_cast<std::uint16_t>(65535 - (x + y) * 65535 / (width + height - 2)));
  return image;
}

PsdImage indexedTiles() {
  const unsigned width = 128, height = 96;
  PsdImage image(PsdColourMode::Indexed, width, height, 8, 1, PsdCompression::Rle);
  image.palette = {{230, 57, 70}, {241, 250, 238}, {168, 218, 220}, {69, 123, 157},
                   {29, 53, 87},  {255, 183, 3},   {2, 48, 71},     {142, 202, 230}};
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) image.at(0, x, y) = static_cast<std::uint16_t>((x / 16 + y / 16 * 3) % 8);
  return image;
}

// Black lines on white, one bit per pixel.
PsdImage lineArt() {
  const unsigned width = 200, height = 100;
  PsdImage image(PsdColourMode::Bitmap, width, height, 1, 1, PsdCompression::Raw);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) {
      const bool frame = x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
      const bool wave = std::abs(static_cast<double>(y) - (50 + 30 * std::sin(x / 15.0))) < 1.5;
      image.at(0, x, y) = frame || wave ? 1 : 0;
    }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <samples folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder / "more");
  struct Sample {
    const char* name;
    PsdImage image;
  } samples[] = {
      {"sunset.psd", sunset()},
      {"badge-alpha.psd", badge()},
      {"grey-ramp.psd", greyRamp()},
      {"deep-16bit.psd", deepColour()},
      {"more/indexed-tiles.psd", indexedTiles()},
      {"more/line-art.psd", lineArt()},
  };
  int failures = 0;
  for (const Sample& sample : samples) {
    const std::string path = (folder / sample.name).string();
    if (qm::test::writePsd(path, sample.image).empty()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      ++failures;
    } else {
      std::printf("%s\n", path.c_str());
    }
  }
  return failures == 0 ? 0 : 1;
}
