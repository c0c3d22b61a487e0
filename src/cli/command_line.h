// The command-line face: parses the parameters and, when they name an
// input, runs the conversion with console output.
#pragma once

#include <string>
#include <vector>

#include "engine/batch/run_start.h"

namespace qm {

// What start-up does after the parser: end with the exit code (help,
// version, an error, a command-line run), or go on in one of the window
// face's modes.
struct CommandLineOutcome {
  enum class Next { Exit, WindowMode, Screenshots, UninstallFeedback };
  Next next = Next::WindowMode;
  int exitCode = 0;
  std::string screenshotFolder;  // -T: the folder parameter as given
};

// Window mode follows when the parameters hold no input option (or there
// are none).
CommandLineOutcome parseCommandLine(const Workspace& workspace, const std::vector<std::string>& parameters);

}  // namespace qm
