// Text helpers shared by every layer. Letter case is ASCII only: bytes of
// multi-byte UTF-8 characters are left alone, so a path is never broken
// into invalid text, and the result never depends on the process locale
// (which the window toolkit may change at start-up).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm {

constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
constexpr char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

std::string asciiLower(std::string_view text);
std::string asciiUpper(std::string_view text);
// Lower case with the first character upper case.
std::string asciiTitle(std::string_view text);

// Letter case of every letter, for names shown to the user: UTF-8 text in,
// UTF-8 text out ("\xC3\xA4rger" upper-cased is "\xC3\x84RGER"). Text that is not
// valid UTF-8 falls back to the ASCII forms above.
std::string utf8Lower(std::string_view text);
std::string utf8Upper(std::string_view text);
// The first letter upper (title) case, the rest lower case.
std::string utf8Title(std::string_view text);

bool equalsIgnoringCase(std::string_view a, std::string_view b);
// The position of `needle` in `text` at or after `from`, or npos.
std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from = 0);
bool containsIgnoringCase(std::string_view text, std::string_view needle);

// Blanks and tabs: what the settings text and list files treat as space.
inline constexpr std::string_view kBlanksAndTabs = " \t";

// `text` without the given characters at either end.
std::string_view trim(std::string_view text, std::string_view characters = kBlanksAndTabs);
std::string_view trimLeft(std::string_view text, std::string_view characters = kBlanksAndTabs);
std::string_view trimRight(std::string_view text, std::string_view characters = kBlanksAndTabs);

// A path or parameter made safe for one console line: "\n" and tab become
// the two characters "\n" and "\t", other control bytes "\xNN", and the
// backslash itself "\\", so a file name cannot end its line early or
// forge the next one. UTF-8 and all other bytes pass unchanged.
std::string escapeControlCharacters(std::string_view text);

}  // namespace qm
