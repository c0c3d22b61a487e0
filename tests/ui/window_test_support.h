// What the window tests share: the settings files they start from, the
// shots they leave for a person to look at, and a skip when the machine
// has no X server to test with.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "ui/window_driver.h"

namespace qm::test {

// A settings file with the given lines added to its groups; Update Range 5
// ("never") keeps the scheduled update check from asking anything.
inline std::string settingsFile(const std::string& window, const std::string& interface = {},
                                const std::string& output = {}) {
  std::string text = "\xEF\xBB\xBF\r\n[General]\r\nCFG = 17\r\nUpdate Range = 5\r\nSave Window Position = 1\r\n";
  if (!window.empty()) text += "[Window]\r\n" + window;
  text += "[Interface]\r\n" + (interface.empty() ? std::string("UI Theme = handdrawn\r\nUI Size = 2\r\n") : interface);
  if (!output.empty()) text += "[Output]\r\n" + output;
  return text;
}

inline std::string windowKeys(int x, int y, int width, int height, int maximized = 0) {
  return "IsMaximized = " + std::to_string(maximized) + "\r\nWidth = " + std::to_string(width) +
         "\r\nHeight = " + std::to_string(height) + "\r\nX = " + std::to_string(x) + "\r\nY = " + std::to_string(y) +
         "\r\n";
}

// The id of the first visible window whose title matches, once shown.
inline std::string windowTitled(const RunningWindow& window, const std::string& pattern,
                                std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  std::string id;
  waitUntil(
      [&] {
        auto found = runTool({"xdotool", "search", "--onlyvisible", "--name", pattern}, window.display());
        if (found && !found->empty()) id = found->substr(0, found->find('\n'));
        return !id.empty();
      },
      limit, std::chrono::milliseconds(50));
  return id;
}

// Polls the window's state until `holds` is true; the last state read.
inline WindowState stateWhen(RunningWindow& window, const std::function<bool(const WindowState&)>& holds,
                             std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  WindowState state("");
  waitUntil(
      [&] {
        state = window.state();
        return holds(state);
      },
      limit, std::chrono::milliseconds(30));
  return state;
}

// Keys pressed in the window the window manager makes active.
inline void keysInto(RunningWindow& window, const std::string& id, const std::vector<std::string>& keys) {
  window.xdotool({"windowactivate", "--sync", id});
  for (const std::string& key : keys) window.xdotool({"key", "--clearmodifiers", key});
}

// Screen shots go to the folder QM_WINDOW_SHOTS names, when it does.
inline void keepShot(const RunningWindow& window, const std::string& name) {
  const char* folder = std::getenv("QM_WINDOW_SHOTS");
  if (folder && *folder) window.screenshot(std::string(folder) + "/" + name + ".png");
}

inline int settingsNumber(const RunningWindow& window, const std::string& group, const std::string& key) {
  auto value = iniValue(window.settingsText(), group, key);
  return value ? std::stoi(*value) : -1;
}

#define QM_REQUIRE_DISPLAY(session) ASSERT_FALSE((session).display().empty()) << "Xvfb did not start"

}  // namespace qm::test
