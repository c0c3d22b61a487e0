// The live progress line of a command-line run on a terminal: how many
// files are done of how many, the time gone and the time left, and the
// file the run waits for. The run shows it only when stderr is a terminal
// and it is neither quiet nor in debug mode, so nothing of it reaches a
// pipe, a file or a script.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace qm {

namespace platform {
class Console;
}

// "3 of 12, 0:04, about 0:12 left: /in/…/doc.psd" in at most `columns` - 1
// characters (the last column would wrap): the path loses its middle
// first. No estimate before the first file is done.
std::string progressLineText(int done, int total, std::chrono::seconds elapsed, std::string_view path, int columns);

// Shows the line `text` gives (for the terminal's width) at once and a few
// times a second on a thread of its own, and removes it when it goes.
class LiveProgress {
 public:
  LiveProgress(platform::Console& console, std::function<std::string(int columns)> text);
  LiveProgress(const LiveProgress&) = delete;
  LiveProgress& operator=(const LiveProgress&) = delete;
  ~LiveProgress();

  // Draws the line now (after a file, say); from any thread.
  void redraw();

 private:
  platform::Console& console_;
  std::function<std::string(int columns)> text_;
  std::mutex lock_;
  std::condition_variable_any wake_;
  std::jthread ticker_;
};

}  // namespace qm
