// The image steps of the conversion job. Shared rules, written once:
// - A step takes the working image and returns the working image. When it
//   makes a new bitmap, the one it replaced is released by letting it go
//   out of scope; every other bitmap or canvas it makes dies inside it.
// - A missing working image (an empty Bitmap) passes through untouched.
// - Steps read their settings from the Settings record and nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "canvas/bitmap.h"
#include "engine/document/byte_source.h"
#include "settings/settings.h"

namespace qm {

struct ImageSize {
  int width = 0;
  int height = 0;
};

// Loading and normalisation.
// The document at `path` opened for reading; nothing, with the reason in
// `failure`, when it cannot be read or is not a regular file. A conversion
// opens its document once and reads everything through this.
std::optional<FileBytes> openDocument(const std::string& path, std::string& failure);
// Why the file cannot be a whole Photoshop document (not one at all, an
// impossible header, a colour mode or depth the reader lacks, sections or
// image data running past the end); nothing when it looks whole.
std::optional<std::string> documentProblem(const ByteSource& file);
std::optional<std::string> documentProblem(const std::string& path);
struct LoadedDocument {
  Bitmap image;
  // The profile the written file carries (the document's own, or sRGB
  // after a conversion through it); empty for none.
  std::vector<std::uint8_t> iccProfile;
  // Why there is no image, when the reason is known.
  std::string failure;
  // What a document composed from its layers goes without, one line each.
  std::vector<std::string> leftOut;
};
// A document that would need more than `memoryLimit` bytes to read (0 =
// what the process may use) fails with "too large: ..." before its pixels
// are allocated.
LoadedDocument loadDocument(const ByteSource& file, std::uint64_t memoryLimit = 0);
LoadedDocument loadDocument(const std::string& path, std::uint64_t memoryLimit = 0);
// The memory the process may use: the machine's, or less under a resource
// limit.
std::uint64_t usableMemory();
// ico only: anything over 128 in either direction becomes 128 x 128.
Bitmap capIconSize(Bitmap image, std::string_view extension, bool& rescaled);
// 16-bit and floating-point grey images become 8-bit grey, and 16-bit and
// floating-point colour images 24- or 32-bit, unless `keepWide` (see
// keepsWideSamples); 16-bit samples are scaled, floats sRGB-encoded, alpha
// kept.
Bitmap normaliseGreyTypes(Bitmap image, bool keepWide);
Bitmap toneMap(Bitmap image, bool keepWide);

// Sample depth (the shared rules of the two steps above and of the wide
// outputs).
// The sRGB transfer curve and its inverse, on 0..1 (clamped when encoding).
float srgbToLinear(float encoded);
float linearToSrgb(float linear);
// True for 16-bit, floating-point and other non-8-bit sample types.
bool hasWideSamples(const Bitmap& image);
// 16-bit samples scaled to 8 bits (v * 255 / 65535, rounded), floats
// encoded with the sRGB curve; grey stays grey, alpha stays.
Bitmap toEightBitsPerSample(Bitmap image);
// RGB16: floats sRGB-encoded, everything else through the library.
Bitmap toSixteenBitsPerSample(Bitmap image);
// RGBF holding linear light: encoded (8- and 16-bit) samples are decoded
// with the sRGB curve, floats are already linear.
Bitmap toLinearFloat(Bitmap image);
// RGBA16 and RGBAF laid on white, in their own depth; other images
// unchanged.
Bitmap flattenWideTransparency(Bitmap image);
// True when the output depth holds more than 8 bits a sample (48, 96) and
// no step that works at 8 bits (rotation, colours, greyscale, threshold,
// frame, watermark) is on: the document's samples then reach the writer
// without an 8-bit detour.
bool keepsWideSamples(const Settings& settings, int targetBitDepth);
Bitmap flattenTransparency(Bitmap image, std::string_view extension);

// Geometry.
// The sizes rotation and resizing will give, known before either runs.
ImageSize rotatedSize(const Settings& settings, int width, int height);
ImageSize resizedSize(const Settings& settings, int width, int height);
Bitmap rotate(Bitmap image, const Settings& settings);
Bitmap resize(Bitmap image, const Settings& settings, int width, int height);
void flip(Bitmap& image, const Settings& settings);

// Colour.
Bitmap adjustColours(Bitmap image, const Settings& settings);
Bitmap makeGreyscale(Bitmap image, const Settings& settings);
Bitmap threshold(Bitmap image, const Settings& settings);

// The frame, drawn inside the W x H recorded by the job.
Bitmap drawFrame(Bitmap image, const Settings& settings, int width, int height);

// Limits.
// Why an image of this size cannot be made or written in the format: a
// side over the format's maximum, or more pixels than the memory the
// process may use can hold while the steps work; nothing when it can.
std::optional<std::string> sizeProblem(std::string_view extension, std::int64_t width, std::int64_t height);
// Why the format's writer cannot take an image of this size (icons are
// square, 16 to 256 pixels a side; JPEG 2000 needs 32 pixels a side).
std::optional<std::string> formatProblem(std::string_view extension, int width, int height);

// Output encoding.
Bitmap convertBitDepth(Bitmap image, std::string_view extension, int targetBitDepth);
// A 24-bit image to 8-bit palette colours with the Wu quantiser, safe for
// images of any size; anything else yields no image.
Bitmap quantiseTo256Colours(Bitmap image);

}  // namespace qm
