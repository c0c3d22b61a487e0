#include "platform/text.h"

#include <glib.h>

#include "platform/handle.h"

namespace qm {

std::string asciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = asciiLower(c);
  return out;
}

std::string asciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = asciiUpper(c);
  return out;
}

std::string asciiTitle(std::string_view text) {
  std::string out = asciiLower(text);
  if (!out.empty()) out[0] = asciiUpper(out[0]);
  return out;
}

namespace {

void freeText(gchar* text) { g_free(text); }
using GlibText = Handle<gchar, freeText>;

bool validUtf8(std::string_view text) {
  return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr) != FALSE;
}

std::string taken(GlibText text) { return text ? std::string(text.get()) : std::string(); }

}  // namespace

std::string utf8Lower(std::string_view text) {
  if (!validUtf8(text)) return asciiLower(text);
  return taken(GlibText(g_utf8_strdown(text.data(), static_cast<gssize>(text.size()))));
}

std::string utf8Upper(std::string_view text) {
  if (!validUtf8(text)) return asciiUpper(text);
  return taken(GlibText(g_utf8_strup(text.data(), static_cast<gssize>(text.size()))));
}

std::string utf8Title(std::string_view text) {
  if (!validUtf8(text)) return asciiTitle(text);
  std::string lower = utf8Lower(text);
  if (lower.empty()) return lower;
  const gchar* next = g_utf8_next_char(lower.c_str());
  const auto firstBytes = static_cast<std::size_t>(next - lower.c_str());
  gchar first[8] = {};
  const gint length = g_unichar_to_utf8(g_unichar_totitle(g_utf8_get_char(lower.c_str())), first);
  return std::string(first, static_cast<std::size_t>(length)) + lower.substr(firstBytes);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (needle.empty()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && asciiLower(text[i + k]) == asciiLower(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

bool containsIgnoringCase(std::string_view text, std::string_view needle) {
  return findIgnoringCase(text, needle) != std::string_view::npos;
}

std::string_view trimLeft(std::string_view text, std::string_view characters) {
  auto first = text.find_first_not_of(characters);
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string_view trimRight(std::string_view text, std::string_view characters) {
  auto last = text.find_last_not_of(characters);
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

std::string_view trim(std::string_view text, std::string_view characters) {
  return trimRight(trimLeft(text, characters), characters);
}

std::string escapeControlCharacters(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\t') {
      escaped += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      static constexpr char kHex[] = "0123456789abcdef";
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xf];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace qm
