// Drives the real program's main window on a test display: starts it with
// its own settings folder and test hooks, waits for its window, sends keys
// and mouse through xdotool, reads the window's geometry through the X
// tools and the window's own state through the hooks, and ends it.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "ui/child_process.h"
#include "ui/xvfb_session.h"

namespace qm::test {

struct Box {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int minimumWidth = 0;  // what the toolkit needs at least
  int minimumHeight = 0;
  int right() const { return x + width; }
  int bottom() const { return y + height; }
};

// The window's state as the hooks report it: "key=value" lines; a key may
// repeat (menu items, rows).
class WindowState {
 public:
  explicit WindowState(const std::string& text);
  std::string value(const std::string& key) const;  // the first; empty when missing
  std::vector<std::string> values(const std::string& key) const;
  int number(const std::string& key) const;
  Box box(const std::string& key) const;
  std::pair<int, int> pair(const std::string& key) const;

 private:
  std::vector<std::pair<std::string, std::string>> lines_;
};

// The X-level view of a top-level window.
struct XGeometry {
  int x = 0;  // of the inner area on the screen
  int y = 0;
  int width = 0;  // inner size
  int height = 0;
  // The window manager's frame around it (left, right, top, bottom).
  int frameLeft = 0;
  int frameRight = 0;
  int frameTop = 0;
  int frameBottom = 0;
  int outerX() const { return x - frameLeft; }
  int outerY() const { return y - frameTop; }
};

struct WindowRun {
  std::vector<std::string> arguments;
  // The program to run; the built one when empty. A copy in a folder of
  // its own sees that folder's gfx/ themes.
  std::string program;
  // config.ini written before the start; none when empty.
  std::string settingsFile;
  // "NAME=value" entries that replace the driver's own (QUILLMARK_SITE).
  std::vector<std::string> environment = {};
};

class RunningWindow {
 public:
  RunningWindow(const XvfbSession& session, const WindowRun& run);
  RunningWindow(const RunningWindow&) = delete;
  RunningWindow& operator=(const RunningWindow&) = delete;
  ~RunningWindow();

  // The main window's X id, once it is mapped; empty when it never came.
  std::string waitForWindow(std::chrono::milliseconds limit = std::chrono::seconds(60));
  const std::string& window() const { return window_; }

  // A hook command and its reply; empty when no reply came in time.
  std::string command(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(30));
  WindowState state();

  XGeometry geometry() const { return geometryOf(window_, display_); }
  static XGeometry geometryOf(const std::string& window, const std::string& display);
  // xdotool with the given arguments; true when it succeeded.
  bool xdotool(const std::vector<std::string>& arguments) const;
  // Keys to the focused window, the pointer first moved over the window so
  // that keyboard focus follows it even without a window manager.
  bool keys(const std::string& keys) const;
  // A PNG of the whole screen.
  bool screenshot(const std::string& path) const;

  // Exit through the window's own Exit shortcut, then the exit code.
  std::optional<int> quit(std::chrono::milliseconds limit = std::chrono::seconds(30));
  std::optional<int> waitForExit(std::chrono::milliseconds limit);
  // Sends `signal` to the program; true when it was sent.
  bool sendSignal(int signal) const;
  std::string output() const;  // stdout and stderr so far

  const std::string& settingsPath() const { return settingsPath_; }
  std::string settingsText() const;
  const std::string& display() const { return display_; }
  // XDG_RUNTIME_DIR of the window: where its lock lies.
  std::string runtimeFolder() const { return folder_ / "runtime"; }

 private:
  std::string display_;
  TempFolder folder_;
  std::string hooks_;
  std::string settingsPath_;
  std::string window_;
  std::unique_ptr<ChildProcess> process_;
};

// The value of a key in a group of an INI text; nothing when missing.
std::optional<std::string> iniValue(const std::string& text, const std::string& group, const std::string& key);

// A copy of the built program in a folder of its own (so that its gfx/
// folder holds only what a test puts there); its path.
std::string programCopy(const TempFolder& folder);

}  // namespace qm::test
