// The single-instance lock: an exclusive flock on a file named after the
// title line. Held for the whole run; released when the object goes away.
//
// The file lives in $XDG_RUNTIME_DIR, else in a folder of the user's own
// below /tmp (mode 700), so no other local user can make or hold it.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "platform/file_descriptor.h"

namespace qm::platform {

struct LockAttempt;

class InstanceLock {
 public:
  // Takes the lock in `runtimeDir` when it is not empty, else in
  // <privateRoot>/quillmark-<uid>, made or checked first.
  static LockAttempt acquire(const std::string& titleLine, const std::string& runtimeDir,
                             const std::string& privateRoot = "/tmp");
  // The same with the runtime folder from the environment.
  static LockAttempt acquire(const std::string& titleLine);

  // The private folder for a user without a runtime folder.
  static std::string privateFolder(const std::string& privateRoot = "/tmp");

 private:
  explicit InstanceLock(FileDescriptor fd) : fd_(std::move(fd)) {}
  FileDescriptor fd_;
};

// Either the lock, or why it could not be taken; `heldElsewhere` when
// another process of this user holds it.
struct LockAttempt {
  std::optional<InstanceLock> lock;
  bool heldElsewhere = false;
  std::string problem;  // the folder or file could not be used safely
  // The folder the lock file lies in, once it could be opened.
  std::string folder;
};

}  // namespace qm::platform
