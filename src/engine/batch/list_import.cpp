#include "engine/batch/list_import.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "engine/batch/folder_scan.h"
#include "engine/batch/worker_thread.h"
#include "platform/file_descriptor.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/whole_file.h"

namespace qm {

std::vector<std::string> listFileLines(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::vector<std::string> lines;
  while (!bytes.empty()) {
    auto end = bytes.find_first_of("\r\n");
    std::string_view line = bytes.substr(0, end);
    if (end == std::string_view::npos) {
      bytes = {};
    } else {
      bool crlf = bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n';
      bytes.remove_prefix(end + (crlf ? 2 : 1));
    }
    line = trim(line);
    if (!line.empty()) lines.emplace_back(line);
  }
  return lines;
}

std::int64_t countLineFeeds(const std::string& path) {
  platform::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return 0;
  std::array<char, 65536> block;
  std::int64_t count = 0;
  for (;;) {
    const ssize_t got = ::read(fd.get(), block.data(), block.size());
    if (got <= 0) break;
    count += std::count(block.data(), block.data() + got, '\n');
  }
  return count;
}

void listImportProcedure(InputList& inputs, const RunState& run, Progress& progress) {
  auto bytes = readWholeFile(run.inputFile);
  if (!bytes) return;
  int accepted = 0;
  int added = 0;
  for (const std::string& line : listFileLines(*bytes)) {
    progress.waitWhileHeld();
    if (!progress.running()) break;
    if (!platform::pathExists(line)) continue;
    progress.setIndex(++accepted);
    if (platform::isFolder(line))
      added += scanFolder(platform::withTrailingSlash(line), inputs, run);
    else
      added += inputs.admitFile(line, run.inputRoot, run.readableExtensions);
  }
  progress.addToSavedCount(added);
}

std::jthread startListImport(InputList& inputs, const RunState& run, Progress& progress) {
  return startWorkerThread(progress, [&inputs, &run, &progress] { listImportProcedure(inputs, run, progress); });
}

}  // namespace qm
