// The door into the core module: the part of the program that holds the
// image, drawing and colour libraries. Start-up opens it when work starts
// and reaches what it needs through this one table; the window module
// links the core and calls it directly.
#pragma once

#include <string>
#include <vector>

#include "engine/batch/run_start.h"

namespace qm {

namespace platform {
class Console;
}

struct CoreModuleEntries {
  // runCommandLine
  int (*runCommandLine)(const Workspace& workspace, bool quiet, platform::Console& console);
  // runConversionWorkerProcess with the document renderer
  int (*runConversionWorker)(const std::vector<std::string>& parameters);
};

}  // namespace qm

inline constexpr const char* kCoreModuleName = "quillmark-core.so";
inline constexpr const char* kCoreModuleEntries = "quillmark_core_entries";

extern "C" {
extern const qm::CoreModuleEntries quillmark_core_entries;
}
