// Load settings and Save settings: the Settings record to and from
// config.ini, in the fixed layout the program writes.
#pragma once

#include <string>

#include "settings/settings.h"

namespace qm {

// Reads `settings.settingsFilePath`; a file that cannot be opened gives
// the window-form defaults. Migrates files of older layouts.
void loadSettings(Settings& settings, DesktopSize desktop);
// The exact text Save settings writes for a record.
std::string settingsFileText(const Settings& settings);
// Writes through a temporary file renamed into place; false when nothing
// could be written (the previous file is then intact).
bool saveSettings(const Settings& settings);

}  // namespace qm
