// Whole transfers over file descriptors and sockets: every byte or a clear
// failure, going on after short transfers and interrupted calls.
#pragma once

#include <chrono>
#include <cstddef>
#include <span>
#include <string_view>

#include "platform/file_descriptor.h"

namespace qm::platform {

using Deadline = std::chrono::steady_clock::time_point;
inline constexpr Deadline kNoDeadline = Deadline::max();

// A request to give up, raised on one thread and seen at once by the waits
// below on another: they watch its descriptor beside their own.
class StopFlag {
 public:
  StopFlag();
  // Idempotent; safe from any thread.
  void raise();
  bool raised() const;
  int fd() const { return fd_.get(); }

 private:
  FileDescriptor fd_;
};

// Writes all of `bytes` to a file or pipe; false on an error.
bool writeAll(int fd, std::string_view bytes);

// Sends all of `bytes` on a socket (blocking or not); false on an error,
// a peer that hung up (never SIGPIPE), the deadline or a raised `stop`.
bool sendAll(int socket, std::string_view bytes, Deadline deadline = kNoDeadline, const StopFlag* stop = nullptr);

// Fills `buffer` from a socket (blocking or not) until it is full, the
// peer closes, an error, the deadline or a raised `stop`; returns how many
// bytes arrived.
std::size_t receiveAll(int socket, std::span<char> buffer, Deadline deadline = kNoDeadline,
                       const StopFlag* stop = nullptr);

// True once `fd` reports `events` or a condition the next call will
// surface (hang-up, error); false when the deadline passes or `stop` is
// raised first.
bool waitFor(int fd, short events, Deadline deadline, const StopFlag* stop = nullptr);

// Whole milliseconds to the deadline, rounded up so a wait never ends a
// moment early; 0 once it has passed.
int millisecondsLeft(Deadline deadline);

}  // namespace qm::platform
