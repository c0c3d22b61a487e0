#include "program/window_module.h"

#include <dlfcn.h>

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

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

struct OpenedModule {
  ModuleHandle handle;
  std::string problem;  // when there is no handle
};

// Everything resolved at once: a library missing from the system is
// reported here, not as a crash in the middle of the window.
OpenedModule openModule(const std::string& path) {
  ModuleHandle handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
  if (handle) return {std::move(handle), {}};
  const char* problem = dlerror();
  return {nullptr, problem ? problem : path + ": cannot be loaded"};
}

// The folders the dynamic linker would search for a library of the
// program's own, in its order: LD_LIBRARY_PATH, the program's run path,
// the system's. Asked of the linker rather than left to dlopen, which
// searches on behalf of its caller, and that is not always the program
// (a sanitizer puts itself in between).
std::vector<std::string> librarySearchFolders() {
  const ModuleHandle program(dlopen(nullptr, RTLD_LAZY));
  Dl_serinfo size;
  if (!program || dlinfo(program.get(), RTLD_DI_SERINFOSIZE, &size) != 0) return {};
  std::vector<std::max_align_t> buffer((size.dls_size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
  auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
  if (dlinfo(program.get(), RTLD_DI_SERINFOSIZE, info) != 0 || dlinfo(program.get(), RTLD_DI_SERINFO, info) != 0)
    return {};
  std::vector<std::string> folders;
  for (unsigned i = 0; i < info->dls_cnt; ++i)
    // Only absolute folders: an empty entry of a run path (which the build
    // tree's has at its end) comes back as the current folder, never a
    // place to take code from.
    if (const char* name = info->dls_serpath[i].dls_name; name && name[0] == '/') folders.push_back(name);
  return folders;
}

// Beside the program, where it was installed or built. Only when nothing
// is there, where the program's libraries are searched: a copy of the
// built program finds the build's module through its run path.
OpenedModule findModule() {
  const std::string beside =
      platform::withTrailingSlash(platform::programFolder()) + kWindowModuleFolder + kWindowModuleName;
  if (platform::pathExists(beside)) return openModule(beside);
  for (const std::string& folder : librarySearchFolders())
    if (const std::string path = platform::withTrailingSlash(folder) + kWindowModuleName; platform::pathExists(path))
      return openModule(path);
  return {nullptr, beside + ": no such file"};
}

}  // namespace

int runWindowModule(const Workspace& workspace, const WindowModeRequest& request) {
  const OpenedModule module = findModule();
  const auto entry = module.handle
                         ? reinterpret_cast<QuillmarkWindowModeEntry>(dlsym(module.handle.get(), kWindowModuleEntry))
                         : nullptr;
  if (!entry) {
    const char* problem = module.handle ? dlerror() : nullptr;
    std::fprintf(stderr, "Error: the window cannot be opened: %s\n",
                 module.handle ? (problem ? problem : "the window module has no entry point") : module.problem.c_str());
    return 1;
  }
  return entry(&workspace, &request);
}

}  // namespace qm
