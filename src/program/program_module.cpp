#include "program/program_module.h"

#include <dlfcn.h>

#include <cstddef>
#include <vector>

#include "platform/paths.h"

namespace qm {

namespace {

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
    if (const char* name = info->dls_serpath[i].dls_name; name && name[0] == '/') folders.emplace_back(name);
  return folders;
}

}  // namespace

// Beside the program, where it was installed or built. Only when nothing
// is there, where the program's libraries are searched: a copy of the
// built program finds the build's modules through its run path.
OpenedModule openProgramModule(const std::string& fileName) {
  const std::string beside = platform::withTrailingSlash(platform::programFolder()) + kModuleFolder + fileName;
  if (platform::pathExists(beside)) return openModule(beside);
  for (const std::string& folder : librarySearchFolders())
    if (const std::string path = platform::withTrailingSlash(folder) + fileName; platform::pathExists(path))
      return openModule(path);
  return {nullptr, beside + ": no such file"};
}

void* moduleSymbol(const OpenedModule& module, const char* symbol, std::string& problem) {
  if (!module.handle) {
    problem = module.problem;
    return nullptr;
  }
  void* address = dlsym(module.handle.get(), symbol);
  if (!address) {
    const char* reason = dlerror();
    problem = reason ? reason : std::string("the module has no ") + symbol;
  }
  return address;
}

}  // namespace qm
