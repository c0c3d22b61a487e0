#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>

#include "app/version.h"
#include "cli/command_line.h"
#include "platform/instance_handoff.h"
#include "platform/instance_lock.h"
#include "platform/paths.h"
#include "program/application.h"
#include "program/window_module.h"

namespace qm {

namespace {

// The per-user settings folder, created when missing; returns the path of
// config.ini inside it.
std::string prepareSettingsFolder() {
  const std::string base = platform::userConfigFolder();
  // A new account may have no configuration folder yet; without it no
  // setting would ever be saved. Made private to the user, as the XDG
  // rules ask.
  if (!base.empty() && !platform::pathExists(base)) {
    std::error_code error;
    std::filesystem::create_directories(base, error);
    std::filesystem::permissions(base, std::filesystem::perms::owner_all, error);
  }
  std::string folder = platform::withTrailingSlash(base);
  for (const char* level : {"Ferroval", "quillmark"}) {
    folder += level;
    if (!platform::pathExists(folder)) platform::createFolder(folder);
    folder += '/';
  }
  return folder + "config.ini";
}

// The settings folder is made before the window toolkit starts, so it
// exists even when no display does.
int runMainWindow(Application& app, std::vector<std::string> startPaths, const std::string& lockFolder) {
  app.settings.settingsFilePath = prepareSettingsFolder();
  return runWindowModule(app.workspace(), {WindowModeRequest::Face::MainWindow,
                                           {},
                                           std::move(startPaths),
                                           platform::handoffSocketPath(lockFolder, titleLine())});
}

// A start that would open the window while another one runs gives it its
// files and folders instead ("Open with" on one more document).
bool handToRunningWindow(const std::string& lockFolder, const std::vector<std::string>& parameters) {
  Application scratch;
  const std::optional<std::vector<std::string>> paths = windowStartPaths(scratch.workspace(), parameters);
  return paths && platform::handOver(platform::handoffSocketPath(lockFolder, titleLine()), *paths);
}

}  // namespace

int runProgram(const std::vector<std::string>& parameters) {
  Application app;
  app.run.programFolder = platform::programFolder();
  // A fixed %rnd% sequence, so two runs can be compared file for file.
  if (const char* seed = std::getenv("QUILLMARK_RANDOM_SEED"); seed && *seed)
    app.run.random.seed(static_cast<std::mt19937::result_type>(std::strtoul(seed, nullptr, 10)));

  const platform::LockAttempt lock = platform::InstanceLock::acquire(titleLine());
  if (!lock.lock) {
    if (lock.heldElsewhere && handToRunningWindow(lock.folder, parameters)) return 0;
    // Another instance runs. Window mode stays silent; a scripted call
    // learns why nothing happened.
    if (lock.heldElsewhere) {
      if (!parameters.empty()) std::fprintf(stderr, "Another %s is running.\n", kProductName);
    } else {
      std::fprintf(stderr, "%s cannot take its single-instance lock: %s\n", kProductName, lock.problem.c_str());
    }
    return 1;
  }

  const CommandLineOutcome outcome = parseCommandLine(
      app.workspace(), parameters, [&app](const Workspace& workspace, bool quiet, platform::Console& console) {
        const CoreModuleEntries* core = app.core.entries();
        return core ? core->runCommandLine(workspace, quiet, console) : 1;
      });
  switch (outcome.next) {
    case CommandLineOutcome::Next::Exit: return outcome.exitCode;
    case CommandLineOutcome::Next::Screenshots:
      app.run.runModeMarker = std::string(1, 'T');
      return runWindowModule(app.workspace(), {WindowModeRequest::Face::Screenshots, outcome.screenshotFolder, {}});
    case CommandLineOutcome::Next::UninstallFeedback:
      return runWindowModule(app.workspace(), {WindowModeRequest::Face::UninstallFeedback, {}, {}});
    case CommandLineOutcome::Next::WindowMode: break;
  }
  return runMainWindow(app, outcome.windowPaths, lock.folder);
}

}  // namespace qm
