#include "ui/preferences/preferences_values.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <span>
#include <utility>

#include "app/messages.h"
#include "platform/text.h"

namespace qm {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimSpaces(std::string_view text) { return trim(text, " "); }

struct NamedColour {
  std::string_view key;
  std::string_view text;
};

constexpr std::array<NamedColour, 19> kNamedColours = {{
    {"Black", "000000"}, {"Silver", "C0C0C0"}, {"Gray", "808080"},    {"White", "FFFFFF"},  {"Maroon", "800000"},
    {"Red", "FF0000"},   {"Purple", "800080"}, {"Fuchsia", "FF00FF"}, {"Green", "008000"},  {"Lime", "00FF00"},
    {"Olive", "808000"}, {"Yellow", "FFFF00"}, {"Navy", "000080"},    {"Blue", "0000FF"},   {"Teal", "008080"},
    {"Aqua", "00FFFF"},  {"Orange", "FF8000"}, {"Brown", "804000"},   {"Violet", "8000FF"},
}};

}  // namespace

int leadingInteger(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

bool hasLeadingDigits(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  return !text.empty() && isDigit(text.front());
}

int gammaHundredthsFromText(std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end == copy.c_str() || !std::isfinite(value)) return kGammaRange.spinMin;
  const double hundredths = std::round(value * 100.0);
  if (hundredths < kGammaRange.spinMin) return kGammaRange.spinMin;
  if (hundredths > kGammaRange.spinMax) return kGammaRange.spinMax;
  return static_cast<int>(hundredths);
}

int gammaHundredths(float gamma) {
  if (!std::isfinite(gamma)) return gamma > 0 ? kGammaRange.spinMax : kGammaRange.spinMin;
  const double hundredths = std::round(static_cast<double>(gamma) * 100.0);
  if (hundredths < kGammaRange.spinMin) return kGammaRange.spinMin;
  if (hundredths > kGammaRange.spinMax) return kGammaRange.spinMax;
  return static_cast<int>(hundredths);
}

std::string gammaText(int hundredths) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d", hundredths / 100, hundredths % 100);
  return text;
}

float gammaFromHundredths(int hundredths) { return static_cast<float>(hundredths / 100.0); }

std::int32_t numberFieldValue(std::string_view text) {
  long long value = 0;
  for (char c : text) {
    if (!isDigit(c)) continue;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return static_cast<std::int32_t>(value);
}

std::string cleanTypedText(std::string_view text) {
  std::string kept;
  for (char c : text)
    if (c != '\t' && c != '\r' && c != '\n') kept += c;
  return std::string(trimSpaces(kept));
}

std::vector<std::string> listFields(std::string_view text) {
  std::vector<std::string> fields;
  if (text.empty()) return fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    fields.emplace_back(trimSpaces(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

std::string colourName(std::string_view colourText) {
  const std::string upper = asciiUpper(colourText);
  for (const NamedColour& named : kNamedColours)
    if (named.text == upper) return messages().lookUpText("Preferences", named.key);
  return messages().lookUpText("Preferences", "Color") + " #" + upper;
}

bool addToColourHistory(std::string& history, Rgb colour) {
  for (const std::string& field : listFields(history))
    if (colourFromText(field) == colour) return false;
  history += ',';
  history += colourToText(colour);
  return true;
}

ChosenFont chosenFont(std::string_view face, double points, int weight, bool italic) {
  ChosenFont font;
  for (char c : face)
    if (c != ',') font.face += c;
  font.points = points > 0 ? static_cast<int>(points) : 0;
  font.styleFlags = (weight == 700 ? 256 : 0) + (italic ? 512 : 0);
  return font;
}

bool addToFonts(std::string& fonts, std::string_view face) {
  for (const std::string& field : listFields(fonts))
    if (field == face) return false;
  fonts += ",";
  fonts += face;
  return true;
}

int fontStyleCode(int styleFlags) { return ((styleFlags & 256) ? 1 : 0) + ((styleFlags & 512) ? 2 : 0); }

int fontStyleFlags(int code) { return ((code & 1) ? 256 : 0) + ((code & 2) ? 512 : 0); }

bool colourCorrectionNeeded(int brightness, int contrast, int gammaHundredths, bool invert) {
  return brightness != 0 || contrast != 0 || gammaHundredths != 100 || invert;
}

int interfaceChangeCode(std::string_view oldTheme, int oldSize, std::string_view newTheme, int newSize) {
  if (newTheme != oldTheme) return 1;
  if (newSize != oldSize) return 2;
  return 0;
}

RawRows rawRows(int loadAs) {
  switch (loadAs) {
    case 1:
    case 2: return {true, false};
    case 4:
    case 5: return {false, true};
    default: return {false, false};
  }
}

std::optional<int> bppSelection(std::span<const int> depths, int value) {
  if (value == 0) return 0;
  for (std::size_t i = 0; i < depths.size(); ++i)
    if (depths[i] == value) return static_cast<int>(i) + 1;
  return std::nullopt;
}

int bppValue(std::span<const int> depths, int selection) {
  if (selection <= 0 || selection > static_cast<int>(depths.size())) return 0;
  return depths[static_cast<std::size_t>(selection) - 1];
}

DateFields dateFields(std::int64_t date) {
  const std::time_t seconds = static_cast<std::time_t>(date);
  std::tm parts{};
  if (!gmtime_r(&seconds, &parts)) return {};
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

std::int64_t dateValue(const DateFields& fields) {
  std::tm parts{};
  parts.tm_year = fields.year - 1900;
  parts.tm_mon = fields.month - 1;
  parts.tm_mday = fields.day;
  parts.tm_hour = fields.hour;
  parts.tm_min = fields.minute;
  parts.tm_sec = fields.second;
  return static_cast<std::int64_t>(timegm(&parts));
}

std::string dateText(const DateFields& fields) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", fields.year, fields.month, fields.day, fields.hour,
                fields.minute);
  return text;
}

}  // namespace qm
