#include "settings/ini.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/text.h"
#include "platform/whole_file.h"

namespace qm {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The white space the C library's number readers skip.
bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string latin1ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    auto code = static_cast<unsigned char>(c);
    if (code < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (code >> 6));
      text += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return text;
}

// One line of the text, without its line end. Whatever the bytes, a line
// is either taken or skipped; nothing here can fail.
void parseLine(std::string_view line, std::vector<IniGroup>& groups) {
  line = trimLeft(line);
  if (line.empty() || line.front() == ';') return;
  if (line.front() == '[') {
    std::string_view name = line.substr(1);
    name = name.substr(0, name.find(']'));
    groups.push_back(IniGroup{std::string(name), {}});
    return;
  }
  auto equals = line.find('=');
  // Keys above the first group line belong to no group, and a line without
  // "=" carries no value; the program never writes either.
  if (equals == std::string_view::npos || groups.empty()) return;
  std::string_view key = trimRight(line.substr(0, equals));
  std::string_view value = trimRight(trimLeft(line.substr(equals + 1)));
  groups.back().entries.emplace_back(std::string(key), std::string(value));
}

// Orders of magnitude of the decimal number at the start of `digits`
// (mantissa and exponent, no sign): positive when it is 1 or more. Used only
// to tell an overflow from an underflow once the full reader gave up.
long long decimalMagnitude(std::string_view digits) {
  std::size_t i = 0;
  long long magnitude = 0;
  bool seenNonZero = false;
  for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
    if (digits[i] != '0') seenNonZero = true;
    if (seenNonZero) ++magnitude;
  }
  if (i < digits.size() && digits[i] == '.') {
    for (++i; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
      if (seenNonZero) continue;
      if (digits[i] != '0')
        seenNonZero = true;
      else
        --magnitude;
    }
  }
  if (i < digits.size() && (digits[i] == 'e' || digits[i] == 'E')) {
    std::int64_t exponent = 0;
    std::string_view rest = digits.substr(i + 1);
    bool negative = !rest.empty() && rest.front() == '-';
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) rest.remove_prefix(1);
    for (char c : rest) {
      if (c < '0' || c > '9') break;
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (c - '0');
    }
    magnitude += negative ? -exponent : exponent;
  }
  return magnitude;
}

}  // namespace

const std::string* IniGroup::find(std::string_view key) const {
  for (const auto& [entryKey, value] : entries)
    if (equalsIgnoringCase(entryKey, key)) return &value;
  return nullptr;
}

IniDocument IniDocument::parse(std::string_view bytes) {
  std::string converted;
  std::string_view text;
  if (bytes.size() > 2 && bytes.starts_with(kByteOrderMark)) {
    text = bytes.substr(kByteOrderMark.size());
  } else {
    converted = latin1ToUtf8(bytes);
    text = converted;
  }

  IniDocument document;
  while (!text.empty()) {
    auto end = text.find_first_of("\r\n");
    parseLine(text.substr(0, end), document.groups_);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return document;
}

std::optional<IniDocument> IniDocument::readFile(const std::string& path) {
  std::optional<std::string> bytes = readWholeFile(path);
  if (!bytes) return std::nullopt;
  return parse(*bytes);
}

const IniGroup* IniDocument::group(std::string_view name) const {
  for (const IniGroup& candidate : groups_)
    if (equalsIgnoringCase(candidate.name, name)) return &candidate;
  return nullptr;
}

std::int64_t readIniInteger(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && isCSpace(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  // Accumulated as a negative number so that the most negative value fits;
  // longer digit runs stay at the limit instead of overflowing.
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t number = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    int digit = value[i] - '0';
    if (number < (kMin + digit) / 10) {
      number = kMin;
    } else {
      number = number * 10 - digit;
    }
  }
  if (negative) return number;
  return number == kMin ? std::numeric_limits<std::int64_t>::max() : -number;
}

float readIniReal(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && isCSpace(value[i])) ++i;
  value.remove_prefix(i);
  bool negative = false;
  if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }

  // std::from_chars ignores the locale, which atof would not, and already
  // accepts "inf", "infinity" and "nan" in any case.
  double number = 0.0;
  auto format = std::chars_format::general;
  if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
    value.remove_prefix(2);
    format = std::chars_format::hex;
  }
  auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number, format);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    bool underflow = format == std::chars_format::general
                         ? decimalMagnitude(value) <= 0
                         : value.find("p-") != std::string_view::npos || value.find("P-") != std::string_view::npos;
    number = underflow ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (error != std::errc{}) {
    number = 0.0;
  }
  return static_cast<float>(negative ? -number : number);
}

}  // namespace qm
