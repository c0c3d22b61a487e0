#include "settings/settings.h"

#include <array>
#include <utility>

#include "formats/output_formats.h"
#include "platform/clock.h"

namespace qm {

int defaultWindowX(DesktopSize desktop) {
  constexpr int kDefaultWidth = 510;
  return desktop.width > kDefaultWidth ? (desktop.width - kDefaultWidth) / 2 : 100;
}

int defaultWindowY(DesktopSize desktop) {
  constexpr int kDefaultHeight = 330;
  return desktop.height > kDefaultHeight ? (desktop.height - kDefaultHeight) / 2 : 100;
}

void resetSettings(Settings& settings, SettingsForm form, DesktopSize desktop) {
  std::string path = std::move(settings.settingsFilePath);
  settings = Settings{};
  settings.settingsFilePath = std::move(path);
  settings.text = std::string(kDefaultWatermarkText);
  settings.x = defaultWindowX(desktop);
  settings.y = defaultWindowY(desktop);
  settings.updateDate = platform::nowLocalDate();
  settings.customTimestamp = platform::nowLocalDate();
  settings.inputFormat = "psd";
  settings.outputFormat = std::string(outputExtensions().front());
  settings.keepAspectRatio = form == SettingsForm::CommandLine ? 0 : 1;
}

namespace {

int hexPair(std::string_view pair) {
  int value = 0;
  for (char c : pair) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      break;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

Rgb colourFromText(std::string_view text) {
  if (text.size() != 6) return {};
  return Rgb{static_cast<std::uint8_t>(hexPair(text.substr(0, 2))),
             static_cast<std::uint8_t>(hexPair(text.substr(2, 2))),
             static_cast<std::uint8_t>(hexPair(text.substr(4, 2)))};
}

std::string colourToText(Rgb colour) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::uint8_t channel : {colour.red, colour.green, colour.blue}) {
    text += kDigits[channel >> 4];
    text += kDigits[channel & 0x0F];
  }
  return text;
}

namespace {

struct BppField {
  std::string_view extension;
  std::int32_t Settings::*field;
};

// One BPP setting per output format, in the order of the output extension
// list.
constexpr std::array<BppField, 23> kBppFields = {{
    {"bmp", &Settings::bmpBpp},   {"dds", &Settings::ddsBpp},   {"exr", &Settings::exrBpp},
    {"gif", &Settings::gifBpp},   {"hdr", &Settings::hdrBpp},   {"ico", &Settings::icoBpp},
    {"j2k", &Settings::j2kBpp},   {"jng", &Settings::jngBpp},   {"jp2", &Settings::jp2Bpp},
    {"jpg", &Settings::jpgBpp},   {"jxr", &Settings::jxrBpp},   {"pbm", &Settings::pbmBpp},
    {"pcx", &Settings::pcxBpp},   {"pfm", &Settings::pfmBpp},   {"pgm", &Settings::pgmBpp},
    {"png", &Settings::pngBpp},   {"ppm", &Settings::ppmBpp},   {"psd", &Settings::psdBpp},
    {"tga", &Settings::tgaBpp},   {"tiff", &Settings::tiffBpp}, {"wbmp", &Settings::wbmpBpp},
    {"webp", &Settings::webpBpp}, {"xpm", &Settings::xpmBpp},
}};

constexpr bool inOutputListOrder() {
  for (std::size_t i = 0; i < kBppFields.size(); ++i)
    if (kBppFields[i].extension != kOutputExtensions[i]) return false;
  return true;
}
static_assert(inOutputListOrder(), "the BPP fields must follow the output extension list");

std::int32_t Settings::*findBppField(std::string_view extension) {
  for (const BppField& entry : kBppFields)
    if (entry.extension == extension) return entry.field;
  return nullptr;
}

}  // namespace

std::int32_t* bppField(Settings& settings, std::string_view extension) {
  auto field = findBppField(extension);
  return field ? &(settings.*field) : nullptr;
}

const std::int32_t* bppField(const Settings& settings, std::string_view extension) {
  auto field = findBppField(extension);
  return field ? &(settings.*field) : nullptr;
}

}  // namespace qm
