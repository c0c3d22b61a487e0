#include "cli/keywords.h"

#include "formats/input_formats.h"
#include "platform/text.h"

namespace qm {

int keywordToCode(KeywordTable table, std::string_view text) {
  std::string upper = asciiUpper(text);
  for (const Keyword& keyword : table)
    if (keyword.word == upper) return keyword.code;
  return 0;
}

std::string codeToKeyword(KeywordTable table, int code) {
  for (const Keyword& keyword : table)
    if (keyword.code == code) return std::string(keyword.word);
  return {};
}

}  // namespace qm
