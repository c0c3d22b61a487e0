// The command-line face: parses the parameters and, when they name an
// input, runs the conversion with console output.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/batch/run_start.h"

namespace qm {

// Returns the exit code when the command line ended the run (a
// first-parameter mode, an error, or a command-line run); nullopt when the
// parameters hold no input option and window mode follows.
std::optional<int> parseCommandLine(const Workspace& workspace, const std::vector<std::string>& parameters);

}  // namespace qm
