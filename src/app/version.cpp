#include "app/version.h"

namespace qm {

std::string versionText(int versionNumber) {
  const std::string digits = std::to_string(versionNumber);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    // A point goes before the second digit and before the third.
    if (i == 1 || i == 2) text += '.';
    text += digits[i];
  }
  if (!text.empty() && text.back() == '0') text.resize(3);
  return text;
}

std::string titleLine() { return std::string(kProductName) + " " + versionText(); }

}  // namespace qm
