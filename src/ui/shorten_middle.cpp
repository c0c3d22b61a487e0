#include "ui/shorten_middle.h"

#include <algorithm>
#include <vector>

namespace qm {

namespace {

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

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

}  // namespace qm
