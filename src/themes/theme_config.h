// Reading "theme.cfg", the description inside a theme package: 8-bit
// text with CR LF line ends in sections [Theme], [Buttons] and [Icons].
// Packages in the wild were written against a simple search rather than a
// real ini parser, so the reader keeps that search's quirks exactly: a key
// matches as the prefix of a line, and a key on the last line without a
// line break reads as empty.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// The package entry that describes the theme.
inline constexpr std::string_view kThemeConfigEntry = "theme.cfg";

// The value of `key` in `section`, or empty when the key is not found.
//   - The section starts at "[" + section + "]" (letter case ignored) and
//     runs to the next "[" or to the end of the text.
//   - The key line is the first CR LF directly followed by the key (letter
//     case ignored) after the section header; it must start inside the
//     section.
//   - The line runs to the next CR LF; without one it reads as empty.
//   - The value lies between the first "=" of the line and the next "=" or
//     the line end, without blanks, tabs, CR and LF at either end.
std::string readThemeValue(std::string_view text, std::string_view section, std::string_view key);

// The archive entry a value names for pictures of `size` pixels: the value
// itself when it contains ".png" (any letter case), otherwise
// value + "_" + size + ".png".
std::string themeEntryName(std::string_view value, int size);

}  // namespace qm
