// The Find a File Converter search: two extension fields become a search
// page on the product web site. The window keeps its fields and its warning
// box; this decides what is searched and opens it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm {

// Only fields of up to this many characters are looked at.
inline constexpr std::size_t kSearchFieldLength = 12;

// Keeps 0-9, A-Z and a-z in order and drops everything else.
std::string cleanExtension(std::string_view text);

struct ConverterSearch {
  std::string from;  // cleaned, lower case
  std::string to;
  // Both sides are needed for a search page.
  bool complete() const { return !from.empty() && !to.empty(); }
};

// Each field: its first 12 characters (UTF-8 aware), lower-cased, cleaned.
ConverterSearch prepareConverterSearch(std::string_view fromField, std::string_view toField);

enum class ConverterSearchOutcome {
  Opened,           // the search page was handed to the opener
  EmptyExtensions,  // `Msg`/`Empty extensions`; nothing was opened
};

ConverterSearchOutcome searchConverter(const ConverterSearch& search);

}  // namespace qm
