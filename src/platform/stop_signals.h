// SIGINT, SIGTERM and SIGHUP turned into a stop request. While an owner
// lives, the three signals are blocked in the thread that made it (and in
// every thread it starts afterwards) and a watcher thread of its own
// waits for them and calls `onSignal` with each one. Make it before
// starting any other thread, so no thread is left where the default
// action would end the process in the middle of a write.
#pragma once

#include <signal.h>

#include <functional>
#include <thread>

#include "platform/file_descriptor.h"

namespace qm::platform {

class StopSignals {
 public:
  explicit StopSignals(std::function<void(int signal)> onSignal);
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  // Ends the watcher and restores the signal mask. A signal that came
  // after the last stop request stays pending and takes its default
  // action then.
  ~StopSignals();

 private:
  sigset_t previousMask_{};
  FileDescriptor signals_;
  FileDescriptor wake_;
  std::jthread watcher_;
};

// Ends the process at once the way `signal` ends it by default (the
// shell sees a death by that signal), whatever this process's mask and
// handlers say.
[[noreturn]] void endBySignal(int signal);

// From now on a write to a closed pipe fails with EPIPE instead of ending
// the process: a batch whose reader went away (`| head`) goes on. A
// handler rather than "ignore", so that programs started afterwards get
// the default action back.
void surviveClosedPipes();

}  // namespace qm::platform
