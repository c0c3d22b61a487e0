#include "settings/settings_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <variant>

#include "formats/input_formats.h"
#include "platform/whole_file.h"
#include "settings/ini.h"

namespace qm {

namespace {

// The layout this program writes; older files are migrated on load.
constexpr std::int32_t kCurrentLayout = 17;

// The member pointer's type is the value's kind: integer, date, 8-bit flag
// or small code, real, text.
using Field = std::variant<std::int32_t Settings::*, std::int64_t Settings::*, std::int8_t Settings::*,
                           float Settings::*, std::string Settings::*>;

enum class Written {
  Always,
  // The window geometry, only while `Save Window Position` is on.
  WithWindowPosition,
  // Options of an input family, only when the program reads that family.
  WithInputFamily,
};

struct SettingsKey {
  std::string_view group;
  std::string_view key;
  Field field;
  Written written = Written::Always;
  std::string_view inputFamily = {};
  // Read when the key is missing, where that differs from the record's
  // default: files from before `CFG` existed, and a window position that was
  // not kept.
  std::optional<std::int32_t> whenMissing = std::nullopt;
};

using S = Settings;
constexpr Written kWindow = Written::WithWindowPosition;
constexpr Written kFamily = Written::WithInputFamily;

// Every persisted field, in the order of the file. Load and save both walk
// this table.
constexpr SettingsKey kSettingsKeys[] = {
    {"General", "CFG", &S::cfg, Written::Always, {}, 0},
    {"General", "Language", &S::language},
    {"General", "Update Range", &S::updateRange},
    {"General", "Update Date", &S::updateDate},
    {"General", "Save Window Position", &S::saveWindowPosition},

    {"Window", "IsMaximized", &S::isMaximized, kWindow},
    {"Window", "Width", &S::width, kWindow},
    {"Window", "Height", &S::height, kWindow},
    {"Window", "X", &S::x, kWindow, {}, 100},
    {"Window", "Y", &S::y, kWindow, {}, 100},

    {"Interface", "UI Theme", &S::uiTheme},
    {"Interface", "UI Size", &S::uiSize},

    {"Input", "Format", &S::inputFormat},
    {"Input", "DDS Load As", &S::ddsLoadAs, kFamily, "dds"},
    {"Input", "GIF Frame Loading", &S::gifFrameLoading, kFamily, "gif"},
    {"Input", "ICO Frame Loading", &S::icoFrameLoading, kFamily, "ico"},
    {"Input", "RAW Load As", &S::rawLoadAs, kFamily, "raw"},
    {"Input", "RAW Header Size", &S::rawHeaderSize, kFamily, "raw"},
    {"Input", "RAW Image Width", &S::rawImageWidth, kFamily, "raw"},
    {"Input", "RAW Image Height", &S::rawImageHeight, kFamily, "raw"},
    {"Input", "RAW Tone Mapping", &S::rawToneMapping, kFamily, "raw"},
    {"Input", "TIFF Frame Loading", &S::tiffFrameLoading, kFamily, "tiff"},

    // The per-format keys follow the output-format list.
    {"Output", "Format", &S::outputFormat},
    {"Output", "BMP BPP", &S::bmpBpp},
    {"Output", "BMP Compression", &S::bmpCompression},
    {"Output", "BMP Color Table", &S::bmpColorTable},
    {"Output", "DDS BPP", &S::ddsBpp},
    {"Output", "EXR BPP", &S::exrBpp},
    {"Output", "EXR Compression", &S::exrCompression},
    {"Output", "GIF BPP", &S::gifBpp},
    {"Output", "HDR BPP", &S::hdrBpp},
    {"Output", "ICO BPP", &S::icoBpp},
    {"Output", "J2K BPP", &S::j2kBpp},
    {"Output", "JNG BPP", &S::jngBpp},
    {"Output", "JP2 BPP", &S::jp2Bpp},
    {"Output", "JPG BPP", &S::jpgBpp},
    {"Output", "JPG Quality", &S::jpgQuality},
    {"Output", "JPG Chroma", &S::jpgChroma},
    {"Output", "JPG Save As", &S::jpgSaveAs},
    {"Output", "JXR BPP", &S::jxrBpp},
    {"Output", "PBM BPP", &S::pbmBpp},
    {"Output", "PCX BPP", &S::pcxBpp},
    {"Output", "PFM BPP", &S::pfmBpp},
    {"Output", "PGM BPP", &S::pgmBpp},
    {"Output", "PNG BPP", &S::pngBpp},
    {"Output", "PNG Compression", &S::pngCompression},
    {"Output", "PNG Interlaced", &S::pngInterlaced},
    {"Output", "PPM BPP", &S::ppmBpp},
    {"Output", "PSD BPP", &S::psdBpp},
    {"Output", "TGA BPP", &S::tgaBpp},
    {"Output", "TGA Compression", &S::tgaCompression},
    {"Output", "TIFF BPP", &S::tiffBpp},
    {"Output", "TIFF Compression", &S::tiffCompression},
    {"Output", "TIFF Color Model", &S::tiffColorModel},
    {"Output", "WBMP BPP", &S::wbmpBpp},
    {"Output", "WEBP BPP", &S::webpBpp},
    {"Output", "XPM BPP", &S::xpmBpp},

    {"Transform", "Do Image Rotation", &S::doImageRotation},
    {"Transform", "Image Rotation Type", &S::imageRotationType},
    {"Transform", "Image Rotation", &S::imageRotation},
    {"Transform", "Image Rotation Back Color", &S::imageRotationBackColor},
    {"Transform", "Do Image Resize", &S::doImageResize},
    {"Transform", "Image Width", &S::imageWidth},
    {"Transform", "Image Width Unit", &S::imageWidthUnit},
    {"Transform", "Image Height", &S::imageHeight},
    {"Transform", "Image Height Unit", &S::imageHeightUnit},
    {"Transform", "Keep Aspect Ratio", &S::keepAspectRatio},
    {"Transform", "Image Resize Type", &S::imageResizeType},
    {"Transform", "Image Resize Algorithm", &S::imageResizeAlgorithm},
    {"Transform", "Do Image Flip Horizontal", &S::doImageFlipHorizontal},
    {"Transform", "Do Image Flip Vertical", &S::doImageFlipVertical},

    {"Adjustment", "Do Image Color Correction", &S::doImageColorCorrection},
    {"Adjustment", "Image Brightness", &S::imageBrightness},
    {"Adjustment", "Image Contrast", &S::imageContrast},
    {"Adjustment", "Image Gamma", &S::imageGamma},
    {"Adjustment", "Image Invert", &S::imageInvert},
    {"Adjustment", "Do Image Greyscale", &S::doImageGreyscale},
    {"Adjustment", "Do Image Threshold", &S::doImageThreshold},
    {"Adjustment", "Image Threshold", &S::imageThreshold},

    {"Frame", "Do Frame", &S::doFrame},
    {"Frame", "Solid Left", &S::solidLeft},
    {"Frame", "Solid Right", &S::solidRight},
    {"Frame", "Solid Top", &S::solidTop},
    {"Frame", "Solid Bottom", &S::solidBottom},
    {"Frame", "Solid Left Color", &S::solidLeftColor},
    {"Frame", "Solid Right Color", &S::solidRightColor},
    {"Frame", "Solid Top Color", &S::solidTopColor},
    {"Frame", "Solid Bottom Color", &S::solidBottomColor},
    {"Frame", "Solid Opacity", &S::solidOpacity},

    {"Watermark", "Do Watermark", &S::doWatermark},
    {"Watermark", "Text", &S::text},
    {"Watermark", "Fonts", &S::fonts},
    {"Watermark", "Font", &S::font},
    {"Watermark", "Font Size", &S::fontSize},
    {"Watermark", "Font Leading", &S::fontLeading},
    {"Watermark", "Font Colors", &S::fontColors},
    {"Watermark", "Font Color", &S::fontColor},
    {"Watermark", "Font Style", &S::fontStyle},
    {"Watermark", "Font Effect", &S::fontEffect},
    {"Watermark", "Text Antialiasing", &S::textAntialiasing},
    {"Watermark", "Text Alignment", &S::textAlignment},
    {"Watermark", "Text Padding", &S::textPadding},
    {"Watermark", "Text Opacity", &S::textOpacity},
    {"Watermark", "Back Colors", &S::backColors},
    {"Watermark", "Back Color", &S::backColor},
    {"Watermark", "Back Opacity", &S::backOpacity},
    {"Watermark", "Text Boundary", &S::textBoundary},
    {"Watermark", "Text Position", &S::textPosition},
    {"Watermark", "Text X Offset", &S::textXOffset},
    {"Watermark", "Text Y Offset", &S::textYOffset},
    {"Watermark", "Text Rotation", &S::textRotation},
    {"Watermark", "Text Size", &S::textSize},
    {"Watermark", "Text Scale", &S::textScale},
    {"Watermark", "Image", &S::image},
    {"Watermark", "Image Greyscale", &S::imageGreyscale},
    {"Watermark", "Image Opacity", &S::imageOpacity},
    {"Watermark", "Image Boundary", &S::imageBoundary},
    {"Watermark", "Image Position", &S::imagePosition},
    {"Watermark", "Image X Offset", &S::imageXOffset},
    {"Watermark", "Image Y Offset", &S::imageYOffset},
    {"Watermark", "Image Rotation", &S::watermarkImageRotation},
    {"Watermark", "Image Size", &S::imageSize},
    {"Watermark", "Image Scale", &S::imageScale},

    {"Advanced", "Filename Mask", &S::filenameMask},
    {"Advanced", "File Timestamp", &S::fileTimestamp},
    {"Advanced", "Custom Timestamp", &S::customTimestamp},
    {"Advanced", "Out Folders History", &S::outFoldersHistory},
    {"Advanced", "Out Folders Number", &S::outFoldersNumber},
    {"Advanced", "Keep Subfolders", &S::keepSubfolders},

    {"File", "Recent Out Folders", &S::recentOutFolders},
    {"File", "Recent Files", &S::recentFiles},

    {"Privacy", "Clean Recent Files", &S::cleanRecentFiles},
};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

bool isWritten(const SettingsKey& entry, const Settings& settings) {
  switch (entry.written) {
    case Written::Always: return true;
    case Written::WithWindowPosition: return settings.saveWindowPosition != 0;
    case Written::WithInputFamily: {
      std::span<const std::string_view> families = inputTypeList();
      return std::find(families.begin(), families.end(), entry.inputFamily) != families.end();
    }
  }
  return false;
}

std::string realText(float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Infinity" : "-Infinity";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed, 6);
  return std::string(buffer, result.ptr);
}

struct ValueText {
  const Settings& settings;
  std::string operator()(std::int32_t S::*field) const { return std::to_string(settings.*field); }
  std::string operator()(std::int64_t S::*field) const { return std::to_string(settings.*field); }
  std::string operator()(std::int8_t S::*field) const { return std::to_string(int{settings.*field}); }
  std::string operator()(float S::*field) const { return realText(settings.*field); }
  std::string operator()(std::string S::*field) const { return settings.*field; }
};

struct ReadValue {
  Settings& settings;
  std::string_view value;
  // A number wider than its field keeps the field's low bits (300 in an
  // 8-bit field is 44), so any value of the file loads as something.
  void operator()(std::int32_t S::*field) const { settings.*field = static_cast<std::int32_t>(readIniInteger(value)); }
  void operator()(std::int64_t S::*field) const { settings.*field = readIniInteger(value); }
  void operator()(std::int8_t S::*field) const { settings.*field = static_cast<std::int8_t>(readIniInteger(value)); }
  void operator()(float S::*field) const { settings.*field = readIniReal(value); }
  void operator()(std::string S::*field) const { settings.*field = std::string(value); }
};

void migrate(Settings& settings) {
  if (settings.cfg < 11 && settings.filenameMask.find("%ext%") == std::string::npos) settings.filenameMask += ".%ext%";
  // Layout 14 put the 8-bit and 16-bit raw modes at codes 1 and 2, moving
  // the older modes up by two.
  if (settings.cfg < 14 && settings.rawLoadAs != 0) settings.rawLoadAs += 2;
}

}  // namespace

void loadSettings(Settings& settings, DesktopSize desktop) {
  resetSettings(settings, SettingsForm::Window, desktop);
  if (std::optional<IniDocument> document = IniDocument::readFile(settings.settingsFilePath)) {
    // Keys of families the program does not read are still taken from the
    // file, so an old file's raw options survive the migration below.
    for (const SettingsKey& entry : kSettingsKeys) {
      const IniGroup* group = document->group(entry.group);
      const std::string* value = group ? group->find(entry.key) : nullptr;
      if (value) {
        std::visit(ReadValue{settings, *value}, entry.field);
      } else if (auto* field = std::get_if<std::int32_t S::*>(&entry.field); field && entry.whenMissing) {
        settings.** field = *entry.whenMissing;
      }
    }
  }
  migrate(settings);
}

std::string settingsFileText(const Settings& settings) {
  Settings written = settings;
  written.cfg = kCurrentLayout;

  std::string text(kByteOrderMark);
  text += kLineEnd;
  std::string_view group;
  for (const SettingsKey& entry : kSettingsKeys) {
    if (entry.group != group) {
      if (!group.empty()) text.append("; ").append(kLineEnd);
      group = entry.group;
      text.append("[").append(group).append("]").append(kLineEnd);
    }
    if (!isWritten(entry, written)) continue;
    text.append(entry.key).append(" = ").append(std::visit(ValueText{written}, entry.field)).append(kLineEnd);
  }
  text.append("; ").append(kLineEnd);
  return text;
}

namespace {

// A settings file that is a link (kept with the user's other dotfiles)
// stays a link: the new text replaces the file it leads to.
std::string linkTarget(std::string path) {
  constexpr int kMaxLinks = 40;
  std::error_code error;
  for (int link = 0; link < kMaxLinks && std::filesystem::is_symlink(path, error); ++link) {
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target.string() : (std::filesystem::path(path).parent_path() / target).string();
  }
  return path;
}

}  // namespace

bool saveSettings(const Settings& settings) {
  return replaceWholeFile(linkTarget(settings.settingsFilePath), settingsFileText(settings));
}

namespace {

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out;
}

std::optional<std::string> unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return std::nullopt;
    }
  }
  return out;
}

