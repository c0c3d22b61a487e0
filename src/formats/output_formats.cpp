#include "formats/output_formats.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "platform/text.h"

namespace qm {

std::span<const OutputFormat> outputFormats() { return kOutputFormats; }
std::span<const std::string_view> outputExtensions() { return kOutputExtensions; }

std::optional<std::size_t> outputFormatIndex(std::string_view extension) {
  for (std::size_t i = 0; i < kOutputFormats.size(); ++i)
    if (kOutputFormats[i].extension == extension) return i;
  return std::nullopt;
}

bool isOutputExtension(std::string_view extension) { return outputFormatIndex(extension).has_value(); }

const OutputFormat* findOutputFormat(std::string_view extension) {
  auto index = outputFormatIndex(extension);
  return index ? &kOutputFormats[*index] : nullptr;
}

std::vector<int> permittedBitDepths(std::string_view extension) {
  std::vector<int> depths;
  const OutputFormat* format = findOutputFormat(extension);
  if (!format) return depths;
  std::string_view list = format->permittedBitDepths;
  while (!list.empty()) {
    auto comma = list.find(',');
    std::string_view item = list.substr(0, comma);
    int value = 0;
    std::from_chars(item.data(), item.data() + item.size(), value);
    depths.push_back(value);
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return depths;
}

bool isBitDepthPermitted(std::string_view extension, int depth) {
  if (depth == 0) return true;
  auto depths = permittedBitDepths(extension);
  return std::find(depths.begin(), depths.end(), depth) != depths.end();
}

int automaticBitDepth(std::string_view extension, int sourceBitDepth, bool colourPalette, bool wideAlpha) {
  const OutputFormat* format = findOutputFormat(extension);
  if (colourPalette && sourceBitDepth <= 8 && format && format->eightBitMethod == EightBitMethod::Greyscale)
    sourceBitDepth = 24;
  int result = 0;
  for (int depth : permittedBitDepths(extension)) {
    result = depth;
    if (depth >= sourceBitDepth) break;
  }
  // 48 and 96 bits hold no alpha: a format that keeps transparency keeps
  // it at 32 bits rather than lose it for the wider samples.
  if (wideAlpha && format && format->keepsTransparency && (result == 48 || result == 96) &&
      isBitDepthPermitted(extension, 32))
    return 32;
  return result;
}

std::string formatLabel(std::string_view extension, bool withDescription) {
  std::string label = asciiUpper(extension);
  if (withDescription) {
    if (const OutputFormat* format = findOutputFormat(extension)) {
      label += " (";
      label += format->description;
      label += ")";
    }
  }
  return label;
}

}  // namespace qm
