#include "cli/options.h"

#include <array>
#include <charconv>

#include "cli/value_reading.h"

namespace qm {

namespace {

using S = Settings;
using VK = ValueKind;
namespace kw = keywords;

constexpr Option makeOption(std::string_view name, VK kind, OptionTarget target, StepSwitch on = {}) {
  Option option;
  option.longName = name;
  option.kind = kind;
  option.target = target;
  option.switchesOn = on;
  return option;
}

constexpr Option runOption(std::string_view longName, std::string_view shortName, VK kind, RunOption which) {
  Option option = makeOption(longName, kind, {});
  option.shortName = shortName;
  option.run = which;
  return option;
}

template <typename Field>
constexpr Option number(std::string_view name, Field S::*field, StepSwitch on = {}) {
  return makeOption(name, VK::Number, field, on);
}

constexpr Option decimal(std::string_view name, float S::*field, StepSwitch on = {}) {
  return makeOption(name, VK::Decimal, field, on);
}

template <typename Field>
constexpr Option keyword(std::string_view name, Field S::*field, KeywordTable words, KeywordTable echo = {}) {
  Option option = makeOption(name, VK::Keyword, field);
  option.keywords = words;
  option.echoKeywords = echo;
  return option;
}

constexpr Option text(std::string_view name, std::string S::*field, StepSwitch on = {}) {
  return makeOption(name, VK::Text, field, on);
}

constexpr Option flag(std::string_view name, std::int8_t S::*field, StepSwitch on = {}, std::int8_t value = 1) {
  Option option = makeOption(name, VK::Switch, field, on);
  option.switchValue = value;
  return option;
}

constexpr StepSwitch kRotationOn{&S::doImageRotation};
constexpr StepSwitch kResizeOn{&S::doImageResize};
constexpr StepSwitch kColourCorrectionOn{&S::doImageColorCorrection};
constexpr StepSwitch kThresholdOn{&S::doImageThreshold};
constexpr StepSwitch kFrameOn{&S::doFrame};
constexpr StepSwitch kTextWatermarkOn{&S::doWatermark, 1};
constexpr StepSwitch kImageWatermarkOn{&S::doWatermark, 2};

constexpr auto kOptions = std::to_array<Option>({
    // Run
    runOption("--INPUT", "-I", VK::Text, RunOption::Input),
    runOption("--OUTPUT", "-O", VK::Text, RunOption::Output),
    runOption("--CONVERSION", "-C", VK::Text, RunOption::Conversion),
    runOption("--PROFILE", "", VK::Text, RunOption::Profile),
    runOption("--DEBUG", "-D", VK::Switch, RunOption::Debug),
    runOption("--QUIET", "-Q", VK::Switch, RunOption::Quiet),
    runOption("--PAUSE", "-P", VK::Switch, RunOption::Pause),
    // Worker processes at once; not in the help text, which lists the
    // options a profile shares with the window.
    runOption("--JOBS", "", VK::Number, RunOption::Jobs),

    // Input
    keyword("--DDS-LOAD-AS", &S::ddsLoadAs, kw::ddsLoad),
    keyword("--GIF-FRAME-LOADING", &S::gifFrameLoading, kw::frameLoading),
    keyword("--ICO-FRAME-LOADING", &S::icoFrameLoading, kw::frameLoading),
    keyword("--TIFF-FRAME-LOADING", &S::tiffFrameLoading, kw::frameLoading),
    keyword("--RAW-LOAD-AS", &S::rawLoadAs, kw::rawLoad),
    number("--RAW-HEADER-SIZE", &S::rawHeaderSize),
    number("--RAW-WIDTH", &S::rawImageWidth),
    number("--RAW-HEIGHT", &S::rawImageHeight),
    keyword("--RAW-TONE-MAPPING", &S::rawToneMapping, kw::toneMapping),

    // Output: one bits-per-pixel option per format, in list order
    number("--BMP-BPP", &S::bmpBpp),
    number("--DDS-BPP", &S::ddsBpp),
    number("--EXR-BPP", &S::exrBpp),
    number("--GIF-BPP", &S::gifBpp),
    number("--HDR-BPP", &S::hdrBpp),
    number("--ICO-BPP", &S::icoBpp),
    number("--J2K-BPP", &S::j2kBpp),
    number("--JNG-BPP", &S::jngBpp),
    number("--JP2-BPP", &S::jp2Bpp),
    number("--JPG-BPP", &S::jpgBpp),
    number("--JXR-BPP", &S::jxrBpp),
    number("--PBM-BPP", &S::pbmBpp),
    number("--PCX-BPP", &S::pcxBpp),
    number("--PFM-BPP", &S::pfmBpp),
    number("--PGM-BPP", &S::pgmBpp),
    number("--PNG-BPP", &S::pngBpp),
    number("--PPM-BPP", &S::ppmBpp),
    number("--PSD-BPP", &S::psdBpp),
    number("--TGA-BPP", &S::tgaBpp),
    number("--TIFF-BPP", &S::tiffBpp),
    number("--WBMP-BPP", &S::wbmpBpp),
    number("--WEBP-BPP", &S::webpBpp),
    number("--XPM-BPP", &S::xpmBpp),
    keyword("--BMP-COMPRESSION", &S::bmpCompression, kw::compression, kw::bmpCompression),
    keyword("--BMP-COLOR-TABLE", &S::bmpColorTable, kw::colourTable),
    keyword("--EXR-COMPRESSION", &S::exrCompression, kw::compression, kw::exrCompression),
    number("--JPG-QUALITY", &S::jpgQuality),
    keyword("--JPG-CHROMA", &S::jpgChroma, kw::chroma),
    keyword("--JPG-SAVE-AS", &S::jpgSaveAs, kw::jpegMode),
    keyword("--PNG-COMPRESSION", &S::pngCompression, kw::compression, kw::pngCompression),
    flag("--PNG-INTERLACED", &S::pngInterlaced),
    keyword("--TGA-COMPRESSION", &S::tgaCompression, kw::compression, kw::bmpCompression),
    keyword("--TIFF-COMPRESSION", &S::tiffCompression, kw::compression, kw::tiffCompression),
    keyword("--TIFF-COLOR-MODEL", &S::tiffColorModel, kw::colourModel),

    // Transform and adjustment
    keyword("--ROTATION-TYPE", &S::imageRotationType, kw::rotation),
    number("--ROTATION", &S::imageRotation, kRotationOn),
    text("--ROTATION-BACK-COLOR", &S::imageRotationBackColor),
    number("--WIDTH", &S::imageWidth, kResizeOn),
    keyword("--WIDTH-UNIT", &S::imageWidthUnit, kw::unit),
    number("--HEIGHT", &S::imageHeight, kResizeOn),
    keyword("--HEIGHT-UNIT", &S::imageHeightUnit, kw::unit),
    flag("--KEEP-ASPECT-RATIO", &S::keepAspectRatio),
    keyword("--RESIZE-TYPE", &S::imageResizeType, kw::resizeType),
    keyword("--RESIZE-ALGORITHM", &S::imageResizeAlgorithm, kw::resizeAlgorithm),
    flag("--FLIP-HORIZONTAL", &S::doImageFlipHorizontal),
    flag("--FLIP-VERTICAL", &S::doImageFlipVertical),
    number("--BRIGHTNESS", &S::imageBrightness, kColourCorrectionOn),
    number("--CONTRAST", &S::imageContrast, kColourCorrectionOn),
    decimal("--GAMMA", &S::imageGamma, kColourCorrectionOn),
    flag("--INVERT", &S::imageInvert, kColourCorrectionOn),
    flag("--GREYSCALE", &S::doImageGreyscale),
    number("--THRESHOLD", &S::imageThreshold, kThresholdOn),

    // Frame
    number("--FR-SOLID-LEFT", &S::solidLeft, kFrameOn),
    number("--FR-SOLID-RIGHT", &S::solidRight, kFrameOn),
    number("--FR-SOLID-TOP", &S::solidTop, kFrameOn),
    number("--FR-SOLID-BOTTOM", &S::solidBottom, kFrameOn),
    text("--FR-SOLID-LEFT-COLOR", &S::solidLeftColor),
    text("--FR-SOLID-RIGHT-COLOR", &S::solidRightColor),
    text("--FR-SOLID-TOP-COLOR", &S::solidTopColor),
    text("--FR-SOLID-BOTTOM-COLOR", &S::solidBottomColor),
    number("--FR-SOLID-OPACITY", &S::solidOpacity),

    // Watermark
    text("--WM-TEXT", &S::text, kTextWatermarkOn),
    text("--WM-FONT", &S::font),
    number("--WM-FONT-SIZE", &S::fontSize),
    number("--WM-FONT-LEADING", &S::fontLeading),
    text("--WM-FONT-COLOR", &S::fontColor),
    keyword("--WM-FONT-STYLE", &S::fontStyle, kw::fontStyle),
    keyword("--WM-FONT-EFFECT", &S::fontEffect, kw::fontEffect),
    flag("--WM-TEXT-ANTIALIASING", &S::textAntialiasing),
    keyword("--WM-TEXT-ALIGNMENT", &S::textAlignment, kw::alignment),
    number("--WM-TEXT-PADDING", &S::textPadding),
    number("--WM-TEXT-OPACITY", &S::textOpacity),
    text("--WM-BACK-COLOR", &S::backColor),
    number("--WM-BACK-OPACITY", &S::backOpacity),
    keyword("--WM-TEXT-BOUNDARY", &S::textBoundary, kw::boundary),
    keyword("--WM-TEXT-POSITION", &S::textPosition, kw::position),
    number("--WM-TEXT-X-OFFSET", &S::textXOffset),
    number("--WM-TEXT-Y-OFFSET", &S::textYOffset),
    number("--WM-TEXT-ROTATION", &S::textRotation),
    keyword("--WM-TEXT-SIZE", &S::textSize, kw::size),
    text("--WM-IMAGE", &S::image, kImageWatermarkOn),
    flag("--WM-IMAGE-GREYSCALE", &S::imageGreyscale),
    number("--WM-IMAGE-OPACITY", &S::imageOpacity),
    keyword("--WM-IMAGE-BOUNDARY", &S::imageBoundary, kw::boundary),
    keyword("--WM-IMAGE-POSITION", &S::imagePosition, kw::position),
    number("--WM-IMAGE-X-OFFSET", &S::imageXOffset),
    number("--WM-IMAGE-Y-OFFSET", &S::imageYOffset),
    number("--WM-IMAGE-ROTATION", &S::watermarkImageRotation),
    keyword("--WM-IMAGE-SIZE", &S::imageSize, kw::size),

    // Naming
    text("--FILENAME-MASK", &S::filenameMask),
    keyword("--FILE-TIMESTAMP", &S::fileTimestamp, kw::timestamp),
    number("--FILE-TIMESTAMP-CUSTOM", &S::customTimestamp),
    flag("--NO-SUBFOLDERS", &S::keepSubfolders, {}, 0),
});

struct IntegerStore {
  Settings& settings;
  std::int64_t value;
  void operator()(std::monostate) const {}
  void operator()(std::int8_t S::*field) const { settings.*field = static_cast<std::int8_t>(value); }
  void operator()(std::int32_t S::*field) const { settings.*field = static_cast<std::int32_t>(value); }
  void operator()(std::int64_t S::*field) const { settings.*field = value; }
  void operator()(float S::*field) const { settings.*field = static_cast<float>(value); }
  void operator()(std::string S::*) const {}
};

std::int64_t integerField(const Settings& settings, const OptionTarget& target) {
  if (auto field = std::get_if<std::int8_t S::*>(&target)) return settings.**field;
  if (auto field = std::get_if<std::int32_t S::*>(&target)) return settings.**field;
  if (auto field = std::get_if<std::int64_t S::*>(&target)) return settings.**field;
  return 0;
}

std::string twoDecimals(float value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  if (result.ec != std::errc{}) return {};
  return std::string(buffer, result.ptr);
}

}  // namespace

std::span<const Option> commandLineOptions() { return kOptions; }

const Option* findOption(std::string_view upperName) {
  if (upperName.empty()) return nullptr;
  for (const Option& option : kOptions)
    if (option.longName == upperName || (!option.shortName.empty() && option.shortName == upperName)) return &option;
  return nullptr;
}

const Option* findSettingOption(std::string_view upperLongName) {
  for (const Option& option : kOptions)
    if (option.setsSetting() && option.longName == upperLongName) return &option;
  return nullptr;
}

ValueReaders commandLineReaders() {
  return {[](std::string_view text) -> std::int64_t { return readNumber(text); }, readDecimal};
}

void applyOption(Settings& settings, const Option& option, std::string_view value, const ValueReaders& read) {
  switch (option.kind) {
    case VK::Switch: std::visit(IntegerStore{settings, option.switchValue}, option.target); break;
    // A number is a 32-bit value whatever read it (a profile's reader
    // sees 64 bits): `Custom Timestamp` keeps the low 32 bits either way.
    case VK::Number:
      std::visit(IntegerStore{settings, static_cast<std::int32_t>(read.integer(value))}, option.target);
      break;
    case VK::Keyword: std::visit(IntegerStore{settings, keywordToCode(option.keywords, value)}, option.target); break;
    case VK::Decimal:
      if (auto field = std::get_if<float S::*>(&option.target)) settings.** field = read.real(value);
      break;
    case VK::Text:
      if (auto field = std::get_if<std::string S::*>(&option.target)) settings.** field = std::string(value);
      break;
  }
  if (option.switchesOn.field) settings.*option.switchesOn.field = option.switchesOn.value;
}

std::string optionValueText(const Settings& settings, const Option& option) {
  switch (option.kind) {
    case VK::Switch: return integerField(settings, option.target) != 0 ? "1" : "0";
    case VK::Number: return std::to_string(integerField(settings, option.target));
    case VK::Keyword: {
      KeywordTable words = option.echoKeywords.empty() ? option.keywords : option.echoKeywords;
      return codeToKeyword(words, static_cast<int>(integerField(settings, option.target)));
    }
    case VK::Decimal:
      if (auto field = std::get_if<float S::*>(&option.target)) return twoDecimals(settings.**field);
      return {};
    case VK::Text:
      if (auto field = std::get_if<std::string S::*>(&option.target)) return settings.**field;
      return {};
  }
  return {};
}

}  // namespace qm
