// The program's own shared objects in modules/ beside it: the core (the
// image and drawing libraries) and the window face. Opened only when a
// start needs them, so --version, --help and a refused command line map
// neither.
#pragma once

#include <dlfcn.h>

#include <string>

#include "platform/handle.h"

namespace qm {

inline constexpr const char* kModuleFolder = "modules/";

// Libraries register types and exit handlers that must outlive any
// unloading, so a module stays mapped (RTLD_NODELETE) and the close only
// drops the handle.
using ModuleHandle = Handle<void, dlclose>;

struct OpenedModule {
  ModuleHandle handle;
  std::string problem;  // when there is no handle
};

// Opens `fileName` (kModuleFolder beside the program, else where the
// program's libraries are searched) with every symbol resolved at once: a
// library missing from the system is reported here, not as a crash later.
OpenedModule openProgramModule(const std::string& fileName);

// The address of `symbol` in the module, or null with the reason in
// `problem`.
void* moduleSymbol(const OpenedModule& module, const char* symbol, std::string& problem);

}  // namespace qm
