// The 23 output formats: their order, writers, descriptions, permitted bit
// depths and the per-format properties the conversion job relies on.
// The catalogue is an immutable table; save flags are computed on demand
// from a Settings record.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct Settings;

enum class Writer { FreeImage, DevIL };
enum class SixteenBitLayout { Rgb565, Rgb555 };
enum class EightBitMethod { None, Greyscale, Quantise };

struct OutputFormat {
  std::string_view extension;
  std::string_view description;
  Writer writer;
  std::int32_t writerId;               // FREE_IMAGE_FORMAT or DevIL image type
  std::string_view permittedBitDepths; // "1,4,8,16,24,32"
  bool keepsTransparency;
  SixteenBitLayout sixteenBitLayout;
  EightBitMethod eightBitMethod;
};

// The formats in list order (bmp first, xpm last).
std::span<const OutputFormat> outputFormats();
// The 23 lower-case extensions in list order.
std::span<const std::string_view> outputExtensions();

// Exact, case-sensitive: callers lower-case user input first.
bool isOutputExtension(std::string_view extension);
const OutputFormat* findOutputFormat(std::string_view extension);
std::optional<std::size_t> outputFormatIndex(std::string_view extension);

std::vector<int> permittedBitDepths(std::string_view extension);
// True for 0 (Auto) and for any permitted depth of the format.
bool isBitDepthPermitted(std::string_view extension, int depth);
// The first permitted depth >= the source depth, else the largest.
int automaticBitDepth(std::string_view extension, int sourceBitDepth);
// FreeImage save flags of the format for these settings.
std::int32_t saveFlags(std::string_view extension, const Settings& settings);
// "TIFF", or "TIFF (Tagged Image File Format)" with the description.
std::string formatLabel(std::string_view extension, bool withDescription);

}  // namespace qm
