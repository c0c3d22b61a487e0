// Test images: small FreeImage bitmaps built pixel by pixel, pixel access
// with y counted from the top, and reading outputs back the way an
// independent user would: FreeImage by the file's own signature, DevIL, and
// ImageMagick's identify as a reader that shares no code with the writers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
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

struct Pixel {
  int red = 0;
  int green = 0;
  int blue = 0;
  int alpha = 255;
  friend bool operator==(const Pixel&, const Pixel&) = default;
};
std::string describe(const Pixel& colour);
// Lets GoogleTest print a Pixel readably.
inline void PrintTo(const Pixel& p, std::ostream* out) { *out << describe(p); }

// The colour of a pixel, x and y counted from the top left, each channel
// on the 0..255 scale: palettised, 16-bit (5-6-5 or 5-5-5, low bits 0),
// 24-, 32-bit and 16-bit-per-channel bitmaps (their high bytes). Alpha is
// 255 unless the bitmap has one.
Pixel pixelAt(const Bitmap& image, unsigned x, unsigned y);

using PixelSource = std::function<Pixel(int x, int y)>;
// A 24- or 32-bit bitmap painted by `source` (y from the top).
Bitmap makeBitmap(int width, int height, int bpp, const PixelSource& source);
Bitmap makeUniform(int width, int height, int bpp, Pixel colour);
// Deterministic noise, different in every channel.
Pixel noise(int x, int y);
// An 8-bit greyscale bitmap (linear grey palette) painted by `level`.
Bitmap makeGrey8(int width, int height, const std::function<int(int, int)>& level);
// Number of pixels that differ between two bitmaps of the same size; -1
// when the sizes differ.
long countDifferences(const Bitmap& a, const Bitmap& b);
// An independent copy, to compare a step's result against its input.
Bitmap copyOf(const Bitmap& bitmap);

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

// True when the folder holds no file whose name starts with ".quillmark"
// (the writers' temporary files).
bool noTemporaryFiles(const std::string& folder);
// The names of the entries of a folder, sorted.
std::vector<std::string> folderEntries(const std::string& folder);

}  // namespace qm::test
