#include "platform/instance_handoff.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>

#include "platform/stream.h"

namespace qm::platform {

namespace {

// How long either side waits for the other's next bytes.
constexpr auto kWait = std::chrono::seconds(5);
// More than any command line can carry; a sender beyond it is dropped.
constexpr std::size_t kMessageLimit = 16u << 20;
constexpr char kTaken = 'k';

std::optional<sockaddr_un> socketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return std::nullopt;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

bool waitFor(int fd, short events) { return platform::waitFor(fd, events, std::chrono::steady_clock::now() + kWait); }

// The messages are small and the peer is on this machine: one wait's worth
// of time is plenty for the whole of one.
bool sendWhole(int fd, std::string_view bytes) { return sendAll(fd, bytes, std::chrono::steady_clock::now() + kWait); }

bool sameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

// The whole message of one sender, split at its zero bytes; nothing when
// it stalls, breaks off or grows beyond the limit.
std::optional<std::vector<std::string>> readMessage(int fd) {
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN && waitFor(fd, POLLIN)) continue;
      return std::nullopt;
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
    if (bytes.size() > kMessageLimit) return std::nullopt;
  }
  if (!bytes.empty() && bytes.back() != '\0') return std::nullopt;
  std::vector<std::string> parameters;
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = bytes.find('\0', start);
    parameters.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return parameters;
}

}  // namespace

std::string handoffSocketPath(const std::string& lockFolder, const std::string& titleLine) {
  return lockFolder + "/" + titleLine + ".socket";
}

std::optional<HandoffListener> HandoffListener::listen(const std::string& path) {
  const auto address = socketAddress(path);
  if (!address) return std::nullopt;
  FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return std::nullopt;
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0) {
    // Only a socket is ours to replace; anything else under the name
    // stays, and the window does without the hand-over.
    if (!S_ISSOCK(existing.st_mode) || ::unlink(path.c_str()) != 0) return std::nullopt;
  }
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) return std::nullopt;
  HandoffListener listener(std::move(fd), path);
  // The folder is the user's own already; the socket is closed to others
  // as well.
  if (::chmod(path.c_str(), 0600) != 0 || ::listen(listener.fd_.get(), 16) != 0) return std::nullopt;
  return listener;
}

HandoffListener::HandoffListener(HandoffListener&& other) noexcept
    : fd_(std::move(other.fd_)), path_(std::exchange(other.path_, std::string())) {}

HandoffListener::~HandoffListener() {
  if (!path_.empty()) ::unlink(path_.c_str());
}

std::vector<std::vector<std::string>> HandoffListener::receive() {
  std::vector<std::vector<std::string>> messages;
  for (;;) {
    FileDescriptor peer(::accept4(fd_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!peer.valid()) {
      if (errno == EINTR) continue;
      break;
    }
    if (!sameUser(peer.get())) continue;
    std::optional<std::vector<std::string>> message = readMessage(peer.get());
    if (!message) continue;
    if (sendWhole(peer.get(), std::string_view(&kTaken, 1))) messages.push_back(std::move(*message));
  }
  return messages;
}

bool handOver(const std::string& path, const std::vector<std::string>& parameters) {
  const auto address = socketAddress(path);
  if (!address) return false;
  FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return false;
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) return false;
  std::string message;
  for (const std::string& parameter : parameters) {
    // A parameter cannot hold a zero byte; one that did would be split.
    message += parameter;
    message += '\0';
  }
  if (!sendWhole(fd.get(), message) || ::shutdown(fd.get(), SHUT_WR) != 0) return false;
  char answer = 0;
  for (;;) {
    if (!waitFor(fd.get(), POLLIN)) return false;
    const ssize_t got = ::recv(fd.get(), &answer, 1, 0);
    if (got < 0 && errno == EINTR) continue;
    return got == 1 && answer == kTaken;
  }
}

}  // namespace qm::platform
