#include "formats/output_formats.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "settings/settings.h"

namespace qm {

namespace {

using enum Writer;
using enum SixteenBitLayout;
using enum EightBitMethod;

// Writer ids: FreeImage's FREE_IMAGE_FORMAT numbers, DevIL's IL_* types.
constexpr std::array<OutputFormat, 23> kFormats = {{
    {"bmp", "Windows or OS/2 Bitmap", FreeImage, 0, "1,4,8,16,24,32", false, Rgb565, Quantise},
    {"dds", "DirectDraw Surface", DevIL, 0x0437, "32", true, Rgb565, None},
    {"exr", "ILM OpenEXR", FreeImage, 29, "96", false, Rgb565, None},
    {"gif", "Graphics Interchange Format", FreeImage, 25, "8", false, Rgb565, Quantise},
    {"hdr", "High Dynamic Range Image", FreeImage, 26, "96", false, Rgb565, None},
    {"ico", "Windows Icon", FreeImage, 1, "1,4,8,16,24,32", true, Rgb555, Quantise},
    {"j2k", "JPEG-2000 Codestream", FreeImage, 30, "8,24,32,48", false, Rgb565, Greyscale},
    {"jng", "JPEG Network Graphics", FreeImage, 3, "24,32", true, Rgb565, None},
    {"jp2", "JPEG-2000 File Format", FreeImage, 31, "8,24,32,48", false, Rgb565, Greyscale},
    {"jpg", "JPEG File Format", FreeImage, 2, "8,24", false, Rgb565, Greyscale},
    {"jxr", "JPEG XR Image Format", FreeImage, 36, "1,8,16,24,32,48,96", true, Rgb565, Greyscale},
    {"pbm", "Portable Bitmap", FreeImage, 7, "1", false, Rgb565, None},
    {"pcx", "ZSoft Paintbrush", DevIL, 0x0428, "24", false, Rgb565, None},
    {"pfm", "Portable Floatmap", FreeImage, 32, "96", false, Rgb565, None},
    {"pgm", "Portable Greymap", FreeImage, 11, "8", false, Rgb565, Quantise},
    {"png", "Portable Network Graphics", FreeImage, 13, "1,4,8,24,32,48", true, Rgb565, Quantise},
    {"ppm", "Portable Pixelmap", FreeImage, 14, "24,48", false, Rgb565, None},
    {"psd", "Adobe Photoshop", DevIL, 0x0439, "32", true, Rgb565, None},
    {"tga", "Truevision Targa", FreeImage, 17, "8,16,24,32", true, Rgb555, Quantise},
    {"tiff", "Tagged Image File Format", FreeImage, 18, "1,4,8,24,32,48,96", false, Rgb565, Quantise},
    {"wbmp", "Wireless Bitmap", FreeImage, 19, "1", false, Rgb565, None},
    {"webp", "Google WebP Image Format", FreeImage, 35, "24,32", true, Rgb565, None},
    {"xpm", "X11 Pixmap Format", FreeImage, 23, "24", false, Rgb565, None},
}};

constexpr std::array<std::string_view, 23> kExtensions = [] {
  std::array<std::string_view, 23> list{};
  for (std::size_t i = 0; i < kFormats.size(); ++i) list[i] = kFormats[i].extension;
  return list;
}();

}  // namespace

std::span<const OutputFormat> outputFormats() { return kFormats; }
std::span<const std::string_view> outputExtensions() { return kExtensions; }

std::optional<std::size_t> outputFormatIndex(std::string_view extension) {
  for (std::size_t i = 0; i < kFormats.size(); ++i)
    if (kFormats[i].extension == extension) return i;
  return std::nullopt;
}

bool isOutputExtension(std::string_view extension) { return outputFormatIndex(extension).has_value(); }

const OutputFormat* findOutputFormat(std::string_view extension) {
  auto index = outputFormatIndex(extension);
  return index ? &kFormats[*index] : nullptr;
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

int automaticBitDepth(std::string_view extension, int sourceBitDepth) {
  int result = 0;
  for (int depth : permittedBitDepths(extension)) {
    result = depth;
    if (depth >= sourceBitDepth) break;
  }
  return result;
}

std::int32_t saveFlags(std::string_view extension, const Settings& s) {
  // Index = the setting's code; a code outside the table adds nothing.
  auto pick = [](auto const& table, std::int32_t code) -> std::int32_t {
    return code >= 0 && static_cast<std::size_t>(code) < std::size(table) ? table[code] : 0;
  };
  if (extension == "bmp") return pick(std::array{0, 1}, s.bmpCompression);
  if (extension == "exr") return pick(std::array{2, 4, 8, 16, 32}, s.exrCompression);
  if (extension == "jpg")
    return s.jpgQuality + pick(std::array{0x10000, 0x8000, 0x4000, 0x1000}, s.jpgChroma) +
           pick(std::array{0, 0x40000, 0x20000, 0x2000}, s.jpgSaveAs);
  if (extension == "jxr") return 0x64;
  if (extension == "png")
    return pick(std::array{0x100, 1, 6, 9}, s.pngCompression) | (s.pngInterlaced ? 0x200 : 0);
  if (extension == "tga") return pick(std::array{0, 2}, s.tgaCompression);
  if (extension == "tiff")
    return pick(std::array{0x800, 0x1000, 0x2000, 0x100, 0x200, 0x400, 0x4000, 0x8000, 0x10000},
                s.tiffCompression) |
           (s.tiffColorModel == 1 ? 1 : 0);
  if (extension == "webp") return 0x100;
  return 0;
}

std::string formatLabel(std::string_view extension, bool withDescription) {
  std::string label;
  for (char c : extension) label += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
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
