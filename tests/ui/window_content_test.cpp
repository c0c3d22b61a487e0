// What the main window offers and how it reacts: menus, toolbar, drops,
// the list's keys, theme changes, message boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "canvas/picture.h"
#include "support/picture_files.h"
#include "support/program_runner.h"
#include "themes/theme_packages.h"
#include "ui/side_window_support.h"
#include "ui/theme_test_support.h"
#include "ui/window_test_support.h"

namespace qm::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The menus as a user reads them: command, text and shortcut text per
// line, icons aside.
std::vector<std::string> withoutIcons(const std::vector<std::string>& items) {
  std::vector<std::string> lines;
  for (const std::string& item : items) {
    if (item == "-") {
      lines.push_back(item);
      continue;
    }
    const auto third = item.find('|', item.find('|', item.find('|') + 1) + 1);
    lines.push_back(item.substr(0, third));
  }
  return lines;
}

TEST(WindowContent, MenusShowTheirTextsShortcutsAndIconsInOrder) {
  const XvfbSession& session = sharedXvfbSession();
  QM_REQUIRE_DISPLAY(session);
  RunningWindow window(session, {});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const WindowState state = window.state();
  EXPECT_EQ(state.values("menu"), (std::vector<std::string>{"File", "Edit", "Converter", "Help"}));
  const std::vector<std::string> expected = {
      "0|New|Ctrl+N", "-", "4|Add Input Files...|", "7|Select Output Folder...|", "-", "9|Import Files...|",
      "10|Export Files...|", "-", "3|Exit|Alt+X",
      // Edit
      "11|Copy|Ctrl+C", "12|Delete|Ctrl+Del", "-", "13|Select All|Ctrl+A",
      // Converter
      "14|Convert|F5", "-", "16|Find a File Converter...|", "-", "17|Preferences...|",
      // Help
      "18|User Manual...|F1", "-", "21|Send Feedback|", "22|Visit the Program's Homepage|",
      "23|Check For a New Version|", "-", "24|About...|"};
  EXPECT_EQ(withoutIcons(state.values("item")), expected);
  EXPECT_EQ(withoutIcons(state.values("popup")),
            (std::vector<std::string>{"11|Copy|Ctrl+C", "12|Delete|Ctrl+Del", "-", "13|Select All|Ctrl+A"}));
  // Every item carries a 16-pixel icon, and items of different commands
  // different ones.
  std::vector<std::string> icons;
  for (const std::string& item : state.values("item")) {
    if (item == "-") continue;
    const std::string icon = item.substr(item.rfind('|') + 1);
    EXPECT_EQ(icon.substr(0, 6), "16x16 ") << item;
    icons.push_back(icon);
  }
  std::sort(icons.begin(), icons.end());
  EXPECT_EQ(std::unique(icons.begin(), icons.end()), icons.end());

  // Mnemonics: the texts read the same, a letter of each underlined.
  EXPECT_EQ(state.values("menuLabel"), (std::vector<std::string>{"&File", "&Edit", "&Converter", "&Help"}));
  EXPECT_EQ(
      state.values("itemLabel"),
      (std::vector<std::string>{"&New", "&Add Input Files...", "Select &Output Folder...", "&Import Files...",
                                "&Export Files...", "E&xit", "&Copy", "&Delete", "Select &All", "&Convert",
                                "&Find a File Converter...", "&Preferences...", "&User Manual...", "Send &Feedback",
                                "&Visit the Program's Homepage", "Check For a &New Version", "&About..."}));

  EXPECT_EQ(state.value("columnTitle"), "Filename");
  EXPECT_EQ(state.value("status"), "Ready");
  EXPECT_EQ(state.number("formatItems"), 23);
  EXPECT_EQ(state.value("formatText"), "BMP (Windows or OS/2 Bitmap)");
  EXPECT_EQ(state.value("folderText"), "");
  EXPECT_EQ(state.value("folderTool").substr(0, 26), "7|Select Output Folder...|");
  EXPECT_EQ(state.value("formatTool").substr(0, 13), "8|Options...|");
  EXPECT_EQ(state.value("convertImage").substr(0, 5), "64x64");
  keepShot(window, "main-window");

  // Alt and a menu's letter open it; the item's letter runs the item.
  window.keys("alt+h");
  std::this_thread::sleep_for(300ms);
  keepShot(window, "help-menu");
  window.xdotool({"key", "a"});
  const std::string about = windowTitled(window, "^About\\.\\.\\.$");
  EXPECT_FALSE(about.empty()) << "Alt+H, A did not open About";
  if (!about.empty()) window.xdotool({"key", "Escape"});
  EXPECT_EQ(window.quit(), 0);
}

