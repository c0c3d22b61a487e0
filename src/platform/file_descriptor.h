// FileDescriptor: the owner of one open file descriptor.
#pragma once

#include <unistd.h>

#include <utility>

namespace qm::platform {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now so the caller learns of a failed close (a full disk may
  // only show there).
  bool close() {
    int fd = std::exchange(fd_, -1);
    return fd >= 0 && ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace qm::platform
