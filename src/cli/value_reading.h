// Reading option values given on the command line. Both readers take what
// fits and stop at the first character that does not, as scripts written
// for the program expect ("95abc" is 95).
#pragma once

#include <cstdint>
#include <string_view>

namespace qm {

// Optional blanks or tabs, an optional sign, then decimal digits, or "$"
// and hexadecimal digits, or "%" and binary digits. No digits give 0.
// The result is the low 32 bits of what was read.
std::int32_t readNumber(std::string_view text);

// A decimal number with a point as separator, independent of the locale;
// optional blanks, sign and exponent. No number gives 0.
float readDecimal(std::string_view text);

}  // namespace qm