template <typename Number>
bool readExact(std::string_view text, Number& value) {
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

struct ExactText {
  const Settings& settings;
  template <typename Value>
  std::string operator()(Value S::*field) const {
    if constexpr (std::is_same_v<Value, std::string>) {
      return escaped(settings.*field);
    } else {
      char buffer[64];
      auto result = std::to_chars(buffer, buffer + sizeof buffer, settings.*field);
      return std::string(buffer, result.ptr);
    }
  }
};

struct ReadExact {
  Settings& settings;
  std::string_view text;
  template <typename Value>
  bool operator()(Value S::*field) const {
    if constexpr (std::is_same_v<Value, std::string>) {
      auto value = unescaped(text);
      if (value) settings.*field = std::move(*value);
      return value.has_value();
    } else {
      return readExact(text, settings.*field);
    }
  }
};

std::string qualifiedKey(const SettingsKey& entry) { return std::string(entry.group) + "/" + std::string(entry.key); }

template <typename Value>
std::optional<SettingsKeyName> keyNameOf(Value S::*field) {
  for (const SettingsKey& entry : kSettingsKeys)
    if (auto candidate = std::get_if<Value S::*>(&entry.field); candidate && *candidate == field)
      return SettingsKeyName{entry.group, entry.key};
  return std::nullopt;
}

}  // namespace

