// Fitting a long path into a label of a fixed width.
#pragma once

#include <functional>
#include <string>

namespace qm {

// Keeps `maximum` characters of a longer text: the first and the last
// (maximum - 3) / 2 with "..." between them. Characters, not bytes: a
// UTF-8 sequence is never cut.
std::string shortenMiddle(const std::string& text, int maximum);

// The longest shortenMiddle of the text that `fits` accepts (the text
// itself when it fits whole); "..." alone when not even its shortest form
// does. Widths grow with the number of characters kept, so the search
// halves the range.
std::string shortenMiddleToFit(const std::string& text, const std::function<bool(const std::string&)>& fits);

}  // namespace qm
