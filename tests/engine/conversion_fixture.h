// Shared by the conversion tests: a temporary input and output folder,
// command-line default settings (every step off), documents made with the
// PSD writer, and a one-line way to run the job on one of them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/job.h"
#include "settings/settings.h"
#include "support/image_readback.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm::test {

// An RGB picture in which every pixel differs from its neighbours and the
// four corners differ from each other, so any flip, shift or channel swap
// shows.
inline PsdImage colourfulRgb(unsigned width, unsigned height, PsdCompression compression = PsdCompression::Rle,
                             unsigned channels = 3) {
  PsdImage image(PsdColourMode::Rgb, width, height, 8, channels, compression);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x)
      image.setPixel(x, y, static_cast<std::uint16_t>(x * 255 / (width > 1 ? width - 1 : 1)),
                     static_cast<std::uint16_t>(y * 255 / (height > 1 ? height - 1 : 1)),
                     static_cast<std::uint16_t>((x * 7 + y * 13) % 256), 255);
  return image;
}

// Opaque, fully transparent and half-transparent stripes over colour.
inline PsdImage rgbaStripes(unsigned width, unsigned height) {
  PsdImage image = colourfulRgb(width, height, PsdCompression::Raw, 4);
  const std::uint16_t alphas[] = {255, 0, 128, 255, 64};
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) image.at(3, x, y) = alphas[(x / 4) % 5];
  return image;
}

inline PsdImage greyRamp(unsigned width, unsigned height, unsigned depth) {
  PsdImage image(PsdColourMode::Greyscale, width, height, depth, 1, PsdCompression::Rle);
  const unsigned top = depth == 16 ? 65535 : 255;
  const unsigned count = width * height - 1;
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x)
      image.at(0, x, y) = static_cast<std::uint16_t>((static_cast<unsigned long>(y * width + x) * top) / count);
  return image;
}

inline PsdImage deepRgb(unsigned width, unsigned height, unsigned channels = 3) {
  PsdImage image(PsdColourMode::Rgb, width, height, 16, channels, PsdCompression::Raw);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x)
      image.setPixel(x, y, static_cast<std::uint16_t>(x * 65535 / (width - 1)),
                     static_cast<std::uint16_t>(y * 65535 / (height - 1)),
                     static_cast<std::uint16_t>(((x + y) * 4099) % 65536), 65535);
  return image;
}

// A palette of `colours` distinct, non-grey entries, used in diagonal bands.
inline PsdImage indexedBands(unsigned width, unsigned height, unsigned colours) {
  PsdImage image(PsdColourMode::Indexed, width, height, 8, 1, PsdCompression::Raw);
  for (unsigned i = 0; i < colours; ++i)
    image.palette.push_back({static_cast<std::uint8_t>(40 * i % 256), static_cast<std::uint8_t>(255 - 30 * i % 256),
                             static_cast<std::uint8_t>((90 + 70 * i) % 256)});
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) image.at(0, x, y) = static_cast<std::uint16_t>((x + 2 * y) % colours);
  return image;
}

inline PsdImage bitmapChecks(unsigned width, unsigned height) {
  PsdImage image(PsdColourMode::Bitmap, width, height, 1, 1, PsdCompression::Raw);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) image.at(0, x, y) = ((x / 3 + y / 2) % 2) != 0 || x == 0;
  return image;
}

class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initialiseDevil();
    resetSettings(settings, SettingsForm::CommandLine, DesktopSize{});
    outputFolder = folder.makeFolder("out");
    inputFolder = folder.makeFolder("in");
  }

  std::string document(const std::string& name, const PsdImage& image) { return writePsd(inputFolder + name, image); }

  // Runs the job with the format's BPP setting at `bitDepth` (0 = Auto).
  JobResult convert(const std::string& input, const std::string& extension, int bitDepth = 0,
                    const std::string& relativeSubFolder = "", std::int32_t sequenceNumber = 1) {
    if (std::int32_t* bpp = bppField(settings, extension)) *bpp = bitDepth;
    RunFormat format = makeRunFormat(settings, extension);
    JobInput in;
    in.inputPath = input;
    in.relativeSubFolder = relativeSubFolder;
    in.outputFolder = outputFolder;
    in.sequenceNumber = sequenceNumber;
    in.randomNumber = 4711;
    return convertFile(settings, format, in, nullptr);
  }

  Settings settings;
  TempFolder folder;
  std::string outputFolder;
  std::string inputFolder;
};

}  // namespace qm::test