std::optional<SettingsKeyName> settingsKeyName(std::int8_t S::*field) { return keyNameOf(field); }
std::optional<SettingsKeyName> settingsKeyName(std::int32_t S::*field) { return keyNameOf(field); }
std::optional<SettingsKeyName> settingsKeyName(std::int64_t S::*field) { return keyNameOf(field); }
std::optional<SettingsKeyName> settingsKeyName(float S::*field) { return keyNameOf(field); }
std::optional<SettingsKeyName> settingsKeyName(std::string S::*field) { return keyNameOf(field); }

std::string settingsRecordText(const Settings& settings) {
  std::string text;
  for (const SettingsKey& entry : kSettingsKeys)
    text.append(qualifiedKey(entry)).append("=").append(std::visit(ExactText{settings}, entry.field)).append("\n");
  return text;
}

bool readSettingsRecordText(Settings& settings, std::string_view text) {
  while (!text.empty()) {
    auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    auto equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    std::string_view key = line.substr(0, equals);
    const SettingsKey* found = nullptr;
    for (const SettingsKey& entry : kSettingsKeys)
      if (qualifiedKey(entry) == key) found = &entry;
    if (!found) return false;
    if (!std::visit(ReadExact{settings, line.substr(equals + 1)}, found->field)) return false;
  }
  return true;
}

}  // namespace qm
