#include "engine/batch/list_export.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/batch/worker_thread.h"
#include "platform/file_descriptor.h"
#include "platform/stream.h"

namespace qm {

void listExportProcedure(const std::vector<std::string>& rows, const std::string& listFile, Progress& progress) {
  std::string temporary = listFile + ".XXXXXX";
  platform::FileDescriptor fd(::mkstemp(temporary.data()));
  if (!fd.valid()) {
    progress.addToSavedCount(0);
    return;
  }
  // mkstemp makes the file private; a list is an ordinary document.
  ::fchmod(fd.get(), 0644);
  bool ok = platform::writeAll(fd.get(), "\xEF\xBB\xBF");
  std::int32_t saved = 0;
  std::string line;
  for (std::size_t i = 0; ok && i < rows.size(); ++i) {
    progress.waitWhileHeld();
    if (!progress.running()) break;
    progress.setIndex(static_cast<std::int32_t>(i + 1));
    line = rows[i];
    line += "\r\n";
    ok = platform::writeAll(fd.get(), line);
    if (ok) ++saved;
  }
  ok = ok && ::fsync(fd.get()) == 0;
  ok = fd.close() && ok;
  if (!ok || std::rename(temporary.c_str(), listFile.c_str()) != 0) {
    ::unlink(temporary.c_str());
    saved = 0;
  }
  progress.addToSavedCount(saved);
}

std::jthread startListExport(std::vector<std::string> rows, std::string listFile, Progress& progress) {
  return startWorkerThread(progress, [rows = std::move(rows), listFile = std::move(listFile), &progress] {
    listExportProcedure(rows, listFile, progress);
  });
}

}  // namespace qm
