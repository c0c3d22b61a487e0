// The progress record a worker thread (folder scan, list import,
// conversion) shares with the thread that started it, and its lock. The
// starter makes one for each run and lets it go after the worker has
// ended. Every field is read and written under the lock; the lock is held
// only for those few assignments, never during file work.
//
// The record is made to be polled: a window reads a snapshot every few
// milliseconds, takes the rows the worker queued for it (it may add rows to
// its list control only on its own thread) and learns from `finished` that
// the worker is done, apart from `running`, which is the stop request.
//
// A starter may also hold the worker: while held, the worker waits at the
// top of its loop, before its next entry, holding no lock. Window mode
// holds it while it asks whether to stop, after waiting for it to come to
// rest there.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace qm {

// A file the user named that could not be added, and why.
struct ImportRefusal {
  std::string path;
  std::string reason;
  bool operator==(const ImportRefusal&) const = default;
};

struct ProgressSnapshot {
  std::int32_t index = 0;
  std::string currentPath;
  std::int32_t savedCount = 0;
  bool running = false;
  bool finished = false;
};

class Progress {
 public:
  Progress() = default;
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Before a start: index 0, empty path, saved count 0, running, not
  // finished, no queued rows.
  void reset() {
    {
      std::lock_guard guard(lock_);
      record_ = ProgressSnapshot{};
      record_.running = true;
      rows_.clear();
      refusals_.clear();
    }
    std::lock_guard guard(holdLock_);
    ended_ = false;
  }

  ProgressSnapshot snapshot() const {
    std::lock_guard guard(lock_);
    return record_;
  }

  // The stop request; the worker sees it before its next entry.
  void requestStop() {
    std::lock_guard guard(lock_);
    record_.running = false;
  }

  bool running() const {
    std::lock_guard guard(lock_);
    return record_.running;
  }

  void setCurrent(std::int32_t index, const std::string& path) {
    std::lock_guard guard(lock_);
    record_.index = index;
    record_.currentPath = path;
  }

  void setIndex(std::int32_t index) {
    std::lock_guard guard(lock_);
    record_.index = index;
  }

  void setSavedCount(std::int32_t saved) {
    std::lock_guard guard(lock_);
    record_.savedCount = saved;
  }

  void addToSavedCount(std::int32_t added) {
    std::lock_guard guard(lock_);
    record_.savedCount += added;
  }

  std::int32_t savedCount() const {
    std::lock_guard guard(lock_);
    return record_.savedCount;
  }

  // Set by the worker's thread as its last act.
  void markFinished() {
    {
      std::lock_guard guard(lock_);
      record_.finished = true;
    }
    {
      std::lock_guard guard(holdLock_);
      ended_ = true;
    }
    restChanged_.notify_all();
  }

  bool finished() const {
    std::lock_guard guard(lock_);
    return record_.finished;
  }

  // Paths admitted by the worker, queued for the starter's thread.
  void queueRow(std::string path) {
    std::lock_guard guard(lock_);
    rows_.push_back(std::move(path));
  }

  // The rows queued since the last call, in admission order.
  std::vector<std::string> takeRows() {
    std::lock_guard guard(lock_);
    return std::exchange(rows_, {});
  }

  // Files the user named that an import could not add; the command line
  // names them, the window leaves them aside.
  void noteRefusal(std::string path, std::string reason) {
    std::lock_guard guard(lock_);
    refusals_.push_back({std::move(path), std::move(reason)});
  }

  std::vector<ImportRefusal> takeRefusals() {
    std::lock_guard guard(lock_);
    return std::exchange(refusals_, {});
  }

  void hold() {
    std::lock_guard guard(holdLock_);
    held_ = true;
  }

  void release() {
    {
      std::lock_guard guard(holdLock_);
      held_ = false;
      waiting_ = false;
    }
    heldChanged_.notify_all();
  }

  // Called by the worker at the top of its loop.
  void waitWhileHeld() {
    std::unique_lock guard(holdLock_);
    if (!held_) return;
    waiting_ = true;
    restChanged_.notify_all();
    heldChanged_.wait(guard, [this] { return !held_; });
    waiting_ = false;
  }

  // True while the worker sits in waitWhileHeld (for tests and for a
  // starter that wants to know the worker has come to rest).
  bool isWaiting() const {
    std::lock_guard guard(holdLock_);
    return waiting_;
  }

  // Waits at most `limit` for a held worker to come to rest in
  // waitWhileHeld, or for the worker to finish; false if neither happened.
  bool waitForRest(std::chrono::milliseconds limit) {
    std::unique_lock guard(holdLock_);
    return restChanged_.wait_for(guard, limit, [this] { return waiting_ || ended_; });
  }

 private:
  mutable std::mutex lock_;
  ProgressSnapshot record_;
  std::vector<std::string> rows_;
  std::vector<ImportRefusal> refusals_;

  mutable std::mutex holdLock_;
  std::condition_variable heldChanged_;  // the worker waits on it
  std::condition_variable restChanged_;  // the starter waits on it
  bool held_ = false;
  bool waiting_ = false;
  bool ended_ = false;  // markFinished, seen under holdLock_
};

}  // namespace qm
