#include "engine/batch/folder_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <utility>

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

// One scan of a tree: the folders already listed, by device and inode,
// and where the refusals go.
struct Scan {
  const RunState& run;
  InputList& inputs;
  Progress* refusals = nullptr;
  std::set<std::pair<dev_t, ino_t>> listed;
};

// Calls visit(entry) for each entry of `folder` while keepGoing() says so;
// nothing for a folder this scan has listed before. Sizes are read
// relative to the open folder, and only for files of a readable type,
// since the admission needs nothing else.
template <typename KeepGoing, typename Visit>
void forEachEntry(const std::string& folder, Scan& scan, KeepGoing keepGoing, Visit visit) {
  // The path goes to the C library as a C string: one holding a NUL would
  // open a folder other than the one the entries are named after.
  if (folder.find('\0') != std::string::npos) return;
  DirHandle dir(opendir(folder.c_str()));
  if (!dir) return;
  const int folderFd = dirfd(dir.get());
  struct stat self {};
  if (fstat(folderFd, &self) != 0 || !scan.listed.emplace(self.st_dev, self.st_ino).second) return;
  const RunState& run = scan.run;
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

int scanBelow(const std::string& folder, Scan& scan, int depth);

int admitEntry(const Entry& entry, Scan& scan, int depth) {
  if (entry.isFolder) return depth < kMaxFolderDepth ? scanBelow(entry.path, scan, depth + 1) : 0;
  const Admission admission =
      scan.inputs.admitOfSize(entry.path, entry.size, scan.run.inputRoot, scan.run.readableExtensions);
  // Of the files a scan meets only an empty document is worth a word; the
  // other types are left aside silently.
  if (admission == Admission::Empty && scan.refusals)
    scan.refusals->noteRefusal(entry.path, refusalReason(admission, scan.run.readableExtensions));
  return admission == Admission::Added ? 1 : 0;
}

int scanBelow(const std::string& folder, Scan& scan, int depth) {
  int added = 0;
  forEachEntry(
      folder, scan, [] { return true; }, [&](const Entry& entry) { added += admitEntry(entry, scan, depth); });
  return added;
}

}  // namespace

int scanFolder(const std::string& folder, InputList& inputs, const RunState& run, Progress* refusals) {
  Scan scan{run, inputs, refusals, {}};
  return scanBelow(folder, scan, 1);
}

void folderScanProcedure(InputList& inputs, const RunState& run, Progress& progress) {
  int done = 0;
  int added = 0;
  Scan scan{run, inputs, &progress, {}};
  forEachEntry(
      run.inputRoot, scan,
      [&] {
        progress.waitWhileHeld();
        return progress.running();
      },
      [&](const Entry& entry) {
        progress.setIndex(++done);
        added += admitEntry(entry, scan, 1);
      });
  progress.addToSavedCount(added);
}

std::jthread startFolderScan(InputList& inputs, const RunState& run, Progress& progress) {
  return startWorkerThread(progress, [&inputs, &run, &progress] { folderScanProcedure(inputs, run, progress); });
}

}  // namespace qm
