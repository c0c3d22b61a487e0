// Placeholders in the watermark text. Unlike the filename mask, the text
// keeps its case, and a text with fewer than two "%" cannot hold a
// placeholder, so it is left alone (a lone "100%" stays as written).
#include <algorithm>
#include <cctype>

#include "engine/naming.h"
#include "engine/watermark/watermark.h"
#include "platform/text.h"

namespace qm {

std::string expandWatermarkText(const std::string& text, const NamingValues& values) {
  if (std::count(text.begin(), text.end(), '%') < 2) return text;
  std::string result = text;
  for (std::string_view placeholder : kPlaceholders) {
    if (containsIgnoringCase(text, placeholder)) result = expandPlaceholder(std::move(result), placeholder, values);
  }
  return result;
}

}  // namespace qm
