#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/file_descriptor.h"
#include "platform/stream.h"

namespace qm {

using platform::FileDescriptor;
using platform::writeAll;

std::optional<RegularFile> openRegularFile(const std::string& path, int* openError) {
  if (openError) *openError = 0;
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.valid()) {
    if (openError) *openError = errno;
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return RegularFile{std::move(file), static_cast<std::uint64_t>(info.st_size)};
}

std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes) {
  if (path.empty()) return std::nullopt;
  std::optional<RegularFile> opened = openRegularFile(path);
  if (!opened || opened->size > maxBytes) return std::nullopt;
  const FileDescriptor& file = opened->file;

  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(opened->size));
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
    if (bytes.size() > maxBytes) return std::nullopt;
  }
  return bytes;
}

bool replaceWholeFile(const std::string& path, std::string_view bytes) {
  if (path.empty()) return false;
  std::string temporary;
  int fd = -1;
  // The name is unique to this process; a leftover of an earlier crash
  // with the same number is skipped, never overwritten.
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  FileDescriptor file(fd);
  if (!file.valid()) return false;

  bool written = writeAll(file.get(), bytes) && ::fsync(file.get()) == 0;
  written = file.close() && written;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace qm
