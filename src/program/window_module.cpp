#include "program/window_module.h"

#include <dlfcn.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/paths.h"
#include "ui/window_module_entry.h"

namespace qm {

namespace {

// The toolkit registers types and exit handlers that must outlive any
// unloading, so the module stays mapped (RTLD_NODELETE) and the close only
// drops the handle.
struct ModuleCloser {
  void operator()(void* handle) const { dlclose(handle); }
};
using ModuleHandle = std::unique_ptr<void, ModuleCloser>;

void reportUnloadable(const char* why) {
  std::fprintf(stderr, "Error: the window cannot be opened: %s\n", why ? why : "the window module is damaged");
}

}  // namespace

int runWindowModule(const Workspace& workspace, const WindowModeRequest& request) {
  // Beside the executable, wherever the program was installed or built,
  // never through the library search path.
  const std::string path = platform::withTrailingSlash(platform::programFolder()) + kWindowModuleFile;
  // Everything resolved at once: a library missing from the system is
  // reported here, not as a crash in the middle of the window.
  const ModuleHandle module(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
  if (!module) {
    reportUnloadable(dlerror());
    return 1;
  }
  const auto entry = reinterpret_cast<QuillmarkWindowModeEntry>(dlsym(module.get(), kWindowModuleEntry));
  if (!entry) {
    reportUnloadable(dlerror());
    return 1;
  }
  return entry(&workspace, &request);
}

}  // namespace qm
