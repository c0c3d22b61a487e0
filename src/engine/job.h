// The conversion job: one input file through the fixed sequence of steps
// to one output file. It takes everything it reads as arguments and keeps
// no state between calls, so jobs can run anywhere (a worker thread, a
// separate process) without change.
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings.h"

namespace qm {

class WatermarkFont;

// The format values of a run, fixed by the run starter.
struct RunFormat {
  std::string extension;
  std::int32_t writerId = 0;
  std::int32_t bitDepthSetting = 0;  // the format's BPP setting, 0 = Auto
  std::int32_t saveFlags = 0;
};

struct JobInput {
  std::string inputPath;
  std::string relativeSubFolder;
  std::string outputFolder;  // ends with "/"
  std::int32_t sequenceNumber = 1;
  std::int32_t randomNumber = 1;
};

struct JobResult {
  bool written = false;
  std::string outputPath;   // empty when the file failed before naming
  std::string temporaryOutputPath;
  int sourceBitDepth = 0;
  int width = 0;            // output width and height (after resize and icon cap)
  int height = 0;
  int bitDepth = 0;         // the bit depth written
};

// The run's format values for an output extension.
RunFormat makeRunFormat(const Settings& settings, const std::string& extension);

JobResult convertFile(const Settings& settings, const RunFormat& format, const JobInput& input,
                      const WatermarkFont* font);

}  // namespace qm
