#include "engine/folder_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace qm {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool isDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// A real folder, not a link to one.
bool isRealFolder(const dirent& entry, const std::string& path) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_UNKNOWN) return false;
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Calls visit(path, isFolder) for each entry of `folder` while keepGoing()
// says so; folder paths get their trailing "/".
template <typename KeepGoing, typename Visit>
void forEachEntry(const std::string& folder, KeepGoing keepGoing, Visit visit) {
  DirHandle dir(opendir(folder.c_str()));
  if (!dir) return;
  while (keepGoing()) {
    const dirent* entry = readdir(dir.get());
    if (!entry) break;
    if (isDotEntry(entry->d_name)) continue;
    std::string path = folder + entry->d_name;
    if (isRealFolder(*entry, path)) {
      path += '/';
      visit(path, true);
    } else {
      visit(path, false);
    }
  }
}

}  // namespace

int scanFolder(const std::string& folder, InputList& inputs, const RunState& run) {
  int added = 0;
  forEachEntry(
      folder, [] { return true; },
      [&](const std::string& path, bool isFolder) {
        added += isFolder ? scanFolder(path, inputs, run)
                          : inputs.admitFile(path, run.inputRoot, run.readableExtensions);
      });
  return added;
}

void folderScanProcedure(InputList& inputs, const RunState& run, Progress& progress) {
  int done = 0;
  int added = 0;
  forEachEntry(
      run.inputRoot,
      [&] {
        progress.waitWhileHeld();
        return progress.running();
      },
      [&](const std::string& path, bool isFolder) {
        progress.setIndex(++done);
        added += isFolder ? scanFolder(path, inputs, run)
                          : inputs.admitFile(path, run.inputRoot, run.readableExtensions);
      });
  progress.addToSavedCount(added);
}

std::jthread startFolderScan(InputList& inputs, const RunState& run, Progress& progress) {
  return std::jthread([&inputs, &run, &progress] { folderScanProcedure(inputs, run, progress); });
}

}  // namespace qm
