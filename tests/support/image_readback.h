// Reading outputs back the way an independent user would: FreeImage by
// the file's own signature, DevIL, and ImageMagick's identify as a reader
// that shares no code with the writers.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "canvas/bitmap.h"

namespace qm::test {

// FreeImage by the file's content (by its name only for formats without a
// signature); empty when it cannot.
Bitmap readBack(const std::string& path);

// DevIL needs its one-time set-up in every process that uses it; the
// program does it at start-up, tests call this first.
void initialiseDevil();

struct Rgba {
  int red = 0;
  int green = 0;
  int blue = 0;
  int alpha = 255;
  friend bool operator==(const Rgba&, const Rgba&) = default;
};
// The colour of a pixel, x and y counted from the top left, each channel
// on the 0..255 scale: palettised, 16-bit (5-6-5 or 5-5-5, low bits 0),
// 24-, 32-bit and 16-bit-per-channel bitmaps (their high bytes).
Rgba pixelAt(const Bitmap& image, unsigned x, unsigned y);
std::string describe(const Rgba& colour);

struct Identified {
  int width = 0;
  int height = 0;
  int depth = 0;     // bits per channel as ImageMagick sees it
  std::string type;  // e.g. "Grayscale", "TrueColorAlpha", "Palette"
  int colours = 0;   // distinct colours, when asked for
};
// One identify process over all the files; the first frame of each file,
// keyed by path. Files identify cannot read are missing from the map.
std::map<std::string, Identified> identifyFiles(const std::vector<std::string>& paths, bool countColours = false);

// Header-only variant for many files: size and depth, no pixels decoded.
std::map<std::string, Identified> identifySizes(const std::vector<std::string>& paths);

// True when the folder holds no file whose name starts with "quillmark"
// (the writers' temporary files).
bool noTemporaryFiles(const std::string& folder);
// The names of the entries of a folder, sorted.
std::vector<std::string> folderEntries(const std::string& folder);

}  // namespace qm::test
