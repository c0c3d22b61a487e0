// Where the main window opens, how it keeps its controls in place while it
// is resized, what it refuses, and what it leaves in config.ini at exit.
#include <gtest/gtest.h>

#include <csignal>

#include "ui/window_test_support.h"

namespace qm::test {
namespace {

using namespace std::chrono_literals;

constexpr int kCentredX = (XvfbSession::kScreenWidth - 510) / 2;
constexpr int kCentredY = (XvfbSession::kScreenHeight - 330) / 2;

TEST(WindowGeometry, OpensWhereTheSettingsSayWithAndWithoutAWindowManager) {
  struct Case {
    const char* name;
    std::string settings;  // empty: no file at all
    int x, y, width, height;
  };
  const Case cases[] = {
      {"fresh start", "", kCentredX, kCentredY, 510, 330},
      {"no Window keys", settingsFile(""), 100, 100, 510, 330},
      {"stored geometry", settingsFile(windowKeys(150, 120, 700, 450)), 150, 120, 700, 450},
  };
  for (WindowManager manager : {WindowManager::None, WindowManager::Openbox}) {
    const XvfbSession& session = sharedXvfbSession(manager);
    QM_REQUIRE_DISPLAY(session);
    for (const Case& c : cases) {
      const std::string label = std::string(c.name) + (session.hasWindowManager() ? " with" : " without") + " manager";
      RunningWindow window(session, {{}, {}, c.settings});
      ASSERT_FALSE(window.waitForWindow().empty()) << label << "\n" << window.output();
      const XGeometry g = window.geometry();
      EXPECT_EQ(g.outerX(), c.x) << label;
      EXPECT_EQ(g.outerY(), c.y) << label;
      EXPECT_EQ(g.width, c.width) << label;
      EXPECT_EQ(g.height, c.height) << label;
      // The window's own view agrees with the X server's.
      const WindowState state = window.state();
      EXPECT_EQ(state.pair("inner"), std::make_pair(c.width, c.height)) << label;
      EXPECT_EQ(state.pair("position"), std::make_pair(c.x, c.y)) << label;
      EXPECT_EQ(state.value("title"), "Quillmark 2.5") << label;
      keepShot(window, std::string("geometry-") + (session.hasWindowManager() ? "wm-" : "") + std::to_string(c.x));

      // Quitting untouched writes what it opened with.
      EXPECT_EQ(window.quit(), 0) << label;
      EXPECT_EQ(settingsNumber(window, "Window", "X"), c.x) << label;
      EXPECT_EQ(settingsNumber(window, "Window", "Y"), c.y) << label;
      EXPECT_EQ(settingsNumber(window, "Window", "Width"), c.width) << label;
      EXPECT_EQ(settingsNumber(window, "Window", "Height"), c.height) << label;
      EXPECT_EQ(settingsNumber(window, "Window", "IsMaximized"), 0) << label;
    }
  }
}

TEST(WindowGeometry, RefusesToShrinkBelowItsMinimum) {
  for (WindowManager manager : {WindowManager::Openbox, WindowManager::None}) {
    const XvfbSession& session = sharedXvfbSession(manager);
    QM_REQUIRE_DISPLAY(session);
    const std::string label = session.hasWindowManager() ? "with manager" : "without manager";
    RunningWindow window(session, {{}, {}, settingsFile(windowKeys(100, 100, 700, 500))});
    ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
    window.xdotool({"windowsize", "--sync", window.window(), "300", "200"});
    // Whatever the size asked for, the window settles at its minimum.
    EXPECT_TRUE(waitUntil(
        [&] {
          const XGeometry g = window.geometry();
          return g.width == 510 && g.height == 330;
        },
        10s))
        << label << ": " << window.geometry().width << "x" << window.geometry().height;
    EXPECT_EQ(window.state().pair("inner"), std::make_pair(510, 330)) << label;
    EXPECT_EQ(window.quit(), 0);
    EXPECT_EQ(settingsNumber(window, "Window", "Width"), 510) << label;
    EXPECT_EQ(settingsNumber(window, "Window", "Height"), 330) << label;
  }
}

// Every control at its place for the inner size W x H, measured from the
// toolkit's real placement: the controls sit in a container right below
// the menu bar and the toolbar, B = H - menu bar - toolbar - status bar.
void expectLayout(const WindowState& state, int width, int height, const std::string& label) {
  const Box menu = state.box("menubar");
  const Box tools = state.box("toolbar");
  const Box status = state.box("statusbar");
  EXPECT_EQ(menu.y, 0) << label;
  EXPECT_EQ(tools.y, menu.bottom()) << label;
  EXPECT_EQ(status.bottom(), height) << label;
  const int b = height - menu.height - tools.height - status.height;
  const int top = menu.height + tools.height;  // the container's top in the window

  struct Expected {
    const char* key;
    int x, y, width, height;  // height -1: the toolkit's own, at least `minimum`
    int minimum;
  };
  const Expected expected[] = {
      {"container", 0, top, width, b - 10, 0},
      {"list", 10, top + 10, width - 130, b - 109, 0},
      {"folderLabel", 10, top + b - 94, 380, 20, 0},
      {"folderSelector", 10, top + b - 79, width - 130, -1, 21},
      {"folderButton", width - 114, top + b - 80, 24, 24, 0},
      {"formatLabel", 10, top + b - 54, 380, 20, 0},
      {"formatSelector", 10, top + b - 39, width - 130, -1, 21},
      {"formatButton", width - 114, top + b - 40, 24, 24, 0},
      {"convertButton", width - 110, top + 10, 100, 100, 0},
  };
  for (const Expected& e : expected) {
    const Box box = state.box(e.key);
    const std::string where = label + " " + e.key;
    EXPECT_EQ(box.x, e.x) << where;
    EXPECT_EQ(box.y, e.y) << where;
    EXPECT_EQ(box.width, e.width) << where;
    if (e.height >= 0)
      EXPECT_EQ(box.height, e.height) << where;
    else
      EXPECT_GE(box.height, e.minimum) << where;
    // Nothing is squeezed below what it needs to be drawn whole.
    EXPECT_GE(box.width, box.minimumWidth) << where;
    EXPECT_GE(box.height, box.minimumHeight) << where;
  }
  EXPECT_EQ(state.number("column"), width - 160) << label;

  // Nothing overlaps what is drawn below or beside it: each selector ends
  // above the next label's text, the list above the first label, the
  // controls inside the container.
  const Box list = state.box("list");
  const Box folderSelector = state.box("folderSelector");
  const Box formatSelector = state.box("formatSelector");
  const Box formatLabel = state.box("formatLabel");
  const Box container = state.box("container");
  EXPECT_LE(list.bottom(), state.box("folderLabel").y) << label;
  EXPECT_LE(folderSelector.bottom(), formatLabel.y) << label;
  EXPECT_LE(formatSelector.bottom(), container.bottom()) << label;
  EXPECT_LE(state.box("folderLabel").y + state.number("folderLabelInk"), folderSelector.y) << label;
  EXPECT_LE(formatLabel.y + state.number("formatLabelInk"), formatSelector.y) << label;
  EXPECT_LE(list.right(), state.box("convertButton").x) << label;
  EXPECT_LE(folderSelector.right(), state.box("folderButton").x) << label;
  EXPECT_LE(formatSelector.right(), state.box("formatButton").x) << label;
}

TEST(WindowGeometry, ControlsFollowEveryResize) {
  const XvfbSession& session = sharedXvfbSession();
  QM_REQUIRE_DISPLAY(session);
  RunningWindow window(session, {{}, {}, settingsFile(windowKeys(20, 20, 510, 330))});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  expectLayout(window.state(), 510, 330, "510x330");
  const std::pair<int, int> sizes[] = {{800, 600}, {1200, 400}, {520, 900}, {511, 331}, {640, 480}};
  for (const auto& [width, height] : sizes) {
    const std::string label = std::to_string(width) + "x" + std::to_string(height);
    window.xdotool({"windowsize", "--sync", window.window(), std::to_string(width), std::to_string(height)});
    ASSERT_TRUE(waitUntil(
        [&] {
          const WindowState s = window.state();
          return s.pair("inner") == std::make_pair(width, height) && s.box("container").width == width;
        },
        10s))
        << label;
    expectLayout(window.state(), width, height, label);
    keepShot(window, "resize-" + label);
  }
  EXPECT_EQ(window.quit(), 0);
}

TEST(WindowGeometry, ExitKeepsOrMarksTheGeometryByTheWindowsState) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  ASSERT_TRUE(session.hasWindowManager());
  const std::string stored = settingsFile(windowKeys(120, 130, 600, 400));

