// The last step of every writer: the finished temporary file takes the
// output's place in one rename, so an existing output is either replaced
// by a complete file or not touched at all.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/writers/writers.h"

namespace qm {

namespace {

// An output the user has made read-only stays; one that is replaced passes
// its mode (and its group, where the process may set it) to the new file,
// so a private output does not become readable by everyone.
bool takeOverOutput(const std::string& temporaryPath, const std::string& outputPath, std::string& failure) {
  struct stat existing {};
  if (::lstat(outputPath.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) return true;
  if (::access(outputPath.c_str(), W_OK) != 0 && errno == EACCES) {
    failure = "the output exists and is read-only";
    return false;
  }
  ::chmod(temporaryPath.c_str(), existing.st_mode & 07777);
  if (::chown(temporaryPath.c_str(), static_cast<uid_t>(-1), existing.st_gid) != 0) {
    // A group the user is not in: the new file keeps the user's own.
  }
  return true;
}

}  // namespace

bool replaceOutput(bool written, const std::string& temporaryPath, const std::string& outputPath,
                   std::string& failure) {
  if (written && takeOverOutput(temporaryPath, outputPath, failure)) {
    if (std::rename(temporaryPath.c_str(), outputPath.c_str()) == 0) return true;
    failure = "cannot put the output in place: " + std::string(std::strerror(errno));
  }
  std::remove(temporaryPath.c_str());
  return false;
}

bool finishTemporary(bool complete, const std::string& temporaryPath) {
  if (!complete) std::remove(temporaryPath.c_str());
  return complete;
}

}  // namespace qm
