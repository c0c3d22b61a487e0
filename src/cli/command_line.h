// The command-line face: parses the parameters and, when they name an
// input, runs the conversion with console output.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/batch/run_start.h"

namespace qm {

namespace platform {
class Console;
}

// What start-up does after the parser: end with the exit code (help,
// version, an error, a command-line run), or go on in one of the window
// face's modes.
struct CommandLineOutcome {
  enum class Next { Exit, WindowMode, Screenshots, UninstallFeedback };
  Next next = Next::WindowMode;
  int exitCode = 0;
  std::string screenshotFolder;  // -T: the folder parameter as given
  // Window mode: the existing files and folders named by parameters that
  // are neither options nor their values, absolute, in parameter order.
  // A desktop's "Open with" starts the program this way.
  std::vector<std::string> windowPaths;
};

// The modes that only the first parameter chooses, by upper-case name. No
// other position knows these names.
enum class FirstParameterMode { Help, Version, UninstallFeedback, Screenshots };
struct FirstParameterName {
  std::string_view upperName;
  FirstParameterMode mode;
};
std::span<const FirstParameterName> firstParameterNames();

// The conversion of a command-line run (runCommandLine). It lives with the
// image libraries, which start-up loads only once the parameters have
// passed, so it comes in from there.
using CommandLineRunner = std::function<int(const Workspace& workspace, bool quiet, platform::Console& console)>;

// Window mode follows when the parameters hold no input option (or there
// are none).
CommandLineOutcome parseCommandLine(const Workspace& workspace, const std::vector<std::string>& parameters,
                                    const CommandLineRunner& runCommandLine);

// For a start that finds the window already running: the paths the window
// would open with when these parameters open the window (no mode of the
// first parameter, no input option, no error); nothing when they ask for
// anything else. Prints nothing and runs nothing; `scratch` is reset.
std::optional<std::vector<std::string>> windowStartPaths(const Workspace& scratch,
                                                         const std::vector<std::string>& parameters);

}  // namespace qm
