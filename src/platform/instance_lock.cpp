#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/file_descriptor.h"

namespace qm::platform {

namespace {

LockAttempt refused(std::string problem) {
  LockAttempt attempt;
  attempt.problem = std::move(problem);
  return attempt;
}

// Opens the private folder, making it when it is missing. Whoever made it
// first wins the name, so an existing one must be a real folder (not a
// link to one), owned by this user and closed to everybody else.
std::optional<FileDescriptor> openPrivateFolder(const std::string& folder, std::string& problem) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    problem = "cannot make " + folder + ": " + std::strerror(errno);
    return std::nullopt;
  }
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
    problem = folder + " is not a folder of its own (a link or a file?)";
    return std::nullopt;
  }
  if (info.st_uid != ::geteuid()) {
    problem = folder + " belongs to another user";
    return std::nullopt;
  }
  if ((info.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(info.st_mode & 0777));
    problem = folder + " is open to other users (mode " + mode + ")";
    return std::nullopt;
  }
  return fd;
}

}  // namespace

std::string InstanceLock::privateFolder(const std::string& privateRoot) {
  return privateRoot + "/quillmark-" + std::to_string(::geteuid());
}

LockAttempt InstanceLock::acquire(const std::string& titleLine) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return acquire(titleLine, runtime ? runtime : "");
}

LockAttempt InstanceLock::acquire(const std::string& titleLine, const std::string& runtimeDir,
                                  const std::string& privateRoot) {
  std::optional<FileDescriptor> folder;
  std::string folderName = runtimeDir;
  if (runtimeDir.empty()) {
    folderName = privateFolder(privateRoot);
    std::string problem;
    folder = openPrivateFolder(folderName, problem);
    if (!folder) return refused(std::move(problem));
  } else {
    folder.emplace(::open(runtimeDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder->valid()) return refused("cannot open " + runtimeDir + ": " + std::strerror(errno));
  }
  const std::string name = titleLine + ".lock";
  FileDescriptor fd(::openat(folder->get(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd.valid()) return refused("cannot open " + folderName + "/" + name + ": " + std::strerror(errno));
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    LockAttempt attempt;
    attempt.folder = folderName;
    attempt.heldElsewhere = errno == EWOULDBLOCK;
    if (!attempt.heldElsewhere)
      attempt.problem = "cannot lock " + folderName + "/" + name + ": " + std::strerror(errno);
    return attempt;
  }
  LockAttempt attempt;
  attempt.folder = folderName;
  attempt.lock = InstanceLock(std::move(fd));
  return attempt;
}

}  // namespace qm::platform
