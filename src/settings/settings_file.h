// Load settings and Save settings: the Settings record to and from
// config.ini, in the fixed layout the program writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The whole record as text, for handing it to another process: every field
// of the settings file, one "Group/Key=value" line each, whatever the
// file's own rules would leave out, reals exact and texts escaped ("\\",
// "\n", "\r"), so that reading it back gives an equal record.
std::string settingsRecordText(const Settings& settings);
// Reads such a text over `settings`; false, with the record partly read,
// when a line is malformed or names no field.
bool readSettingsRecordText(Settings& settings, std::string_view text);

// Where the settings file keeps a field: its group and key ("Transform",
// "Image Width"); nothing for a field the file does not hold.
struct SettingsKeyName {
  std::string_view group;
  std::string_view key;
};
std::optional<SettingsKeyName> settingsKeyName(std::int8_t Settings::*field);
std::optional<SettingsKeyName> settingsKeyName(std::int32_t Settings::*field);
std::optional<SettingsKeyName> settingsKeyName(std::int64_t Settings::*field);
std::optional<SettingsKeyName> settingsKeyName(float Settings::*field);
std::optional<SettingsKeyName> settingsKeyName(std::string Settings::*field);

}  // namespace qm
