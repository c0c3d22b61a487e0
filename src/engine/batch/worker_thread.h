// Starting a worker procedure (folder scan, list import, conversion) on a
// thread of its own, and handing its admitted rows to the starter's thread.
#pragma once

#include <stop_token>
#include <thread>
#include <utility>

#include "engine/batch/input_list.h"
#include "engine/batch/progress.h"

namespace qm {

// Runs `procedure` on a new thread that marks the progress record finished
// as its last act. Dropping the returned owner stops the work the way a
// confirmed break does (the procedure ends before its next entry, and a
// hold is released so it can get there) and then waits for the thread.
template <typename Procedure>
std::jthread startWorkerThread(Progress& progress, Procedure procedure) {
  return std::jthread([&progress, procedure = std::move(procedure)](std::stop_token stop) mutable {
    std::stop_callback onStop(stop, [&progress] {
      progress.requestStop();
      progress.release();
    });
    procedure();
    progress.markFinished();
  });
}

// While it lives, every path the Input list admits is queued in the
// progress record, for a window to add as rows on its own thread.
class QueuedRows {
 public:
  QueuedRows(InputList& inputs, Progress& progress) : inputs_(inputs) {
    inputs_.setAdmitHook([&progress](const std::string& path) { progress.queueRow(path); });
  }
  QueuedRows(const QueuedRows&) = delete;
  QueuedRows& operator=(const QueuedRows&) = delete;
  ~QueuedRows() { inputs_.setAdmitHook(nullptr); }

 private:
  InputList& inputs_;
};

}  // namespace qm
