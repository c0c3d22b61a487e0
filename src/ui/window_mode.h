// The window face: the main window with its event loop, and the screenshot
// mode that builds the same window for pictures. The window toolkit stays
// behind this header, so its callers need none of its flags.
#pragma once

#include <string>
#include <vector>

#include "engine/batch/run_start.h"

namespace qm {

struct WindowModeRequest {
  enum class Face { MainWindow, Screenshots, UninstallFeedback };
  Face face = Face::MainWindow;
  // Screenshots: the folder the pictures go to, as given.
  std::string screenshotFolder;
  // Main window: files and folders admitted at start, as if dropped on
  // the window in this order.
  std::vector<std::string> startPaths;
  // Main window: where later starts hand over their files and folders;
  // none when empty.
  std::string handoffSocket = {};
};

// Runs the face to its end and returns the process exit code: 0 after the
// user quit (or the pictures were written), 1 when no display can be
// opened (one line on stderr says so, and the settings file is neither
// read nor written) or the pictures could not be written.
//
// The main window reads `workspace.settings.settingsFilePath` at start and
// writes it at exit; the caller has prepared the folder it lies in. The
// screenshot mode works on the settings it is given and saves nothing; the
// uninstall feedback window touches no settings at all and ends with 0.
int runWindowMode(const Workspace& workspace, const WindowModeRequest& request);

}  // namespace qm
