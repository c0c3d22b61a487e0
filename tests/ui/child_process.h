// A process the window tests start and must end again: the X server, the
// window manager, the program under test. Ending the owner ends the
// process (politely first), so a failed test leaves nothing running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qm::test {

class ChildProcess {
 public:
  // Starts `arguments[0]` (a path, or a name looked up in PATH) with the
  // test's environment, changed by `setEnvironment` ("NAME=value", replacing
  // NAME) and `unsetEnvironment` (names). Output goes to `outputFile` when
  // given, else nowhere. `keepDescriptor` stays open in the child under its
  // own number.
  struct Options {
    std::vector<std::string> setEnvironment;
    std::vector<std::string> unsetEnvironment;
    std::string outputFile;
    int keepDescriptor = -1;
  };
  ChildProcess(const std::vector<std::string>& arguments, const Options& options);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  pid_t pid() const { return pid_; }
  bool running();
  // The exit code once the process has ended within `limit` (-1 when it
  // ended by a signal); nothing when it still runs.
  std::optional<int> waitForExit(std::chrono::milliseconds limit);
  // SIGTERM, then SIGKILL when it has not gone within a second.
  void stop();

 private:
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

// Waits for a condition, checking every `every` until `limit` has passed;
// true as soon as it holds.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit,
               std::chrono::milliseconds every = std::chrono::milliseconds(20));

// Runs a tool to its end on the given display; its stdout, or nothing when
// it failed.
std::optional<std::string> runTool(const std::vector<std::string>& arguments, const std::string& display);

}  // namespace qm::test

#include "ui/child_process_inl.h"
