#include <cstdio>

#include "app/messages.h"
#include "app/version.h"
#include "cli/command_line.h"
#include "platform/instance_lock.h"
#include "platform/paths.h"
#include "program/application.h"
#include "settings/settings_file.h"

namespace qm {

namespace {

// The per-user settings folder, created when missing; returns the path of
// config.ini inside it.
std::string prepareSettingsFolder() {
  std::string folder = platform::withTrailingSlash(platform::userConfigFolder());
  for (const char* level : {"Ferroval", "quillmark"}) {
    folder += level;
    if (!platform::pathExists(folder)) platform::createFolder(folder);
    folder += '/';
  }
  return folder + "config.ini";
}

int runWindowMode(Application& app) {
  app.settings.settingsFilePath = prepareSettingsFolder();
  // No desktop is known before the window toolkit starts; the window face
  // passes the real display size once it exists.
  loadSettings(app.settings, DesktopSize{});
  messages();
  // The main window and its event loop come here.
  if (!app.settings.outFoldersHistory) app.settings.recentOutFolders.clear();
  saveSettings(app.settings);
  return 0;
}

}  // namespace

int runProgram(const std::vector<std::string>& parameters) {
  Application app;
  app.run.programFolder = platform::programFolder();

  auto lock = platform::InstanceLock::acquire(titleLine());
  if (!lock) {
    // Another instance runs. Window mode stays silent; a scripted call
    // learns why nothing happened.
    if (!parameters.empty()) std::fprintf(stderr, "Another %s is running.\n", kProductName);
    return 1;
  }

  const CommandLineOutcome outcome = parseCommandLine(app.workspace(), parameters);
  switch (outcome.next) {
    case CommandLineOutcome::Next::Exit: return outcome.exitCode;
    // The window face's own modes come with the window face.
    case CommandLineOutcome::Next::Screenshots:
    case CommandLineOutcome::Next::UninstallFeedback: return 0;
    case CommandLineOutcome::Next::WindowMode: break;
  }
  return runWindowMode(app);
}

}  // namespace qm
