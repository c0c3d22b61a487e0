#include "cli/value_reading.h"

#include <charconv>
#include <limits>

namespace qm {

namespace {

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// Leading blanks and the sign; true when negative.
bool takeSign(std::string_view& text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  return negative;
}

}  // namespace

std::int32_t readNumber(std::string_view text) {
  bool negative = takeSign(text);
  unsigned base = 10;
  if (!text.empty() && text.front() == '$')
    base = 16, text.remove_prefix(1);
  else if (!text.empty() && text.front() == '%')
    base = 2, text.remove_prefix(1);
  // Unsigned arithmetic wraps, which keeps exactly the low bits.
  std::uint32_t value = 0;
  for (char c : text) {
    auto digit = static_cast<unsigned>(digitValue(c));
    if (digit >= base) break;
    value = value * base + digit;
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

float readDecimal(std::string_view text) {
  bool negative = takeSign(text);
  // Only digits or a point may start the number: from_chars would also
  // take "inf" and "nan", which are not numbers a user types here.
  if (text.empty() || !(digitValue(text.front()) < 10 || text.front() == '.')) return 0.0f;
  double value = 0.0;
  if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc{}) return 0.0f;
  if (negative) value = -value;
  // Beyond the float range the value saturates instead of being undefined.
  constexpr double kLargest = std::numeric_limits<float>::max();
  if (value > kLargest) return std::numeric_limits<float>::infinity();
  if (value < -kLargest) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace qm