TEST(WindowContent, ToolbarIconsFollowTheIconSize) {
  const XvfbSession& session = sharedXvfbSession();
  QM_REQUIRE_DISPLAY(session);
  const std::vector<std::string> tooltips = {"0|New",
                                             "4|Add Input Files...",
                                             "7|Select Output Folder...",
                                             "-",
                                             "17|Preferences...",
                                             "-",
                                             "14|Convert",
                                             "-",
                                             "18|User Manual...",
                                             "21|Send Feedback",
                                             "22|Visit the Program's Homepage",
                                             "23|Check For a New Version"};
  const std::pair<int, int> codes[] = {{0, 16}, {1, 24}, {2, 32}, {3, 48}, {4, 64}, {9, 16}};
  std::map<int, int> toolbarHeights;  // by icon size code
  for (const auto& [code, side] : codes) {
    const std::string label = "UI Size " + std::to_string(code);
    RunningWindow window(
        session, {{}, {}, settingsFile("", "UI Theme = handdrawn\r\nUI Size = " + std::to_string(code) + "\r\n")});
    ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
    const WindowState state = window.state();
    EXPECT_EQ(state.pair("toolBitmap"), std::make_pair(side, side)) << label;
    std::vector<std::string> tools;
    for (const std::string& tool : state.values("tool")) {
      if (tool == "-") {
        tools.push_back(tool);
        continue;
      }
      tools.push_back(tool.substr(0, tool.rfind('|')));
      const std::string size = std::to_string(side) + "x" + std::to_string(side) + " ";
      EXPECT_EQ(tool.substr(tool.rfind('|') + 1, size.size()), size) << label << " " << tool;
    }
    EXPECT_EQ(tools, tooltips) << label;
    // Every tool in reach at the narrowest the window can be: it grows
    // with its toolbar.
    EXPECT_EQ(state.number("toolsShown"), 9) << label;
    EXPECT_EQ(state.pair("inner").first, std::max(510, state.number("minimumWidth"))) << label;
    toolbarHeights[code] = state.box("toolbar").height;
    EXPECT_GT(toolbarHeights[code], side) << label;
    keepShot(window, "toolbar-size-" + std::to_string(code));
    EXPECT_EQ(window.quit(), 0) << label;
  }
  // The toolbar grows with its icons, by exactly their growth once they
  // are taller than the desktop's smallest button (which holds 24 pixels).
  EXPECT_EQ(toolbarHeights[9], toolbarHeights[0]);
  EXPECT_GE(toolbarHeights[1], toolbarHeights[0]);
  EXPECT_EQ(toolbarHeights[2] - toolbarHeights[1], 32 - 24);
  EXPECT_EQ(toolbarHeights[3] - toolbarHeights[2], 48 - 32);
  EXPECT_EQ(toolbarHeights[4] - toolbarHeights[3], 64 - 48);
}

