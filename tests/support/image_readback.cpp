#include "support/image_readback.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "support/program_runner.h"

namespace qm::test {

Bitmap readBack(const std::string& path) {
  FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
  if (format == FIF_UNKNOWN) return Bitmap();
  return Bitmap(FreeImage_Load(format, path.c_str(), 0));
}

void initialiseDevil() {
  static const bool done = [] {
    ilInit();
    iluInit();
    return true;
  }();
  (void)done;
}

Rgba pixelAt(const Bitmap& image, unsigned x, unsigned y) {
  Rgba colour;
  const unsigned row = image.height() - 1 - y;
  if (image.bpp() <= 8) {
    BYTE index = 0;
    FreeImage_GetPixelIndex(image.get(), x, row, &index);
    const RGBQUAD entry = FreeImage_GetPalette(image.get())[index];
    colour = {entry.rgbRed, entry.rgbGreen, entry.rgbBlue, 255};
    return colour;
  }
  const BYTE* bits = FreeImage_GetScanLine(image.get(), static_cast<int>(row)) + x * (image.bpp() / 8);
  colour.red = bits[FI_RGBA_RED];
  colour.green = bits[FI_RGBA_GREEN];
  colour.blue = bits[FI_RGBA_BLUE];
  colour.alpha = image.bpp() == 32 ? bits[FI_RGBA_ALPHA] : 255;
  return colour;
}

std::string describe(const Rgba& c) {
  std::ostringstream text;
  text << "(" << c.red << "," << c.green << "," << c.blue << "," << c.alpha << ")";
  return text.str();
}

std::map<std::string, Identified> identifyFiles(const std::vector<std::string>& paths, bool countColours) {
  std::map<std::string, Identified> found;
  if (paths.empty()) return found;
  // %s is the frame number: only frame 0 of multi-frame files counts.
  std::vector<std::string> arguments{"-format",
                                     countColours ? "%s\t%w\t%h\t%z\t%[type]\t%k\t%i\n"
                                                  : "%s\t%w\t%h\t%z\t%[type]\t0\t%i\n"};
  arguments.insert(arguments.end(), paths.begin(), paths.end());
  ProgramOptions options;
  options.program = "/usr/bin/identify";
  ProgramResult result = runProgram(arguments, options);
  for (const std::string& line : result.outLines()) {
    std::istringstream fields(line);
    std::string scene, width, height, depth, type, colours, path;
    if (!std::getline(fields, scene, '\t') || !std::getline(fields, width, '\t') ||
        !std::getline(fields, height, '\t') || !std::getline(fields, depth, '\t') ||
        !std::getline(fields, type, '\t') || !std::getline(fields, colours, '\t') || !std::getline(fields, path))
      continue;
    if (scene != "0" || found.count(path)) continue;
    found[path] = Identified{std::stoi(width), std::stoi(height), std::stoi(depth), type, std::stoi(colours)};
  }
  return found;
}

std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool noTemporaryFiles(const std::string& folder) {
  for (const std::string& name : folderEntries(folder))
    if (name.rfind("quillmark", 0) == 0) return false;
  return true;
}

}  // namespace qm::test
