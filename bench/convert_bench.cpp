// The conversion benchmark's worker: makes large documents with the tests'
// PSD writer and converts one file per process, so that every measurement
// (time, peak memory) stands alone. bench/run_bench.sh drives it and prints
// the figures; this program only does one thing per call.
//
//   convert_bench generate <folder>
//   convert_bench info <document>
//   convert_bench job <document> <ext> <output folder>
//   convert_bench floor <document> <ext> <output path>
//   convert_bench steps <document> <ext> <output path>
//   convert_bench flags <ext>        (the save flags the job uses)
//   convert_bench idle               (the process with its libraries, nothing done)
#include <IL/il.h>
#include <IL/ilu.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "canvas/bitmap.h"
#include "engine/job.h"
#include "engine/steps/steps.h"
#include "engine/writers/writers.h"
#include "formats/output_formats.h"
#include "settings/settings.h"
#include "support/psd_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
using qm::test::PsdColourMode;
using qm::test::PsdCompression;
using qm::test::PsdImage;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Photo-like content: broad gradients with fine texture, so encoders work
// as hard as on a real picture, and a soft-edged transparent area when
// there is an alpha channel.
PsdImage largeDocument(unsigned depth, bool alpha) {
  const unsigned width = 4000, height = 3000;
  PsdImage image(PsdColourMode::Rgb, width, height, depth, alpha ? 4 : 3, PsdCompression::Rle);
  const unsigned top = depth == 16 ? 65535 : 255;
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) {
      const unsigned texture = (x * 31 + y * 17 + (x * y) % 7) % 23;
      const unsigned r = (x * top / width + texture * top / 255) % (top + 1);
      const unsigned g = (y * top / height + texture * top / 511) % (top + 1);
      const unsigned b = ((x + y) * top / (width + height)) % (top + 1);
      unsigned a = top;
      if (alpha) {
        const double d = std::hypot(static_cast<double>(x) - 2000.0, static_cast<double>(y) - 1500.0);
        a = d < 900 ? top : d > 1400 ? 0 : static_cast<unsigned>(top * (1400 - d) / 500);
      }
      image.setPixel(x, y, static_cast<std::uint16_t>(r), static_cast<std::uint16_t>(g), static_cast<std::uint16_t>(b),
                     static_cast<std::uint16_t>(a));
    }
  return image;
}

int generate(const std::string& folder) {
  std::filesystem::create_directories(folder);
  struct Document {
    const char* name;
    unsigned depth;
    bool alpha;
  } documents[] = {{"rgb8.psd", 8, false}, {"rgba8.psd", 8, true}, {"rgb16.psd", 16, false}, {"rgba16.psd", 16, true}};
  for (const Document& d : documents) {
    const std::string path = folder + "/" + d.name;
    if (qm::test::writePsd(path, largeDocument(d.depth, d.alpha)).empty()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s\n", path.c_str());
  }
  return 0;
}

qm::Settings commandLineSettings() {
  qm::Settings settings;
  qm::resetSettings(settings, qm::SettingsForm::CommandLine, qm::DesktopSize{});
  return settings;
}

int info(const std::string& document) {
  qm::Bitmap image(FreeImage_Load(FIF_PSD, document.c_str(), 0));
  if (!image) return 1;
  const double bytes = static_cast<double>(FreeImage_GetPitch(image.get())) * image.height();
  std::printf("%u %u %u %.0f\n", image.width(), image.height(), image.bpp(), bytes);
  return 0;
}

int job(const std::string& document, const std::string& extension, const std::string& outputFolder) {
  ilInit();
  iluInit();
  const qm::Settings settings = commandLineSettings();
  qm::JobInput input;
  input.inputPath = document;
  input.outputFolder = outputFolder;
  const auto start = Clock::now();
  qm::JobResult result = qm::convertFile(settings, qm::makeRunFormat(settings, extension), input, nullptr);
  std::printf("%.1f %d %d\n", millisecondsSince(start), result.written ? 1 : 0, result.bitDepth);
  return result.written ? 0 : 1;
}

// The least FreeImage itself needs to make the file: load, and save with
// the same flags; where its writer cannot take the loaded bitmap as it is,
// the cheapest conversion to a bitmap it can take.
int floor(const std::string& document, const std::string& extension, const std::string& outputPath) {
  const qm::Settings settings = commandLineSettings();
  const qm::OutputFormat* format = qm::findOutputFormat(extension);
  if (!format) return 2;
  const auto fif = static_cast<FREE_IMAGE_FORMAT>(format->writerId);
  const int flags = qm::saveFlags(extension, settings);
  const auto start = Clock::now();
  qm::Bitmap image(FreeImage_Load(FIF_PSD, document.c_str(), 0));
  if (!image) return 1;
  const char* how = "as loaded";
  bool saved = FreeImage_Save(fif, image.get(), outputPath.c_str(), flags) == TRUE;
  if (!saved) {
    image = qm::Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    how = "via ConvertTo24Bits";
    saved = FreeImage_Save(fif, image.get(), outputPath.c_str(), flags) == TRUE;
  }
  std::printf("%.1f %d %s\n", millisecondsSince(start), saved ? 1 : 0, how);
  return saved ? 0 : 1;
}

// The floor with the work the conversion prescribes for the file (grey
// normalisation, tone mapping, flattening, the bit depth of Auto) done by
// the job's own steps, but none of the job around them: no naming, no
// temporary file, no pass-through steps.
int steps(const std::string& document, const std::string& extension, const std::string& outputPath) {
  const qm::Settings settings = commandLineSettings();
  const qm::OutputFormat* format = qm::findOutputFormat(extension);
  if (!format) return 2;
  const auto start = Clock::now();
  qm::Bitmap image = qm::loadDocument(document).image;
  const int depth = qm::automaticBitDepth(extension, static_cast<int>(image.bpp()));
  const bool keepWide = qm::keepsWideSamples(settings, depth);
  image = qm::normaliseGreyTypes(std::move(image), keepWide);
  image = qm::toneMap(std::move(image), keepWide);
  image = qm::flattenTransparency(std::move(image), extension);
  image = qm::convertBitDepth(std::move(image), extension, depth);
  const bool saved = image && FreeImage_Save(static_cast<FREE_IMAGE_FORMAT>(format->writerId), image.get(),
                                             outputPath.c_str(), qm::saveFlags(extension, settings)) == TRUE;
  std::printf("%.1f %d\n", millisecondsSince(start), saved ? 1 : 0);
  return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "generate" && argc == 3) return generate(argv[2]);
  if (mode == "info" && argc == 3) return info(argv[2]);
  if (mode == "job" && argc == 5) return job(argv[2], argv[3], argv[4]);
  if (mode == "floor" && argc == 5) return floor(argv[2], argv[3], argv[4]);
  if (mode == "steps" && argc == 5) return steps(argv[2], argv[3], argv[4]);
  if (mode == "flags" && argc == 3) {
    std::printf("0x%X\n", static_cast<unsigned>(qm::saveFlags(argv[2], commandLineSettings())));
    return 0;
  }
  if (mode == "idle") {
    ilInit();
    iluInit();
    return 0;
  }
  std::fprintf(
      stderr,
      "usage: convert_bench generate <folder> | info <psd> | job <psd> <ext> <folder> | floor <psd> <ext> <file>\n");
  return 2;
}
