// The fields are free text; only letters and digits reach the address, so
// nothing typed there can add path segments, queries or anything else to it.
#include "net/converter_search.h"

#include "net/links.h"
#include "platform/shell.h"
#include "platform/text.h"

namespace qm {

namespace {

bool isAsciiLetterOrDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The first `count` characters of UTF-8 text, never splitting one.
std::string_view firstCharacters(std::string_view text, std::size_t count) {
  std::size_t starts = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (!continuation && starts++ == count) return text.substr(0, i);
  }
  return text;
}

std::string cleanField(std::string_view field) {
  return asciiLower(cleanExtension(firstCharacters(field, kSearchFieldLength)));
}

}  // namespace

std::string cleanExtension(std::string_view text) {
  std::string cleaned;
  for (char c : text)
    if (isAsciiLetterOrDigit(c)) cleaned += c;
  return cleaned;
}

ConverterSearch prepareConverterSearch(std::string_view fromField, std::string_view toField) {
  return {cleanField(fromField), cleanField(toField)};
}

ConverterSearchOutcome searchConverter(const ConverterSearch& search) {
  if (!search.complete()) return ConverterSearchOutcome::EmptyExtensions;
  platform::shellOpen(converterSearchUrl(productSite(), search.from, search.to));
  return ConverterSearchOutcome::Opened;
}

}  // namespace qm
