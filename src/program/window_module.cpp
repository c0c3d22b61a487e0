#include "program/window_module.h"

#include <cstdio>
#include <string>

#include "program/program_module.h"
#include "ui/window_module_entry.h"

namespace qm {

int runWindowModule(const Workspace& workspace, const WindowModeRequest& request) {
  const OpenedModule module = openProgramModule(kWindowModuleName);
  std::string problem;
  const auto entry = reinterpret_cast<QuillmarkWindowModeEntry>(moduleSymbol(module, kWindowModuleEntry, problem));
  if (!entry) {
    std::fprintf(stderr, "Error: the window cannot be opened: %s\n", problem.c_str());
    return 1;
  }
  return entry(&workspace, &request);
}

}  // namespace qm