  {
    // A normal window stores where it was moved and how it was sized.
    RunningWindow window(session, {{}, {}, stored});
    ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
    window.xdotool({"windowsize", "--sync", window.window(), "700", "420"});
    window.xdotool({"windowmove", "--sync", window.window(), "200", "210"});
    ASSERT_TRUE(waitUntil([&] { return window.state().pair("inner") == std::make_pair(700, 420); }, 10s));
    const XGeometry g = window.geometry();
    EXPECT_EQ(window.quit(), 0);
    EXPECT_EQ(settingsNumber(window, "Window", "IsMaximized"), 0);
    EXPECT_EQ(settingsNumber(window, "Window", "X"), g.outerX());
    EXPECT_EQ(settingsNumber(window, "Window", "Y"), g.outerY());
    EXPECT_EQ(settingsNumber(window, "Window", "Width"), 700);
    EXPECT_EQ(settingsNumber(window, "Window", "Height"), 420);
  }
  {
    // A maximised one only marks itself so; the rest stays as it was.
    RunningWindow window(session, {{}, {}, stored});
    ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
    runTool({"wmctrl", "-i", "-r", window.window(), "-b", "add,maximized_vert,maximized_horz"}, session.display());
    ASSERT_TRUE(waitUntil([&] { return window.state().number("maximized") == 1; }, 10s));
    keepShot(window, "maximised");
    EXPECT_EQ(window.quit(), 0);
    EXPECT_EQ(settingsNumber(window, "Window", "IsMaximized"), 1);
    EXPECT_EQ(settingsNumber(window, "Window", "X"), 120);
    EXPECT_EQ(settingsNumber(window, "Window", "Y"), 130);
    EXPECT_EQ(settingsNumber(window, "Window", "Width"), 600);
    EXPECT_EQ(settingsNumber(window, "Window", "Height"), 400);
  }
  {
    // A minimised one changes nothing, even after a move; it is closed
    // through the window manager, as from a task bar.
    RunningWindow window(session, {{}, {}, stored});
    ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
    window.xdotool({"windowmove", "--sync", window.window(), "300", "310"});
    window.xdotool({"windowminimize", "--sync", window.window()});
    ASSERT_TRUE(waitUntil([&] { return window.state().number("iconized") == 1; }, 10s));
    runTool({"wmctrl", "-i", "-c", window.window()}, session.display());
    EXPECT_EQ(window.waitForExit(30s), 0);
    EXPECT_EQ(settingsNumber(window, "Window", "IsMaximized"), 0);
    EXPECT_EQ(settingsNumber(window, "Window", "X"), 120);
    EXPECT_EQ(settingsNumber(window, "Window", "Y"), 130);
    EXPECT_EQ(settingsNumber(window, "Window", "Width"), 600);
    EXPECT_EQ(settingsNumber(window, "Window", "Height"), 400);
  }
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    // A stop signal closes the window as its close box does.
    RunningWindow window(session, {{}, {}, stored});
    ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
    window.xdotool({"windowsize", "--sync", window.window(), "640", "410"});
    ASSERT_TRUE(waitUntil([&] { return window.state().pair("inner") == std::make_pair(640, 410); }, 10s));
    ASSERT_TRUE(window.sendSignal(signal));
    EXPECT_EQ(window.waitForExit(30s), 0) << "signal " << signal;
    EXPECT_EQ(settingsNumber(window, "Window", "Width"), 640) << "signal " << signal;
    EXPECT_EQ(settingsNumber(window, "Window", "Height"), 410) << "signal " << signal;
  }
}

}  // namespace
}  // namespace qm::test
