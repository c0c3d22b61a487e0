#include "platform/stream.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace qm::platform {

int millisecondsLeft(Deadline deadline) {
  if (deadline == kNoDeadline) return INT_MAX;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Deadline::clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

bool waitFor(int fd, short events, Deadline deadline) {
  for (;;) {
    const int left = millisecondsLeft(deadline);
    if (left == 0) return false;
    pollfd watched{fd, events, 0};
    const int ready = ::poll(&watched, 1, deadline == kNoDeadline ? -1 : left);
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

bool sendAll(int socket, std::string_view bytes, Deadline deadline) {
  while (!bytes.empty()) {
    // MSG_NOSIGNAL: a peer that hangs up early must not kill the program.
    const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!waitFor(socket, POLLOUT, deadline)) return false;
    } else {
      return false;
    }
  }
  return true;
}

std::size_t receiveAll(int socket, std::span<char> buffer, Deadline deadline) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::recv(socket, buffer.data() + filled, buffer.size() - filled, 0);
    if (got > 0) {
      filled += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!waitFor(socket, POLLIN, deadline)) break;
    } else {
      break;
    }
  }
  return filled;
}

}  // namespace qm::platform
