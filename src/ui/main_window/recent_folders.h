// The recent output folders of the settings (`Recent Out Folders`, most
// recent first, tab-separated, at most `Out Folders Number` of them).
#pragma once

#include <string>

#include "settings/settings.h"

namespace qm {

// The entry at a 0-based index, blanks trimmed; empty when there is none.
std::string recentFolder(const Settings& settings, int index);

// Puts the folder first and keeps as many older entries as fit, leaving out
// the one that names the same folder in any letter case. False, with
// nothing changed, for an empty folder.
bool recordRecentFolder(Settings& settings, const std::string& folder);

}  // namespace qm
