// The keyword tables of the command line: each maps upper-case words to
// the codes the Settings record stores. Parsing goes word to code; the
// debug echo goes code to word. The compression table is shared by every
// compression option for parsing, while each format has its own word set
// for the way back, since several words share a code.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace qm {

struct Keyword {
  std::string_view word;
  int code;
};

using KeywordTable = std::span<const Keyword>;

// Code of the word (compared in upper case); 0 when no word matches.
int keywordToCode(KeywordTable table, std::string_view text);
// The first word with that code; empty when none has it.
std::string codeToKeyword(KeywordTable table, int code);

namespace keywords {

namespace tables {

inline constexpr Keyword kDdsLoad[] = {{"AUTO", 0}, {"BGRA", 1}, {"RGBA", 2}};
inline constexpr Keyword kRawLoad[] = {{"AUTO", 0}, {"8", 1}, {"16", 2}, {"24", 3}, {"48HS", 4}, {"48", 5}};
inline constexpr Keyword kFrameLoading[] = {{"ALL", 0}, {"FIRST", 1}, {"MIDDLE", 2}, {"LAST", 3}, {"RANDOM", 4}};
inline constexpr Keyword kToneMapping[] = {{"NONE", 0}, {"LINEAR", 1}, {"AL", 2}, {"DRR", 3}, {"GD", 4}};
inline constexpr Keyword kCompression[] = {
    {"NONE", 0},    {"RLE", 1},          {"ZIP", 1},   {"PIZ", 2},       {"PXR24", 3},     {"B44", 4},
    {"ZLIB1", 1},   {"ZLIB6", 2},        {"ZLIB9", 3}, {"CCITTFAX3", 1}, {"CCITTFAX4", 2}, {"PACKBITS", 3},
    {"DEFLATE", 4}, {"ADOBEDEFLATE", 5}, {"LZW", 6},   {"JPEG", 7},      {"LOGLUV", 8}};
inline constexpr Keyword kBmpCompression[] = {{"NONE", 0}, {"RLE", 1}};
inline constexpr Keyword kExrCompression[] = {{"NONE", 0}, {"ZIP", 1}, {"PIZ", 2}, {"PXR24", 3}, {"B44", 4}};
inline constexpr Keyword kPngCompression[] = {{"NONE", 0}, {"ZLIB1", 1}, {"ZLIB6", 2}, {"ZLIB9", 3}};
inline constexpr Keyword kTiffCompression[] = {{"NONE", 0},     {"CCITTFAX3", 1}, {"CCITTFAX4", 2},
                                               {"PACKBITS", 3}, {"DEFLATE", 4},   {"ADOBEDEFLATE", 5},
                                               {"LZW", 6},      {"JPEG", 7},      {"LOGLUV", 8}};
inline constexpr Keyword kColourTable[] = {{"AUTO", code(ColourTable::Auto)}, {"EXACT", code(ColourTable::Exact)}};
inline constexpr Keyword kColourModel[] = {
    {"RGB", code(ColourModel::Rgb)}, {"CMYK", code(ColourModel::Cmyk)}, {"LAB", code(ColourModel::Lab)}};
inline constexpr Keyword kChroma[] = {{"NONE", 0}, {"LOW", 1}, {"MEDIUM", 2}, {"HIGH", 3}};
inline constexpr Keyword kJpegMode[] = {{"STANDARD", 0}, {"SIMPLE", 1}, {"OPTIMIZED", 2}, {"PROGRESSIVE", 3}};
inline constexpr Keyword kRotation[] = {{"SIMPLE", code(RotationType::Simple)},
                                        {"ADVANCED", code(RotationType::Advanced)}};
inline constexpr Keyword kUnit[] = {{"PIXELS", code(ResizeUnit::Pixels)}, {"PERCENT", code(ResizeUnit::Percent)}};
inline constexpr Keyword kResizeType[] = {{"ALLIMAGES", code(ResizeType::AllImages)},
                                          {"LARGEIMAGES", code(ResizeType::LargeImages)}};
inline constexpr Keyword kResizeAlgorithm[] = {{"BOX", 0},     {"BILINEAR", 1},   {"BSPLINE", 2},
                                               {"BICUBIC", 3}, {"CATMULLROM", 4}, {"LANCZOS", 5}};
inline constexpr Keyword kFrameType[] = {{"NONE", code(FrameType::Off)}, {"SOLID", code(FrameType::Solid)}};
inline constexpr Keyword kWatermarkType[] = {
    {"NONE", code(WatermarkType::Off)}, {"TEXT", code(WatermarkType::Text)}, {"IMAGE", code(WatermarkType::Image)}};
inline constexpr Keyword kFontStyle[] = {{"REGULAR", code(FontStyle::Regular)},
                                         {"BOLD", code(FontStyle::Bold)},
                                         {"ITALIC", code(FontStyle::Italic)},
                                         {"BOLDITALIC", code(FontStyle::BoldItalic)}};
// The misspelling is the documented keyword; scripts depend on it.
inline constexpr Keyword kFontEffect[] = {{"NONE", code(FontEffect::Plain)},
                                          {"UNDERLINE", code(FontEffect::Underline)},
                                          {"STRIKETHROUGHT", code(FontEffect::Strikethrough)}};
inline constexpr Keyword kAlignment[] = {{"LEFT", code(TextAlignment::Left)},
                                         {"CENTER", code(TextAlignment::Center)},
                                         {"RIGHT", code(TextAlignment::Right)}};
inline constexpr Keyword kBoundary[] = {{"IMAGE", code(Boundary::Image)}, {"FRAME", code(Boundary::Frame)}};
inline constexpr Keyword kPosition[] = {{"TOPLEFT", 0},    {"TOPCENTER", 1},    {"TOPRIGHT", 2},
                                        {"MIDDLELEFT", 3}, {"MIDDLECENTER", 4}, {"MIDDLERIGHT", 5},
                                        {"BOTTOMLEFT", 6}, {"BOTTOMCENTER", 7}, {"BOTTOMRIGHT", 8}};
// Only the fixed size has a word.
inline constexpr Keyword kSize[] = {{"FIXED", code(StampSize::Fixed)}};
inline constexpr Keyword kTimestamp[] = {{"CURRENT", code(FileTimestamp::Current)},
                                         {"ORIGINAL", code(FileTimestamp::Original)},
                                         {"CUSTOM", code(FileTimestamp::Custom)}};

// A table that names a list of codes has one word per code, in code order,
// so that the debug echo's way back finds the word the option took.
template <typename Code, std::size_t N>
constexpr bool namesEveryCode(const Keyword (&table)[N]) {
  if (static_cast<int>(N) != codeCount<Code>) return false;
  for (std::size_t i = 0; i < N; ++i)
    if (table[i].code != static_cast<int>(i)) return false;
  return true;
}

static_assert(namesEveryCode<ColourTable>(kColourTable));
static_assert(namesEveryCode<ColourModel>(kColourModel));
static_assert(namesEveryCode<RotationType>(kRotation));
static_assert(namesEveryCode<ResizeUnit>(kUnit));
static_assert(namesEveryCode<ResizeType>(kResizeType));
static_assert(namesEveryCode<FrameType>(kFrameType));
static_assert(namesEveryCode<WatermarkType>(kWatermarkType));
static_assert(namesEveryCode<FontStyle>(kFontStyle));
static_assert(namesEveryCode<FontEffect>(kFontEffect));
static_assert(namesEveryCode<TextAlignment>(kAlignment));
static_assert(namesEveryCode<Boundary>(kBoundary));
static_assert(namesEveryCode<FileTimestamp>(kTimestamp));

}  // namespace tables

inline constexpr KeywordTable ddsLoad = tables::kDdsLoad;
inline constexpr KeywordTable rawLoad = tables::kRawLoad;
inline constexpr KeywordTable frameLoading = tables::kFrameLoading;
inline constexpr KeywordTable toneMapping = tables::kToneMapping;
inline constexpr KeywordTable compression = tables::kCompression;
inline constexpr KeywordTable bmpCompression = tables::kBmpCompression;  // also tga
inline constexpr KeywordTable exrCompression = tables::kExrCompression;
inline constexpr KeywordTable pngCompression = tables::kPngCompression;
inline constexpr KeywordTable tiffCompression = tables::kTiffCompression;
inline constexpr KeywordTable colourTable = tables::kColourTable;
inline constexpr KeywordTable colourModel = tables::kColourModel;
inline constexpr KeywordTable chroma = tables::kChroma;
inline constexpr KeywordTable jpegMode = tables::kJpegMode;
inline constexpr KeywordTable rotation = tables::kRotation;
inline constexpr KeywordTable unit = tables::kUnit;
inline constexpr KeywordTable resizeType = tables::kResizeType;
inline constexpr KeywordTable resizeAlgorithm = tables::kResizeAlgorithm;
inline constexpr KeywordTable frameType = tables::kFrameType;
inline constexpr KeywordTable watermarkType = tables::kWatermarkType;
inline constexpr KeywordTable fontStyle = tables::kFontStyle;
inline constexpr KeywordTable fontEffect = tables::kFontEffect;
inline constexpr KeywordTable alignment = tables::kAlignment;
inline constexpr KeywordTable boundary = tables::kBoundary;
inline constexpr KeywordTable position = tables::kPosition;
inline constexpr KeywordTable size = tables::kSize;
inline constexpr KeywordTable timestamp = tables::kTimestamp;

}  // namespace keywords

}  // namespace qm
