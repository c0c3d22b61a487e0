// The Settings record: every user-adjustable value of the program, one
// field per settings-file key. Flags and small codes are 8-bit, as the
// settings file stores them (a 300 read from a file becomes 44).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

using Flag = std::int8_t;       // 0 off, any other value on
using SmallCode = std::int8_t;  // a code of a fixed list

// The codes of the settings that choose one of a fixed list, as the
// settings file and the command line's keywords number them. The fields
// stay plain codes so that a value from a newer file survives a round trip;
// code that acts on them compares with these names. (No `None`: the X
// headers define it as a macro.)
enum class RotationType : SmallCode { Simple = 0, Advanced = 1 };
enum class ResizeUnit : SmallCode { Pixels = 0, Percent = 1 };
enum class ResizeType : SmallCode { AllImages = 0, LargeImages = 1 };
enum class FrameType : SmallCode { Off = 0, Solid = 1 };
enum class WatermarkType : SmallCode { Off = 0, Text = 1, Image = 2 };
enum class FontStyle : SmallCode { Regular = 0, Bold = 1, Italic = 2, BoldItalic = 3 };
enum class FontEffect : SmallCode { Plain = 0, Underline = 1, Strikethrough = 2 };
enum class TextAlignment : SmallCode { Left = 0, Center = 1, Right = 2 };
enum class Boundary : SmallCode { Image = 0, Frame = 1 };
enum class FileTimestamp : SmallCode { Current = 0, Original = 1, Custom = 2 };
enum class ColourTable : std::int32_t { Auto = 0, Exact = 1 };
enum class ColourModel : std::int32_t { Rgb = 0, Cmyk = 1, Lab = 2 };
// Only Fixed can be chosen; a file may still hold another size, for which
// the window shows the scale row.
enum class StampSize : SmallCode { Fixed = 0, Scaled = 1 };

// How many codes a list has, so that every table that names them (keywords,
// the Preferences items) can be checked against it when it is compiled.
template <typename Code>
inline constexpr int codeCount = 0;
template <>
inline constexpr int codeCount<RotationType> = 2;
template <>
inline constexpr int codeCount<ResizeUnit> = 2;
template <>
inline constexpr int codeCount<ResizeType> = 2;
template <>
inline constexpr int codeCount<FrameType> = 2;
template <>
inline constexpr int codeCount<WatermarkType> = 3;
template <>
inline constexpr int codeCount<FontStyle> = 4;
template <>
inline constexpr int codeCount<FontEffect> = 3;
template <>
inline constexpr int codeCount<TextAlignment> = 3;
template <>
inline constexpr int codeCount<Boundary> = 2;
template <>
inline constexpr int codeCount<FileTimestamp> = 3;
template <>
inline constexpr int codeCount<ColourTable> = 2;
template <>
inline constexpr int codeCount<ColourModel> = 3;

// The number a code is stored as.
template <typename Code>
constexpr int code(Code value) {
  return static_cast<int>(value);
}

// A stored code read as its name; a code outside the list keeps its number
// and matches no name.
template <typename Code, typename Stored>
constexpr Code as(Stored stored) {
  return static_cast<Code>(stored);
}

struct Settings {
  std::string settingsFilePath;  // not persisted; set by window start-up

  // General
  std::int32_t cfg = 17;
  std::string language = "en";
  std::int32_t updateRange = 2;
  std::int64_t updateDate = 0;
  Flag saveWindowPosition = 1;

  // Window
  Flag isMaximized = 0;
  std::int32_t width = 510;
  std::int32_t height = 330;
  std::int32_t x = 100;
  std::int32_t y = 100;

  // Interface
  std::string uiTheme = "handdrawn";
  std::int32_t uiSize = 2;

  // Input
  std::string inputFormat = "psd";
  std::int32_t ddsLoadAs = 0;
  std::int32_t gifFrameLoading = 0;
  std::int32_t icoFrameLoading = 0;
  std::int32_t tiffFrameLoading = 0;
  std::int32_t rawLoadAs = 0;
  std::int32_t rawHeaderSize = 0;
  std::int32_t rawImageWidth = 0;
  std::int32_t rawImageHeight = 0;
  std::int32_t rawToneMapping = 2;

  // Output
  std::string outputFormat = "bmp";
  std::int32_t bmpBpp = 0;
  std::int32_t bmpCompression = 0;
  std::int32_t bmpColorTable = 0;
  std::int32_t ddsBpp = 0;
  std::int32_t exrBpp = 0;
  std::int32_t exrCompression = 0;
  std::int32_t gifBpp = 0;
  std::int32_t hdrBpp = 0;
  std::int32_t icoBpp = 0;
  std::int32_t j2kBpp = 0;
  std::int32_t jngBpp = 0;
  std::int32_t jp2Bpp = 0;
  std::int32_t jpgBpp = 0;
  std::int32_t jpgQuality = 95;
  std::int32_t jpgChroma = 0;
  std::int32_t jpgSaveAs = 0;
  std::int32_t jxrBpp = 0;
  std::int32_t pbmBpp = 0;
  std::int32_t pcxBpp = 0;
  std::int32_t pfmBpp = 0;
  std::int32_t pgmBpp = 0;
  std::int32_t pngBpp = 0;
  std::int32_t pngCompression = 0;
  Flag pngInterlaced = 0;
  std::int32_t ppmBpp = 0;
  std::int32_t psdBpp = 0;
  std::int32_t tgaBpp = 0;
  std::int32_t tgaCompression = 0;
  std::int32_t tiffBpp = 0;
  std::int32_t tiffCompression = 0;
  std::int32_t tiffColorModel = 0;
  std::int32_t wbmpBpp = 0;
  std::int32_t webpBpp = 0;
  std::int32_t xpmBpp = 0;

