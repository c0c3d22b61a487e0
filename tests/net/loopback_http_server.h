// A small HTTP server on 127.0.0.1 for the network tests. It runs on its
// own thread, takes one connection per script in turn, records each
// request's bytes and answers it with its script. Every wait is bounded, so
// it stops by itself even when nobody connects.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace qm::test {

class OwnedFd {
 public:
  explicit OwnedFd(int fd = -1) : fd_(fd) {}
  OwnedFd(OwnedFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  OwnedFd& operator=(OwnedFd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
  ~OwnedFd() { reset(); }
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// A TCP socket bound to 127.0.0.1 on a free port; listening when asked.
inline OwnedFd loopbackSocket(bool listening) {
  OwnedFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (fd.get() < 0 || bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      (listening && listen(fd.get(), 4) != 0))
    throw std::runtime_error("cannot open a loopback socket");
  return fd;
}

inline int boundPort(const OwnedFd& fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

// A port that is bound but not listening: connections to it are refused,
// and nobody else can take it while the holder lives.
struct RefusingPort {
  OwnedFd holder = loopbackSocket(false);
  int port = boundPort(holder);
};

struct ServerScript {
  // Sent in turn with a pause between them, so the client sees the answer
  // arrive in pieces.
  std::vector<std::string> chunks;
  // False: after the chunks the server keeps the connection open until
  // the client leaves (or its own bound runs out).
  bool closeAfterAnswer = true;
};

class LoopbackHttpServer {
 public:
  explicit LoopbackHttpServer(ServerScript script) : LoopbackHttpServer(std::vector<ServerScript>{std::move(script)}) {}
  // One connection per script, in this order. `bound` is how long it waits
  // for each connection.
  explicit LoopbackHttpServer(std::vector<ServerScript> scripts, std::chrono::milliseconds bound = kBound)
      : listener_(loopbackSocket(true)),
        stop_(eventfd(0, EFD_CLOEXEC)),
        port_(boundPort(listener_)),
        scripts_(std::move(scripts)),
        bound_(bound) {
    if (stop_.get() < 0) throw std::runtime_error("eventfd failed");
    thread_ = std::thread([this] {
      for (const ServerScript& script : scripts_)
        if (!serve(script)) break;
    });
  }
  // An HTTP/1.0 answer with this body, in one piece.
  static ServerScript answering(std::string_view body) {
    return {{"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + std::string(body)}, true};
  }
  static ServerScript silent() { return {{}, false}; }

  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;
  ~LoopbackHttpServer() { finish(); }

  int port() const { return port_; }
  std::string site() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string url(std::string_view path) const { return site() + std::string(path); }

  // Ends the server (at once if nobody is connected) and returns the bytes
  // of the first request.
  std::string request() {
    finish();
    return requests_.empty() ? std::string() : requests_.front();
  }
  // Ends the server and returns every request it received, in order.
  std::vector<std::string> requests() {
    finish();
    return requests_;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kBound = std::chrono::seconds(5);

  void finish() {
    if (!thread_.joinable()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = write(stop_.get(), &one, sizeof one);
    thread_.join();
  }

  // Waits for `fd` to become readable; false on the stop request or time-out.
  bool waitReadable(int fd, Clock::time_point until) const {
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      if (left <= 0) return false;
      pollfd watched[2] = {{fd, POLLIN, 0}, {stop_.get(), POLLIN, 0}};
      if (poll(watched, 2, static_cast<int>(left)) < 0) return false;
      if (watched[1].revents) return false;
      if (watched[0].revents) return true;
    }
  }

  // False when no connection came (the server then ends).
  bool serve(const ServerScript& script) {
    if (!waitReadable(listener_.get(), Clock::now() + bound_)) return false;
    OwnedFd client(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (client.get() < 0) return false;
    std::string& request = requests_.emplace_back();
    timeval sendLimit{2, 0};
    setsockopt(client.get(), SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);

    // The whole request is read before answering, so closing never
    // discards unread bytes (which would reset the connection).
    const auto readUntil = Clock::now() + kBound;
    char piece[4096];
    while (request.find("\r\n\r\n") == std::string::npos && waitReadable(client.get(), readUntil)) {
      const ssize_t got = recv(client.get(), piece, sizeof piece, 0);
      if (got <= 0) break;
      request.append(piece, static_cast<std::size_t>(got));
    }

    for (std::size_t i = 0; i < script.chunks.size(); ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const std::string& chunk = script.chunks[i];
      if (send(client.get(), chunk.data(), chunk.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(chunk.size()))
        return true;
    }
    if (script.closeAfterAnswer) return true;
    // Hold the line until the client hangs up.
    const auto holdUntil = Clock::now() + kBound;
    while (waitReadable(client.get(), holdUntil))
      if (recv(client.get(), piece, sizeof piece, 0) <= 0) break;
    return true;
  }

  OwnedFd listener_;
  OwnedFd stop_;
  int port_;
  std::vector<ServerScript> scripts_;
  std::chrono::milliseconds bound_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace qm::test
