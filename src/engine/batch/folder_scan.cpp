#include "engine/batch/folder_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "engine/batch/worker_thread.h"
#include "formats/input_formats.h"
#include "platform/handle.h"

namespace qm {

namespace {

using DirHandle = Handle<DIR, closedir>;

bool isDotEntry(const char* name) { return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')); }

struct Entry {
  std::string path;  // folders with a trailing "/"
  bool isFolder = false;
  std::optional<std::uint64_t> size;  // of a file (a link followed); nullopt when unknown
};

// Calls visit(entry) for each entry of `folder` while keepGoing() says so.
// Sizes are read relative to the open folder, and only for files of a
// readable type, since the admission needs nothing else.
template <typename KeepGoing, typename Visit>
void forEachEntry(const std::string& folder, const RunState& run, KeepGoing keepGoing, Visit visit) {
  DirHandle dir(opendir(folder.c_str()));
  if (!dir) return;
  const int folderFd = dirfd(dir.get());
  while (keepGoing()) {
    const dirent* found = readdir(dir.get());
    if (!found) break;
    if (isDotEntry(found->d_name)) continue;
    Entry entry;
    entry.path = folder + found->d_name;
    struct stat st {};
    if (found->d_type == DT_DIR) {
      entry.isFolder = true;
    } else if (found->d_type == DT_UNKNOWN) {
      entry.isFolder = fstatat(folderFd, found->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    }
    if (entry.isFolder) {
      entry.path += '/';
    } else if (isReadable(entry.path, run.readableExtensions) && fstatat(folderFd, found->d_name, &st, 0) == 0) {
      entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    }
    visit(entry);
  }
}

int admitEntry(const Entry& entry, InputList& inputs, const RunState& run) {
  return entry.isFolder ? scanFolder(entry.path, inputs, run)
                        : inputs.admitFileOfSize(entry.path, entry.size, run.inputRoot, run.readableExtensions);
}

}  // namespace

int scanFolder(const std::string& folder, InputList& inputs, const RunState& run) {
  int added = 0;
  forEachEntry(
      folder, run, [] { return true; }, [&](const Entry& entry) { added += admitEntry(entry, inputs, run); });
  return added;
}

void folderScanProcedure(InputList& inputs, const RunState& run, Progress& progress) {
  int done = 0;
  int added = 0;
  forEachEntry(
      run.inputRoot, run,
      [&] {
        progress.waitWhileHeld();
        return progress.running();
      },
      [&](const Entry& entry) {
        progress.setIndex(++done);
        added += admitEntry(entry, inputs, run);
      });
  progress.addToSavedCount(added);
}

std::jthread startFolderScan(InputList& inputs, const RunState& run, Progress& progress) {
  return startWorkerThread(progress, [&inputs, &run, &progress] { folderScanProcedure(inputs, run, progress); });
}

}  // namespace qm
