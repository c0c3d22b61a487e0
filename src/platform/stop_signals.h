// SIGINT and SIGTERM turned into a stop request. While an owner lives,
// both signals are blocked in the thread that made it (and in every
// thread it starts afterwards) and a watcher thread of its own waits for
// them and calls `onSignal` once per signal. Make it before starting any
// other thread, so no thread is left where the default action would end
// the process in the middle of a write.
#pragma once

#include <signal.h>

#include <functional>
#include <thread>

#include "platform/file_descriptor.h"

namespace qm::platform {

class StopSignals {
 public:
  explicit StopSignals(std::function<void()> onSignal);
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

}  // namespace qm::platform