TEST(WindowContent, ToolbarWithoutAThemeShowsTheBuiltInIconsAtTheirSize) {
  const XvfbSession& session = sharedXvfbSession();
  QM_REQUIRE_DISPLAY(session);
  TempFolder bare;
  RunningWindow window(session, {{}, programCopy(bare), settingsFile("", "UI Theme = handdrawn\r\nUI Size = 3\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const WindowState state = window.state();
  // 48-pixel slots, each holding the built-in 16-pixel picture: the same
  // picture the menu shows, unscaled, centred in the slot.
  EXPECT_EQ(state.pair("toolBitmap"), std::make_pair(48, 48));
  EXPECT_NE(state.value("tool"), "");
  keepShot(window, "toolbar-builtin-48");
  EXPECT_EQ(window.quit(), 0);
}

// The rows in the order the list shows them.
std::vector<std::string> rows(const WindowState& state) { return state.values("row"); }

TEST(WindowContent, DropsAdmitFoldersAndFilesInDropOrder) {
  const XvfbSession& session = sharedXvfbSession();
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string a = data.write("photos/a.psd", "x");
  const std::string b = data.write("photos/deeper/b.psd", "x");
  data.write("photos/notes.txt", "x");
  const std::string two = data.write("two.psd", "x");
  const std::string one = data.write("one.psd", "x");
  data.write("empty.psd", "");

  RunningWindow window(session, {});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  // The folder without its trailing "/", then two files against their name
  // order, and files the list refuses.
  EXPECT_EQ(window.command("drop\n" + data / "photos" + "\n" + two + "\n" + one + "\n" + data / "empty.psd"), "done\n");
  WindowState state = window.state();
  std::vector<std::string> shown = rows(state);
  ASSERT_EQ(shown.size(), 4u) << window.command("state");
  std::vector<std::string> fromFolder(shown.begin(), shown.begin() + 2);
  std::sort(fromFolder.begin(), fromFolder.end());
  EXPECT_EQ(fromFolder, (std::vector<std::string>{a, b}));
  EXPECT_EQ(shown[2], two);
  EXPECT_EQ(shown[3], one);
  EXPECT_EQ(state.value("status"), "Import complete, new files added: 2");
  // The first row filled the empty output folder with the folder dropped.
  EXPECT_EQ(state.value("folderText"), data.str() + "photos/");
  EXPECT_EQ(state.value("outputFolder"), data.str() + "photos/");

  // The same folder with its trailing "/" is the same folder: nothing new.
  EXPECT_EQ(window.command("drop\n" + data.str() + "photos/\n" + one), "done\n");
  state = window.state();
  EXPECT_EQ(rows(state).size(), 4u);
  EXPECT_EQ(state.value("status"), "Import complete, new files added: 0");
  keepShot(window, "after-drop");

  // New empties the list and the output folder's text again.
  window.keys("ctrl+n");
  ASSERT_TRUE(waitUntil([&] { return window.state().number("rows") == 0; }, 10s));
  EXPECT_EQ(window.state().value("folderText"), "");
  EXPECT_EQ(window.quit(), 0);
  // The folder the drop filled in is remembered as a recent output folder.
  EXPECT_EQ(iniValue(window.settingsText(), "File", "Recent Out Folders"), data.str() + "photos/");
}

// What a desktop's "Open with" does: documents and a folder as parameters,
// without an input option. They arrive as a drop of them would.
TEST(WindowContent, DocumentsAndAFolderGivenAsParametersAreInTheListAtStart) {
  const XvfbSession& session = sharedXvfbSession();
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const fs::path samples = fs::path(QM_SOURCE_DIR) / "samples";
  const std::string sunset = data / "sunset.psd";
  const std::string ramp = data / "grey-ramp.psd";
  fs::copy_file(samples / "sunset.psd", sunset);
  fs::copy_file(samples / "grey-ramp.psd", ramp);
  data.makeFolder("batch/nested");
  fs::copy_file(samples / "badge-alpha.psd", data / "batch/badge-alpha.psd");
  fs::copy_file(samples / "deep-16bit.psd", data / "batch/nested/deep-16bit.psd");
  data.write("batch/notes.txt", "x");

  WindowRun run;
  run.arguments = {ramp, sunset, data / "batch", data / "missing.psd", "--jpg-quality=50"};
  RunningWindow window(session, run);
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  ASSERT_TRUE(waitUntil([&] { return rows(window.state()).size() == 4; }, 20s)) << window.command("state");
  // The folder's import dialog shows its final state for a moment.
  const WindowState state = stateWhen(window, [](const WindowState& s) { return s.value("dialogTitle").empty(); });
  const std::vector<std::string> shown = rows(state);
  EXPECT_EQ(shown[0], ramp);
  EXPECT_EQ(shown[1], sunset);
  std::vector<std::string> fromFolder(shown.begin() + 2, shown.end());
  std::sort(fromFolder.begin(), fromFolder.end());
  EXPECT_EQ(fromFolder,
            (std::vector<std::string>{data / "batch/badge-alpha.psd", data / "batch/nested/deep-16bit.psd"}));
  EXPECT_EQ(state.value("status"), "Import complete, new files added: 2");
  // The first document filled the empty output folder with its own folder.
  EXPECT_EQ(state.value("folderText"), data.str());
  keepShot(window, "started-with-parameters");
  EXPECT_EQ(window.quit(), 0);
  // An option without an input changes nothing that is kept.
  EXPECT_NE(iniValue(window.settingsText(), "Output", "JPG Quality"), "50");
}

std::vector<std::string> selectedRows(const WindowState& state) { return state.values("selected"); }

TEST(WindowContent, ListKeysAreDeadUntilTheListHasHadAnEvent) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string one = data.write("one.psd", "x");
  const std::string two = data.write("two.psd", "x");
  RunningWindow window(session, {});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  ASSERT_EQ(window.command("drop\n" + one + "\n" + two), "done\n");
  ASSERT_EQ(window.state().value("focus"), "list");

  // The list has the focus but has had no event of its own yet: the keys
  // do nothing (and the first of them is the list's first event).
  window.keys("ctrl+a");
  window.keys("ctrl+Delete");
  WindowState state = window.state();
  EXPECT_EQ(rows(state).size(), 2u);
  EXPECT_TRUE(selectedRows(state).empty());

  // From now on they act on the list.
  window.keys("ctrl+a");
  ASSERT_TRUE(waitUntil([&] { return selectedRows(window.state()).size() == 2; }, 10s));
  window.keys("ctrl+c");
  std::optional<std::string> clipboard;
  waitUntil(
      [&] {
        clipboard = runTool({"xclip", "-o", "-selection", "clipboard"}, session.display());
        return clipboard.has_value();
      },
      10s);
  EXPECT_EQ(clipboard, one + "\r\n" + two);

  // Only while the list has the focus: in the format selector they do
  // nothing.
  window.keys("Tab");
  ASSERT_TRUE(waitUntil([&] { return window.state().value("focus") != "list"; }, 10s));
  window.keys("ctrl+Delete");
  EXPECT_EQ(rows(window.state()).size(), 2u);
  window.keys("shift+Tab");
  ASSERT_TRUE(waitUntil([&] { return window.state().value("focus") == "list"; }, 10s));
  window.keys("ctrl+Delete");
  ASSERT_TRUE(waitUntil([&] { return window.state().number("rows") == 0; }, 10s));
  EXPECT_EQ(window.quit(), 0);
}

TEST(WindowContent, ThemeSwitchKeepsThePicturesTheNewThemeLacks) {
  const XvfbSession& session = sharedXvfbSession();
  QM_REQUIRE_DISPLAY(session);
  TempFolder program;
  std::filesystem::create_directories(program.path() / "gfx");
  writeTheme(program / "gfx/first.zip", "First", {{"New", 1}, {"Copy", 2}});
  writeTheme(program / "gfx/second.zip", "Second", {{"New", 3}});
  RunningWindow window(session, {{}, programCopy(program), settingsFile("", "UI Theme = first\r\nUI Size = 1\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  WindowState state = window.state();
  EXPECT_EQ(menuIcon(state, "0"), checksumOf(16, 1));
  EXPECT_EQ(menuIcon(state, "11"), checksumOf(16, 2));
  EXPECT_EQ(toolIcon(state, "0"), checksumOf(24, 1));
  const std::string builtinExit = menuIcon(state, "3");

  // The theme changes: what the second theme has replaces, what it lacks
  // stays as the first theme drew it; the selectors' items follow.
  ASSERT_EQ(window.command("interface-change 1 second 1"), "done\n");
  state = window.state();
  EXPECT_EQ(state.value("uiTheme"), "second");
  EXPECT_EQ(menuIcon(state, "0"), checksumOf(16, 3));
  EXPECT_EQ(menuIcon(state, "11"), checksumOf(16, 2));
  EXPECT_EQ(menuIcon(state, "3"), builtinExit);
  EXPECT_EQ(toolIcon(state, "0"), checksumOf(24, 3));
  EXPECT_EQ(state.value("formatImage"), checksumOf(16, 3));
  EXPECT_EQ(state.values("popup").front().substr(state.values("popup").front().rfind('|') + 1), checksumOf(16, 2));

  // Only the icon size: the toolbar is rebuilt at the new size, the menus
  // are not touched.
  ASSERT_EQ(window.command("interface-change 2 second 3"), "done\n");
  state = window.state();
  EXPECT_EQ(state.pair("toolBitmap"), std::make_pair(48, 48));
  EXPECT_EQ(toolIcon(state, "0"), checksumOf(48, 3));
  EXPECT_EQ(menuIcon(state, "0"), checksumOf(16, 3));
  keepShot(window, "theme-switched");
  EXPECT_EQ(window.quit(), 0);
}

// The id of the window with the given title, once it is shown.
std::string windowNamed(const RunningWindow& window, const std::string& title) {
  std::string id;
  waitUntil(
      [&] {
        auto found = runTool({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"}, window.display());
        if (found && !found->empty()) id = found->substr(0, found->find('\n'));
        return !id.empty();
      },
      30s, 100ms);
  return id;
}

TEST(WindowContent, MessageBoxesAreOwnedByTheWindowAndAnswer) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  RunningWindow window(session, {});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  struct Case {
    const char* kind;
    const char* title;
    const char* key;
    const char* answer;
    const char* icon;
  };
  const Case cases[] = {
      {"warning", "Warning", "Return", "ok\n", "dialog-warning"},
      {"error", "Error", "Escape", "ok\n", "dialog-error"},
      {"information", "Check for Updates", "Return", "ok\n", "dialog-information"},
      {"question", "Check for Updates", "Escape", "no\n", "dialog-question"},
      {"warning-question", "Warning", "Return", "yes\n", "dialog-warning"},
  };
  for (const Case& c : cases) {
    // The box blocks the window's hooks until it is answered, so the
    // command is sent without waiting and its reply read afterwards.
    std::string reply;
    std::thread ask([&] { reply = window.command(std::string("message ") + c.kind, 60s); });
    const std::string box = windowNamed(window, c.title);
    EXPECT_FALSE(box.empty()) << c.kind;
    if (!box.empty()) {
      auto owner = runTool({"xprop", "-id", box, "WM_TRANSIENT_FOR"}, session.display());
      ASSERT_TRUE(owner.has_value()) << c.kind;
      std::ostringstream expectedOwner;
      expectedOwner << "0x" << std::hex << std::stoul(window.window());
      EXPECT_NE(owner->find(expectedOwner.str()), std::string::npos) << c.kind << ": " << *owner;
      keepShot(window, std::string("box-") + c.kind);
      // Keys from the keyboard, to the box the window manager has made
      // active (the toolkit ignores keys sent to a window directly).
      window.xdotool({"windowactivate", "--sync", box});
      window.xdotool({"key", c.key});
    }
    ask.join();
    EXPECT_EQ(reply, c.answer) << c.kind;
    // The box showed its kind's icon from the desktop's icon theme, at the
    // size of a dialog's picture.
    const std::vector<std::string> icons = window.state().values("boxIcon");
    ASSERT_FALSE(icons.empty()) << c.kind;
    std::istringstream icon(icons.back());
    std::string name;
    int shown = 0, width = 0, height = 0, inTheme = 0;
    icon >> name >> shown >> width >> height >> inTheme;
    EXPECT_EQ(name, c.icon);
    EXPECT_EQ(shown, 1) << c.kind;
    EXPECT_GE(width, 32) << c.kind;
    EXPECT_GE(height, 32) << c.kind;
    EXPECT_EQ(inTheme, 1) << c.kind;
  }
  EXPECT_EQ(window.quit(), 0);
}

// The Output Format selector drops a plain list next to itself (below, or
// above where the screen has no room), starting at its first item; Escape
// closes it and keeps the format.
TEST(WindowContent, OutputFormatListDropsBesideTheSelector) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  RunningWindow window(session, {{}, {}, settingsFile({}, {}, "Format = jpg\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const Box selector = window.state().box("formatSelector");
  window.xdotool({"mousemove", "--window", window.window(), std::to_string(selector.x + selector.width / 2),
                  std::to_string(selector.y + selector.height / 2)});
  window.xdotool({"click", "1"});
  WindowState state = stateWhen(
      window, [](const WindowState& s) { return s.value("formatPopup") != "closed"; }, 10s);
  ASSERT_NE(state.value("formatPopup"), "closed");
  std::this_thread::sleep_for(300ms);
  keepShot(window, "format-list-open");
  std::istringstream place(state.value("formatPopup"));
  Box on, list;
  int firstItem = -1;
  place >> on.x >> on.y >> on.width >> on.height >> list.x >> list.y >> list.width >> list.height >> firstItem;
  EXPECT_TRUE(list.y >= on.bottom() - 2 || list.bottom() <= on.y + 2) << state.value("formatPopup");
  EXPECT_GE(firstItem, 0);
  EXPECT_LT(firstItem, 12) << state.value("formatPopup");

  window.xdotool({"key", "Escape"});
  state = stateWhen(
      window, [](const WindowState& s) { return s.value("formatPopup") == "closed"; }, 10s);
  EXPECT_EQ(state.value("outputFormat"), "jpg");
  EXPECT_EQ(window.quit(), 0);
}

TEST(WindowContent, DoubleClickOpensTheAddInputChooserAndEscapeClosesIt) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  RunningWindow window(session, {});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const WindowState state = window.state();
  const XGeometry g = window.geometry();
  const Box list = state.box("list");
  window.xdotool({"mousemove", std::to_string(g.x + list.x + list.width / 2),
                  std::to_string(g.y + list.y + list.height / 2), "click", "--repeat", "2", "--delay", "80", "1"});
  const std::string chooser = windowNamed(window, "Add Input Files...");
  ASSERT_FALSE(chooser.empty());
  const XGeometry c = RunningWindow::geometryOf(chooser, session.display());
  EXPECT_EQ(c.width, 270);
  EXPECT_EQ(c.height, 160);
  keepShot(window, "add-input-chooser");
  window.xdotool({"windowactivate", "--sync", chooser});
  window.xdotool({"key", "Escape"});
  EXPECT_TRUE(waitUntil(
      [&] {
        return !runTool({"xdotool", "search", "--onlyvisible", "--name", "^Add Input Files\\.\\.\\.$"},
                        session.display())
                    .has_value();
      },
      10s));
  EXPECT_EQ(window.quit(), 0);
}

// "Open with" while the window runs: a later start hands its documents and
// folders to the window, which admits them as a drop and comes to the
// front, and the later process ends with 0. A command-line run is still
// refused.
TEST(WindowContent, ALaterStartHandsItsDocumentsToTheRunningWindow) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const fs::path samples = fs::path(QM_SOURCE_DIR) / "samples";
  const std::string sunset = data / "sunset.psd";
  fs::copy_file(samples / "sunset.psd", sunset);
  fs::copy_file(samples / "grey-ramp.psd", data / "grey-ramp.psd");
  data.makeFolder("more");
  fs::copy_file(samples / "badge-alpha.psd", data / "more/badge-alpha.psd");
  const std::string out = data.makeFolder("out");

  RunningWindow window(session, {});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const fs::path socket = fs::path(window.runtimeFolder()) / "Quillmark 2.5.socket";
  EXPECT_EQ(fs::symlink_status(socket).type(), fs::file_type::socket);
  EXPECT_EQ(fs::symlink_status(socket).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string workingFolder;
    int exitCode;
    std::vector<std::string> rows;  // the list afterwards, when taken
  };
  const Case cases[] = {
      {"a document", {sunset}, {}, 0, {sunset}},
      {"a relative path and a folder",
       {"grey-ramp.psd", "more"},
       data.str(),
       0,
       {sunset, data / "grey-ramp.psd", data / "more/badge-alpha.psd"}},
      {"a command-line run", {"-i", sunset, "-o", out, "-c", "png"}, {}, 1, {}},
      {"nothing", {}, {}, 0, {sunset, data / "grey-ramp.psd", data / "more/badge-alpha.psd"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Out of sight first: the window must come back to the front.
    window.xdotool({"windowminimize", "--sync", window.window()});
    ProgramOptions options;
    options.runtimeDir = window.runtimeFolder();
    options.workingDir = c.workingFolder;
    options.display = session.display();
    const ProgramResult later = runProgram(c.arguments, options);
    EXPECT_EQ(later.exitCode, c.exitCode) << later.err;
    if (c.exitCode == 1) {
      EXPECT_EQ(later.err, "Another Quillmark is running.\n");
      EXPECT_FALSE(fs::exists(out + "sunset.png"));
      continue;
    }
    const WindowState state = stateWhen(window, [&](const WindowState& s) {
      return rows(s) == c.rows && s.value("dialogTitle").empty() && s.number("iconized") == 0;
    });
    EXPECT_EQ(rows(state), c.rows);
    EXPECT_EQ(state.number("iconized"), 0);
    EXPECT_EQ(activeWindow(window), window.window());
  }
  std::this_thread::sleep_for(1s);
  keepShot(window, "later-start-added");
  EXPECT_EQ(window.quit(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(socket))) << "the socket outlived the window";
}

}  // namespace
}  // namespace qm::test
