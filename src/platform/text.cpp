#include "platform/text.h"

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

}  // namespace qm
