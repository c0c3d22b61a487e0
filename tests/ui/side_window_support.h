// What the tests of the small windows beside the main window share: menu
// items reached from the keyboard, windows that come and go, the desktop's
// opener as the program sees it.
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/opener_recorder.h"
#include "ui/window_test_support.h"

namespace qm::test {

// The menus in menu-bar order, as F10 and the arrow keys reach them.
enum class Menu { File = 0, Edit = 1, Converter = 2, Help = 3 };

// Opens the `position`-th item (from 1, separators not counted) of a menu.
inline void menuItem(RunningWindow& window, Menu menu, int position) {
  keysInto(window, window.window(), {"F10"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (int i = 0; i < static_cast<int>(menu); ++i) window.xdotool({"key", "Right"});
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (int i = 0; i < position; ++i) window.xdotool({"key", "Down"});
  window.xdotool({"key", "Return"});
}

inline bool windowGone(const RunningWindow& window, const std::string& pattern,
                       std::chrono::milliseconds limit = std::chrono::seconds(15)) {
  return waitUntil(
      [&] {
        return !runTool({"xdotool", "search", "--onlyvisible", "--name", pattern}, window.display()).has_value();
      },
      limit, std::chrono::milliseconds(50));
}

inline std::string activeWindow(const RunningWindow& window) {
  auto active = runTool({"xdotool", "getactivewindow"}, window.display());
  return active ? active->substr(0, active->find('\n')) : std::string();
}

// A left click at a point of a window's inner area.
inline void clickAt(RunningWindow& window, const std::string& id, int x, int y) {
  const XGeometry g = RunningWindow::geometryOf(id, window.display());
  window.xdotool({"mousemove", "--sync", std::to_string(g.x + x), std::to_string(g.y + y)});
  window.xdotool({"click", "1"});
}

using OpenerCalls = std::vector<std::vector<std::string>>;

// The opener's calls once there are `count` of them (or the limit passed).
inline OpenerCalls callsWhen(const OpenerRecorder& opener, std::size_t count,
                             std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  OpenerCalls calls;
  waitUntil(
      [&] {
        calls = opener.calls();
        return calls.size() >= count;
      },
      limit, std::chrono::milliseconds(50));
  return calls;
}

}  // namespace qm::test
