#include "platform/shell.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace qm::platform {

namespace {

// Desktop openers hand the target over and end at once. Without a desktop,
// xdg-open may run the browser itself and end only when it does; the
// window must not freeze for that long, so after this grace the opener is
// left to a thread that only reaps it.
constexpr auto kOpenerGrace = std::chrono::seconds(2);
constexpr auto kOpenerPoll = std::chrono::milliseconds(5);

bool reaped(pid_t pid) {
  int status = 0;
  const pid_t done = waitpid(pid, &status, WNOHANG);
  return done != 0 && !(done < 0 && errno == EINTR);
}

}  // namespace

void shellOpen(const std::string& target) {
  std::string program = "xdg-open";
  std::string argument = target;
  char* argv[] = {program.data(), argument.data(), nullptr};
  // The opener (and a browser it may run) gets the signals the window
  // blocks for its own stop requests back, with their default actions.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t stops;
  sigemptyset(&stops);
  for (int stop : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&stops, stop);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &stops);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "xdg-open", nullptr, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) return;
  const auto deadline = std::chrono::steady_clock::now() + kOpenerGrace;
  while (!reaped(pid)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
      }).detach();
      return;
    }
    std::this_thread::sleep_for(kOpenerPoll);
  }
}

}  // namespace qm::platform
