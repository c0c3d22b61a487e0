// The command-line run: validates the input, output folder, extension and
// the settings that would make conversion fail, fills the Input list from
// a file, a list file or a folder, converts on a worker thread and writes
// a summary. It ends with 0 only when every admitted file was written.
#pragma once

#include <string>

#include "engine/batch/run_start.h"

namespace qm {

namespace platform {
class Console;
}

// The text after "Error: " for a failed check of the command line.
std::string checkFailureText(RunCheck check, const std::string& extension);

// After a successful option loop; the caller writes the banner before and
// does the pause after. Returns the exit code.
int runCommandLine(const Workspace& workspace, bool quiet, platform::Console& console);

}  // namespace qm
