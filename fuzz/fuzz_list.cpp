// libFuzzer target of the list import: the bytes are a list file, read and
// imported the way `-i list.txt` does it, folder lines scanned. Built and
// run by scripts/fuzz-documents, not by the test suite.
//
// A list names absolute paths, so the target runs inside a small tree of
// its own (a private mount namespace and a chroot, which the script gives
// root or a user namespace for): folders, documents, a symbolic link back
// to the root, a FIFO. A line naming "/" then scans that tree, not the
// machine. The folders named by QM_FUZZ_BIND (colon-separated: the seeds
// and the findings) are bound into the tree at their own paths, so
// libFuzzer still reads and writes them.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/run_state.h"
#include "engine/batch/list_import.h"
#include "formats/input_formats.h"

namespace {

namespace fs = std::filesystem;

void fail(const char* what) {
  std::perror(what);
  std::exit(1);
}

void touch(const fs::path& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) fail(path.c_str());
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// The tree the lists see as their whole file system.
void makeTree(const fs::path& root) {
  fs::create_directories(root / "in/deep/deeper");
  fs::create_directories(root / "tmp");
  touch(root / "in/a.psd", "8BPS");
  touch(root / "in/deep/b.PSD", "8BPS");
  touch(root / "in/deep/deeper/c.psd", "8BPS");
  touch(root / "in/empty.psd", "");
  touch(root / "in/notes.txt", "/in/a.psd\n");
  fs::create_directory_symlink("/", root / "in/deep/up");
  fs::create_symlink("/in/a.psd", root / "in/link.psd");
  ::mkfifo((root / "in/fifo.psd").c_str(), 0600);
}

void enterTree(const fs::path& root, std::string bound) {
  if (::unshare(CLONE_NEWNS) != 0 && (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)) fail("unshare");
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) fail("mount private");
  while (!bound.empty()) {
    const std::size_t colon = bound.find(':');
    const fs::path folder = fs::absolute(bound.substr(0, colon));
    bound = colon == std::string::npos ? std::string() : bound.substr(colon + 1);
    const fs::path inside = root / folder.relative_path();
    fs::create_directories(inside);
    if (::mount(folder.c_str(), inside.c_str(), nullptr, MS_BIND, nullptr) != 0) fail(folder.c_str());
  }
  if (::chroot(root.c_str()) != 0 || ::chdir("/") != 0) fail("chroot");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/fuzz-list-XXXXXX";
  if (!::mkdtemp(pattern)) fail("mkdtemp");
  const char* bound = std::getenv("QM_FUZZ_BIND");
  makeTree(pattern);
  enterTree(pattern, bound ? bound : "");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::string> readable = qm::deriveReadableExtensions(qm::inputTypeList());
  const std::string list = "/tmp/list.txt";
  touch(list, std::string(reinterpret_cast<const char*>(data), size));
  qm::RunState run;
  run.inputFile = list;
  run.readableExtensions = readable;
  qm::InputList inputs;
  qm::Progress progress;
  progress.reset();
  qm::listImportProcedure(inputs, run, progress);
  // Every file admitted is one the tree holds.
  for (const qm::InputEntry& entry : inputs.entriesInBucketOrder())
    if (entry.path.empty() || entry.path.front() != '/' || !fs::exists(entry.path)) std::abort();
  return 0;
}
