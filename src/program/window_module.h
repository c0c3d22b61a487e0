// The window face, opened from its module beside the program when a
// window is asked for. The command line and the workers never call this,
// so they never map the window toolkit.
#pragma once

#include "engine/batch/run_start.h"
#include "ui/window_mode.h"

namespace qm {

// Opens the module and runs the face (see runWindowMode). When the module
// or a library it needs cannot be loaded, one line on stderr says so and
// the result is 1.
int runWindowModule(const Workspace& workspace, const WindowModeRequest& request);

}  // namespace qm
