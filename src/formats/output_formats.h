// The 23 output formats: their order, writers, descriptions, permitted bit
// depths and the per-format properties the conversion job relies on.
// The catalogue is an immutable table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Who writes the format: FreeImage, DevIL, or the program's own encoder
// over jxrlib.
enum class Writer { FreeImage, DevIL, Jxr };
enum class SixteenBitLayout { Rgb565, Rgb555 };
enum class EightBitMethod { None, Greyscale, Quantise };

struct OutputFormat {
  std::string_view extension;
  std::string_view description;
  Writer writer;
  std::int32_t writerId;                // FREE_IMAGE_FORMAT or DevIL image type
  std::string_view permittedBitDepths;  // "1,4,8,16,24,32"
  bool keepsTransparency;
  SixteenBitLayout sixteenBitLayout;
  EightBitMethod eightBitMethod;
};

// Writer ids: FreeImage's FREE_IMAGE_FORMAT numbers (jxr's too: the
// library identifies the files it reads back), DevIL's IL_* types. The
// writers check them against the libraries' constants when they compile.
inline constexpr std::array<OutputFormat, 23> kOutputFormats = {{
    {"bmp", "Windows or OS/2 Bitmap", Writer::FreeImage, 0, "1,4,8,16,24,32", false, SixteenBitLayout::Rgb565,
     EightBitMethod::Quantise},
    {"dds", "DirectDraw Surface", Writer::DevIL, 0x0437, "32", true, SixteenBitLayout::Rgb565, EightBitMethod::None},
    {"exr", "ILM OpenEXR", Writer::FreeImage, 29, "96", false, SixteenBitLayout::Rgb565, EightBitMethod::None},
    {"gif", "Graphics Interchange Format", Writer::FreeImage, 25, "8", false, SixteenBitLayout::Rgb565,
     EightBitMethod::Quantise},
    {"hdr", "High Dynamic Range Image", Writer::FreeImage, 26, "96", false, SixteenBitLayout::Rgb565,
     EightBitMethod::None},
    {"ico", "Windows Icon", Writer::FreeImage, 1, "1,4,8,16,24,32", true, SixteenBitLayout::Rgb555,
     EightBitMethod::Quantise},
    {"j2k", "JPEG-2000 Codestream", Writer::FreeImage, 30, "8,24,32,48", false, SixteenBitLayout::Rgb565,
     EightBitMethod::Greyscale},
    {"jng", "JPEG Network Graphics", Writer::FreeImage, 3, "24,32", true, SixteenBitLayout::Rgb565,
     EightBitMethod::None},
    {"jp2", "JPEG-2000 File Format", Writer::FreeImage, 31, "8,24,32,48", false, SixteenBitLayout::Rgb565,
     EightBitMethod::Greyscale},
    {"jpg", "JPEG File Format", Writer::FreeImage, 2, "8,24", false, SixteenBitLayout::Rgb565,
     EightBitMethod::Greyscale},
    {"jxr", "JPEG XR Image Format", Writer::Jxr, 36, "1,8,16,24,32,48,96", true, SixteenBitLayout::Rgb565,
     EightBitMethod::Greyscale},
    {"pbm", "Portable Bitmap", Writer::FreeImage, 7, "1", false, SixteenBitLayout::Rgb565, EightBitMethod::None},
    {"pcx", "ZSoft Paintbrush", Writer::DevIL, 0x0428, "24", false, SixteenBitLayout::Rgb565, EightBitMethod::None},
    {"pfm", "Portable Floatmap", Writer::FreeImage, 32, "96", false, SixteenBitLayout::Rgb565, EightBitMethod::None},
    // A greymap holds grey levels: quantised palette indices would read as
    // a nearly black picture.
    {"pgm", "Portable Greymap", Writer::FreeImage, 11, "8", false, SixteenBitLayout::Rgb565, EightBitMethod::Greyscale},
    {"png", "Portable Network Graphics", Writer::FreeImage, 13, "1,4,8,24,32,48", true, SixteenBitLayout::Rgb565,
     EightBitMethod::Quantise},
    {"ppm", "Portable Pixelmap", Writer::FreeImage, 14, "24,48", false, SixteenBitLayout::Rgb565, EightBitMethod::None},
    {"psd", "Adobe Photoshop", Writer::DevIL, 0x0439, "32", true, SixteenBitLayout::Rgb565, EightBitMethod::None},
    {"tga", "Truevision Targa", Writer::FreeImage, 17, "8,16,24,32", true, SixteenBitLayout::Rgb555,
     EightBitMethod::Quantise},
    {"tiff", "Tagged Image File Format", Writer::FreeImage, 18, "1,4,8,24,32,48,96", false, SixteenBitLayout::Rgb565,
     EightBitMethod::Quantise},
    {"wbmp", "Wireless Bitmap", Writer::FreeImage, 19, "1", false, SixteenBitLayout::Rgb565, EightBitMethod::None},
    {"webp", "Google WebP Image Format", Writer::FreeImage, 35, "24,32", true, SixteenBitLayout::Rgb565,
     EightBitMethod::None},
    {"xpm", "X11 Pixmap Format", Writer::FreeImage, 23, "24", false, SixteenBitLayout::Rgb565, EightBitMethod::None},
}};

// The 23 lower-case extensions in list order.
inline constexpr std::array<std::string_view, 23> kOutputExtensions = [] {
  std::array<std::string_view, 23> list{};
  for (std::size_t i = 0; i < kOutputFormats.size(); ++i) list[i] = kOutputFormats[i].extension;
  return list;
}();

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
// The first permitted depth >= the source depth, else the largest. A
// source of palette colours counts as 24 bits for the formats whose 8 bits
// are grey (the JPEG family), so its colours are kept.
// A source of 16 bits or floats a sample with alpha (`wideAlpha`) keeps its
// alpha at 32 bits in the formats that keep transparency, where the rule
// would give 48 or 96 bits without alpha.
int automaticBitDepth(std::string_view extension, int sourceBitDepth, bool colourPalette = false,
                      bool wideAlpha = false);
// "TIFF", or "TIFF (Tagged Image File Format)" with the description.
std::string formatLabel(std::string_view extension, bool withDescription);

}  // namespace qm
