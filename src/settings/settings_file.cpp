// Interim: defaults only until the settings text format is built.
#include "settings/settings_file.h"

namespace qm {

void loadSettings(Settings& settings, DesktopSize desktop) {
  resetSettings(settings, SettingsForm::Window, desktop);
}

std::string settingsFileText(const Settings&) { return {}; }

bool saveSettings(const Settings&) { return false; }

}  // namespace qm
