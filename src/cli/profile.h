// Apply profile: the group `CLI` of a file in the settings text format,
// whose keys are long option names ("--JPG-QUALITY = 80"), applied to the
// Settings record as the same options on the command line would be.
#pragma once

#include <string>

#include "settings/settings.h"

namespace qm {

// False when the file cannot be opened (or the path is empty); a file
// without a `CLI` group changes nothing and is accepted. Keys are matched
// in any letter case; unknown keys, short names and the run options are
// skipped. Numbers and decimals are read as the settings file reads them.
bool applyProfile(Settings& settings, const std::string& path);

}  // namespace qm
