// Hands a web address, a mail link or a file to the desktop's opener.
#pragma once

#include <string>

namespace qm::platform {

// Starts xdg-open with the target as its one argument (no shell involved).
// The opener's own result is not examined. Returns when the opener has
// ended, or after two seconds at most (an opener still running is then
// reaped in the background).
void shellOpen(const std::string& target);

}  // namespace qm::platform
