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
  // A few formats (wbmp) carry no signature; their name has to do.
  if (format == FIF_UNKNOWN) format = FreeImage_GetFIFFromFilename(path.c_str());
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

Pixel pixelAt(const Bitmap& image, unsigned x, unsigned y) {
  const unsigned row = image.height() - 1 - y;
  const BYTE* line = FreeImage_GetScanLine(image.get(), static_cast<int>(row));
  switch (FreeImage_GetImageType(image.get())) {
    case FIT_RGB16: {
      const FIRGB16& p = reinterpret_cast<const FIRGB16*>(line)[x];
      return {p.red >> 8, p.green >> 8, p.blue >> 8, 255};
    }
    case FIT_RGBA16: {
      const FIRGBA16& p = reinterpret_cast<const FIRGBA16*>(line)[x];
      return {p.red >> 8, p.green >> 8, p.blue >> 8, p.alpha >> 8};
    }
    default: break;
  }
  if (image.bpp() <= 8) {
    BYTE index = 0;
    FreeImage_GetPixelIndex(image.get(), x, row, &index);
    const RGBQUAD entry = FreeImage_GetPalette(image.get())[index];
    return {entry.rgbRed, entry.rgbGreen, entry.rgbBlue, 255};
  }
  if (image.bpp() == 16) {
    const unsigned value = reinterpret_cast<const WORD*>(line)[x];
    if (FreeImage_GetGreenMask(image.get()) == FI16_565_GREEN_MASK)
      return {static_cast<int>((value >> 11) & 0x1F) << 3, static_cast<int>((value >> 5) & 0x3F) << 2,
              static_cast<int>(value & 0x1F) << 3, 255};
    return {static_cast<int>((value >> 10) & 0x1F) << 3, static_cast<int>((value >> 5) & 0x1F) << 3,
            static_cast<int>(value & 0x1F) << 3, 255};
  }
  const BYTE* bits = line + x * (image.bpp() / 8);
  return {bits[FI_RGBA_RED], bits[FI_RGBA_GREEN], bits[FI_RGBA_BLUE], image.bpp() == 32 ? bits[FI_RGBA_ALPHA] : 255};
}

std::string describe(const Pixel& c) {
  std::ostringstream text;
  text << "(" << c.red << "," << c.green << "," << c.blue << "," << c.alpha << ")";
  return text.str();
}

namespace {

std::map<std::string, Identified> runIdentify(const std::vector<std::string>& options,
                                              const std::vector<std::string>& paths) {
  std::map<std::string, Identified> found;
  if (paths.empty()) return found;
  std::vector<std::string> arguments = options;
  arguments.insert(arguments.end(), paths.begin(), paths.end());
  ProgramOptions program;
  program.program = "/usr/bin/identify";
  ProgramResult result = runProgram(arguments, program);
  for (const std::string& line : result.outLines()) {
    std::istringstream fields(line);
    std::string scene, width, height, depth, type, colours, path;
    if (!std::getline(fields, scene, '\t') || !std::getline(fields, width, '\t') ||
        !std::getline(fields, height, '\t') || !std::getline(fields, depth, '\t') ||
        !std::getline(fields, type, '\t') || !std::getline(fields, colours, '\t') || !std::getline(fields, path))
      continue;
    // Only frame 0 of multi-frame files (icons, mipmapped surfaces) counts.
    if (scene != "0" || found.count(path)) continue;
    found[path] = Identified{std::stoi(width), std::stoi(height), std::stoi(depth), type, std::stoi(colours)};
  }
  return found;
}

}  // namespace

std::map<std::string, Identified> identifyFiles(const std::vector<std::string>& paths, bool countColours) {
  return runIdentify(
      {"-format", countColours ? "%s\t%w\t%h\t%z\t%[type]\t%k\t%i\n" : "%s\t%w\t%h\t%z\t%[type]\t0\t%i\n"}, paths);
}

std::map<std::string, Identified> identifySizes(const std::vector<std::string>& paths) {
  return runIdentify({"-ping", "-format", "%s\t%w\t%h\t%z\t-\t0\t%i\n"}, paths);
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
    if (name.rfind(".quillmark", 0) == 0) return false;
  return true;
}

Bitmap makeBitmap(int width, int height, int bpp, const PixelSource& source) {
  Bitmap bitmap(FreeImage_Allocate(width, height, bpp, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  const int bytes = bpp / 8;
  for (int y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(bitmap.get(), height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const Pixel p = source(x, y);
      BYTE* target = line + x * bytes;
      target[FI_RGBA_RED] = static_cast<BYTE>(p.red);
      target[FI_RGBA_GREEN] = static_cast<BYTE>(p.green);
      target[FI_RGBA_BLUE] = static_cast<BYTE>(p.blue);
      if (bytes == 4) target[FI_RGBA_ALPHA] = static_cast<BYTE>(p.alpha);
    }
  }
  return bitmap;
}

Bitmap makeUniform(int width, int height, int bpp, Pixel colour) {
  return makeBitmap(width, height, bpp, [colour](int, int) { return colour; });
}

Pixel noise(int x, int y) {
  std::uint32_t v = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
  v ^= v >> 13;
  v *= 0x5bd1e995u;
  v ^= v >> 15;
  return {static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF), 255};
}

Bitmap makeGrey8(int width, int height, const std::function<int(int, int)>& level) {
  Bitmap bitmap(FreeImage_Allocate(width, height, 8));
  RGBQUAD* palette = FreeImage_GetPalette(bitmap.get());
  for (int i = 0; i < 256; ++i) {
    palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
  }
  for (int y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(bitmap.get(), height - 1 - y);
    for (int x = 0; x < width; ++x) line[x] = static_cast<BYTE>(level(x, y));
  }
  return bitmap;
}

long countDifferences(const Bitmap& a, const Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return -1;
  long differences = 0;
  for (unsigned y = 0; y < a.height(); ++y)
    for (unsigned x = 0; x < a.width(); ++x)
      if (!(pixelAt(a, x, y) == pixelAt(b, x, y))) ++differences;
  return differences;
}

Bitmap copyOf(const Bitmap& bitmap) { return Bitmap(FreeImage_Clone(bitmap.get())); }

}  // namespace qm::test