  // Transform
  Flag doImageRotation = 0;
  SmallCode imageRotationType = 0;
  std::int32_t imageRotation = 0;
  std::string imageRotationBackColor = "000000";
  Flag doImageResize = 0;
  std::int32_t imageWidth = 0;
  SmallCode imageWidthUnit = 0;
  std::int32_t imageHeight = 0;
  SmallCode imageHeightUnit = 0;
  Flag keepAspectRatio = 1;
  SmallCode imageResizeType = 0;
  SmallCode imageResizeAlgorithm = 3;
  Flag doImageFlipHorizontal = 0;
  Flag doImageFlipVertical = 0;

  // Adjustment
  Flag doImageColorCorrection = 0;
  std::int32_t imageBrightness = 0;
  std::int32_t imageContrast = 0;
  float imageGamma = 1.0f;
  Flag imageInvert = 0;
  Flag doImageGreyscale = 0;
  Flag doImageThreshold = 0;
  std::int32_t imageThreshold = 0;

  // Frame
  SmallCode doFrame = 0;
  std::int32_t solidLeft = 0;
  std::int32_t solidRight = 0;
  std::int32_t solidTop = 0;
  std::int32_t solidBottom = 0;
  std::string solidLeftColor = "000000";
  std::string solidRightColor = "000000";
  std::string solidTopColor = "000000";
  std::string solidBottomColor = "000000";
  std::int32_t solidOpacity = 255;

  // Watermark
  SmallCode doWatermark = 0;
  std::string text;  // set by resetSettings to the ownership notice
  std::string fonts = "Arial,Tahoma,Verdana";
  std::string font = "Arial";
  std::int32_t fontSize = 14;
  std::int32_t fontLeading = 0;
  std::string fontColors = "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";
  std::string fontColor = "FFFFFF";
  SmallCode fontStyle = 0;
  SmallCode fontEffect = 0;
  Flag textAntialiasing = 0;
  SmallCode textAlignment = 0;
  std::int32_t textPadding = 0;
  std::int32_t textOpacity = 255;
  std::string backColors = "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";
  std::string backColor = "000000";
  std::int32_t backOpacity = 1;
  SmallCode textBoundary = 0;
  SmallCode textPosition = 8;
  std::int32_t textXOffset = 10;
  std::int32_t textYOffset = 10;
  std::int32_t textRotation = 0;
  SmallCode textSize = 0;
  std::int32_t textScale = 10;
  std::string image;
  Flag imageGreyscale = 0;
  std::int32_t imageOpacity = 255;
  SmallCode imageBoundary = 0;
  SmallCode imagePosition = 8;
  std::int32_t imageXOffset = 10;
  std::int32_t imageYOffset = 10;
  std::int32_t watermarkImageRotation = 0;  // key `Image Rotation` of group Watermark
  SmallCode imageSize = 0;
  std::int32_t imageScale = 10;

  // Advanced
  std::string filenameMask = "%filename%.%ext%";
  SmallCode fileTimestamp = 0;
  std::int64_t customTimestamp = 0;
  SmallCode outFoldersHistory = 1;
  SmallCode outFoldersNumber = 5;
  Flag keepSubfolders = 1;

  // File
  std::string recentOutFolders;
  std::string recentFiles;

  // Privacy
  Flag cleanRecentFiles = 0;
};

// The default of `Text`: a one-line ownership notice.
inline constexpr std::string_view kDefaultWatermarkText = "(c) 2009-2026 Ferroval. All rights reserved.";

// Size of the primary desktop; 0 x 0 where there is none (command line).
struct DesktopSize {
  int width = 0;
  int height = 0;
};

enum class SettingsForm { Window, CommandLine };

// Gives every field its default. The command-line form leaves
// `Keep Aspect Ratio` off. `settingsFilePath` is kept.
void resetSettings(Settings& settings, SettingsForm form, DesktopSize desktop);

// The default window position for the 510 x 330 main window.
int defaultWindowX(DesktopSize desktop);
int defaultWindowY(DesktopSize desktop);

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Six hexadecimal digits RRGGBB; any other length gives black, and a pair
// is read up to its first non-hexadecimal character.
Rgb colourFromText(std::string_view text);
// Two upper-case hexadecimal digits per channel.
std::string colourToText(Rgb colour);

// The bits-per-pixel field of an output format, by its extension; nullptr
// for an unknown extension.
std::int32_t* bppField(Settings& settings, std::string_view extension);
const std::int32_t* bppField(const Settings& settings, std::string_view extension);

}  // namespace qm
