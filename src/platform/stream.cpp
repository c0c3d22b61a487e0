#include "platform/stream.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

namespace qm::platform {

StopFlag::StopFlag() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void StopFlag::raise() {
  // The counter only grows; one write is enough to make it readable, and a
  // full counter (EAGAIN) is readable already.
  const std::uint64_t one = 1;
  while (::write(fd_.get(), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

bool StopFlag::raised() const {
  pollfd watched{fd_.get(), POLLIN, 0};
  return ::poll(&watched, 1, 0) > 0 && (watched.revents & POLLIN) != 0;
}

int millisecondsLeft(Deadline deadline) {
  if (deadline == kNoDeadline) return INT_MAX;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Deadline::clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

bool waitFor(int fd, short events, Deadline deadline, const StopFlag* stop) {
  for (;;) {
    const int left = millisecondsLeft(deadline);
    if (left == 0) return false;
    // poll() passes over an entry whose descriptor is negative.
    pollfd watched[2] = {{fd, events, 0}, {stop ? stop->fd() : -1, POLLIN, 0}};
    const int ready = ::poll(watched, 2, deadline == kNoDeadline ? -1 : left);
    if (watched[1].revents != 0) return false;
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool sendAll(int socket, std::string_view bytes, Deadline deadline, const StopFlag* stop) {
  while (!bytes.empty()) {
    // MSG_NOSIGNAL: a peer that hangs up early must not kill the program.
    const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!waitFor(socket, POLLOUT, deadline, stop)) return false;
    } else {
      return false;
    }
  }
  return true;
}

std::size_t receiveAll(int socket, std::span<char> buffer, Deadline deadline, const StopFlag* stop) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::recv(socket, buffer.data() + filled, buffer.size() - filled, 0);
    if (got > 0) {
      filled += static_cast<std::size_t>(got);
    } else if (got == 0) {  // NOLINT(bugprone-branch-clone): the end, told apart from a failure
      break;
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!waitFor(socket, POLLIN, deadline, stop)) break;
    } else {
      break;
    }
  }
  return filled;
}

}  // namespace qm::platform
