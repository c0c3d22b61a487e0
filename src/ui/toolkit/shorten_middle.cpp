#include "ui/toolkit/shorten_middle.h"

#include <algorithm>
#include <vector>

namespace qm {

namespace {

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

int characterCount(const std::string& text) {
  return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) { return !isContinuationByte(c); }));
}

}  // namespace

std::string shortenMiddle(const std::string& text, int maximum) {
  std::vector<std::size_t> starts;  // byte offset of each character
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!isContinuationByte(text[i])) starts.push_back(i);
  const int length = static_cast<int>(starts.size());
  if (text.empty() || length <= maximum) return text;
  const int keep = std::max(0, (maximum - 3) / 2);
  return text.substr(0, starts[keep]) + "..." + text.substr(starts[length - keep]);
}

std::string shortenMiddleToFit(const std::string& text, const std::function<bool(const std::string&)>& fits) {
  if (text.empty() || fits(text)) return text;
  // Odd maxima only: an even one keeps as much as the odd one below it.
  int low = 3;  // "..." alone
  int high = characterCount(text) - 1;
  if (high % 2 == 0) --high;
  std::string best = "...";
  while (low <= high) {
    int middle = low + (high - low) / 2;
    if (middle % 2 == 0) --middle;
    if (middle < low) middle = low;
    std::string candidate = shortenMiddle(text, middle);
    if (fits(candidate)) {
      best = std::move(candidate);
      low = middle + 2;
    } else {
      high = middle - 2;
    }
  }
  return best;
}

}  // namespace qm
