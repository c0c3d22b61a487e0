// Fitting a long path into a label of a fixed width.
#pragma once

#include <string>

namespace qm {

// Keeps `maximum` characters of a longer text: the first and the last
// (maximum - 3) / 2 with "..." between them. Characters, not bytes: a
// UTF-8 sequence is never cut.
std::string shortenMiddle(const std::string& text, int maximum);

}  // namespace qm
