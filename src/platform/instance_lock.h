// The single-instance lock: an exclusive flock on a file named after the
// title line. Held for the whole run; released when the object goes away.
#pragma once

#include <optional>
#include <string>

namespace qm::platform {

class InstanceLock {
 public:
  // Takes the lock, or returns nullopt when another process holds it (or
  // the lock file cannot be made).
  static std::optional<InstanceLock> acquire(const std::string& titleLine);

  InstanceLock(InstanceLock&& other) noexcept;
  InstanceLock& operator=(InstanceLock&& other) noexcept;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  ~InstanceLock();

  // Where the lock file of this title line lives.
  static std::string lockPath(const std::string& titleLine);

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace qm::platform
