// Filling and saving the Input list through the window's own dialogs:
// folder imports behind their progress dialog, list files exported and
// imported again, the output folder chosen through the folder dialog and
// kept among the recent ones. The toolkit's file dialogs are driven with
// keys, as a user at the keyboard would.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <thread>

#include "ui/window_test_support.h"

namespace qm::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

bool gone(const RunningWindow& window, const std::string& pattern, std::chrono::milliseconds limit = 15s) {
  return waitUntil(
      [&] {
        return !runTool({"xdotool", "search", "--onlyvisible", "--name", pattern}, window.display()).has_value();
      },
      limit, 50ms);
}

void typeInto(RunningWindow& window, const std::string& id, const std::string& text) {
  window.xdotool({"windowactivate", "--sync", id});
  window.xdotool({"type", "--delay", "5", text});
}

// Opens the n-th item of the File menu from the keyboard (separators are
// skipped by the arrow keys).
void fileMenuItem(RunningWindow& window, int position) {
  keysInto(window, window.window(), {"F10"});
  std::this_thread::sleep_for(300ms);
  for (int i = 0; i < position; ++i) window.xdotool({"key", "Down"});
  window.xdotool({"key", "Return"});
}

constexpr int kSelectOutputFolderItem = 3;
constexpr int kImportItem = 4;
constexpr int kExportItem = 5;

// Types a path into the toolkit's file dialog and accepts it.
void chooseInFileDialog(RunningWindow& window, const std::string& dialog, const std::string& path, bool saving) {
  if (!saving) {
    keysInto(window, dialog, {"ctrl+l"});
    std::this_thread::sleep_for(200ms);
  } else {
    keysInto(window, dialog, {"ctrl+a"});
  }
  typeInto(window, dialog, path);
  std::this_thread::sleep_for(300ms);
  // The toolkit completes a typed folder inline, as selected text after
  // the cursor; it goes, so that what was typed is what is chosen.
  keysInto(window, dialog, {"Delete", "Return"});
}

std::vector<std::string> rows(const WindowState& state) { return state.values("row"); }

TEST(WindowLists, ExportedListImportsTheSameRowsAndASecondImportAddsNothing) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string c = data.write("docs/c.psd", "x");
  const std::string a = data.write("docs/a.psd", "x");
  const std::string b = data.write("docs/b.psd", "x");
  const std::string lists = data.makeFolder("lists");

  RunningWindow window(session, {});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();

  // With an empty list the export only warns.
  fileMenuItem(window, kExportItem);
  std::string box = windowTitled(window, "^Warning$");
  ASSERT_FALSE(box.empty());
  EXPECT_EQ(window.state().values("box").back(),
            "Warning|No input file(s) found. Please, add valid file(s) and try again!");
  keysInto(window, box, {"Return"});
  ASSERT_TRUE(gone(window, "^Warning$"));
  EXPECT_FALSE(runTool({"xdotool", "search", "--onlyvisible", "--name", "^Export Input Files$"}, session.display()));

  ASSERT_EQ(window.command("drop\n" + c + "\n" + a + "\n" + b), "done\n");
  // A name without an extension gets ".txt".
  fileMenuItem(window, kExportItem);
  std::string dialog = windowTitled(window, "^Export Input Files$");
  ASSERT_FALSE(dialog.empty()) << window.command("state");
  keepShot(window, "export-dialog");
  chooseInFileDialog(window, dialog, lists + "three", true);
  WindowState state =
      stateWhen(window, [](const WindowState& s) { return s.value("status").starts_with("Export complete"); });
  EXPECT_EQ(state.value("status"), "Export complete, entries saved: 3");
  const std::string list = lists + "three.txt";
  EXPECT_EQ(readFileBytes(list), "\xEF\xBB\xBF" + c + "\r\n" + a + "\r\n" + b + "\r\n");
  ASSERT_TRUE(gone(window, "^Exporting$"));

  // Over a non-empty file the export asks first; No keeps the file.
  const std::string keep = data.write("lists/keep.txt", "precious");
  fileMenuItem(window, kExportItem);
  dialog = windowTitled(window, "^Export Input Files$");
  ASSERT_FALSE(dialog.empty());
  chooseInFileDialog(window, dialog, keep, true);
  box = windowTitled(window, "^Warning$");
  ASSERT_FALSE(box.empty());
  EXPECT_EQ(window.state().values("box").back(), "Warning|The file already exist. Do you want to overwrite it?");
  keepShot(window, "export-overwrite-question");
  keysInto(window, box, {"Escape"});
  ASSERT_TRUE(gone(window, "^Warning$"));
  EXPECT_EQ(readFileBytes(keep), "precious");

  // Into an empty list the file brings the same rows, in its order; a
  // second import adds nothing.
  window.keys("ctrl+n");
  ASSERT_TRUE(waitUntil([&] { return window.state().number("rows") == 0; }, 10s));
  for (int pass = 0; pass < 2; ++pass) {
    fileMenuItem(window, kImportItem);
    dialog = windowTitled(window, "^Import Input Files From A List$");
    ASSERT_FALSE(dialog.empty()) << window.command("state");
    if (pass == 0) keepShot(window, "import-dialog");
    chooseInFileDialog(window, dialog, list, false);
    const std::string expected = "Import complete, new files added: " + std::string(pass == 0 ? "3" : "0");
    state = stateWhen(window, [&](const WindowState& s) { return s.value("status") == expected; });
    EXPECT_EQ(state.value("status"), expected);
    EXPECT_EQ(rows(state), (std::vector<std::string>{c, a, b}));
    ASSERT_TRUE(gone(window, "^Importing$"));
  }
  EXPECT_EQ(window.quit(), 0);
}

TEST(WindowLists, FolderImportShowsItsDialogAndAnEmptyFolderAddsNothing) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string empty = data.makeFolder("empty");
  const std::string full = data.makeFolder("full");
  for (int i = 0; i < 40; ++i) data.write("full/f" + std::to_string(i) + "/doc.psd", "x");

  RunningWindow window(session, {});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  ASSERT_EQ(window.command("drop-later\n" + empty), "queued\n");
  const std::string dialog = windowTitled(window, "^Importing$");
  ASSERT_FALSE(dialog.empty());
  const XGeometry g = RunningWindow::geometryOf(dialog, session.display());
  EXPECT_EQ(g.width, 300);
  EXPECT_EQ(g.height, 40);
  WindowState state = window.state();
  EXPECT_EQ(state.value("dialogBar"), "0 0");
  EXPECT_EQ(state.value("status"), "Import complete, new files added: 0");
  ASSERT_TRUE(gone(window, "^Importing$"));

  ASSERT_EQ(window.command("drop-later\n" + full), "queued\n");
  ASSERT_FALSE(windowTitled(window, "^Importing$").empty());
  state = stateWhen(window, [](const WindowState& s) { return s.value("dialogBar") == "40 40"; });
  EXPECT_EQ(state.value("status"), "Import complete, new files added: 40");
  keepShot(window, "import-complete");
  ASSERT_TRUE(gone(window, "^Importing$"));
  EXPECT_EQ(window.state().number("rows"), 40);
  EXPECT_EQ(window.quit(), 0);
}

constexpr int kAddItem = 2;

// The Add Input chooser's two buttons, pressed from the keyboard: the
// first has the focus when it opens, Tab moves to the second.
std::string chooseFromAddInput(RunningWindow& window, bool folder) {
  fileMenuItem(window, kAddItem);
  const std::string chooser = windowTitled(window, "^Add Input Files\\.\\.\\.$");
  if (chooser.empty()) return {};
  keysInto(window, chooser, folder ? std::vector<std::string>{"Tab", "space"} : std::vector<std::string>{"space"});
  return windowTitled(window, folder ? "^Select Input Folder$" : "^Select Input Files$");
}

TEST(WindowLists, InputFileAndFolderDialogsAdmitWhatIsChosen) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string single = data.write("single/one.psd", "x");
  data.write("tree/a.psd", "x");
  data.write("tree/deeper/b.psd", "x");
  data.write("tree/notes.txt", "x");

  RunningWindow window(session, {});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();

  // A cancelled folder dialog changes nothing.
  std::string dialog = chooseFromAddInput(window, true);
  ASSERT_FALSE(dialog.empty()) << window.command("state");
  keepShot(window, "select-input-folder");
  keysInto(window, dialog, {"Escape"});
  ASSERT_TRUE(gone(window, "^Select Input Folder$"));
  WindowState state = window.state();
  EXPECT_EQ(state.number("rows"), 0);
  EXPECT_EQ(state.value("status"), "Ready");

  dialog = chooseFromAddInput(window, false);
  ASSERT_FALSE(dialog.empty()) << window.command("state");
  keepShot(window, "select-input-files");
  chooseInFileDialog(window, dialog, single, false);
  state = stateWhen(
      window, [](const WindowState& s) { return s.number("rows") == 1; }, 15s);
  EXPECT_EQ(state.values("row"), (std::vector<std::string>{single}));
  // The first file fills the empty output folder with its own folder.
  EXPECT_EQ(state.value("folderText"), data.str() + "single/");

  dialog = chooseFromAddInput(window, true);
  ASSERT_FALSE(dialog.empty());
  chooseInFileDialog(window, dialog, data.str() + "tree/", false);
  if (!gone(window, "^Select Input Folder$", 3s)) keysInto(window, dialog, {"Return"});
  state = stateWhen(
      window, [](const WindowState& s) { return s.number("rows") == 3; }, 15s);
  EXPECT_EQ(state.value("status"), "Import complete, new files added: 2");
  std::vector<std::string> shown = state.values("row");
  std::sort(shown.begin() + 1, shown.end());
  EXPECT_EQ(shown, (std::vector<std::string>{single, data.str() + "tree/a.psd", data.str() + "tree/deeper/b.psd"}));
  // The output folder was set by the first file and stays.
  EXPECT_EQ(state.value("folderText"), data.str() + "single/");
  ASSERT_TRUE(gone(window, "^Importing$"));
  EXPECT_EQ(window.quit(), 0);
}

// A break of a folder import: asked through the dialog's close box while
// the scan runs, with the scan held until the answer. The tree is large
// enough (90,000 files) for the scan to take about a second.
TEST(WindowLists, FolderImportBreakAnsweredNoGoesOnAndYesKeepsWholeFolders) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  constexpr int kFolders = 60;
  constexpr int kFilesEach = 1500;
  for (int folder = 0; folder < kFolders; ++folder)
    for (int file = 0; file < kFilesEach; ++file)
      data.write("tree/f" + std::to_string(folder) + "/" + std::to_string(file) + ".psd", "x");
  const std::string tree = data.str() + "tree";

  RunningWindow window(session, {});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  for (const bool stop : {false, true}) {
    const std::string label = stop ? "Yes" : "No";
    window.keys("ctrl+n");
    ASSERT_TRUE(waitUntil([&] { return window.state().number("rows") == 0; }, 10s)) << label;
    ASSERT_EQ(window.command("drop-later\n" + tree), "queued\n");
    const std::string dialog = windowTitled(window, "^Importing$");
    ASSERT_FALSE(dialog.empty()) << label;
    // The close box, or Escape, which asks the same.
    if (stop)
      keysInto(window, dialog, {"Escape"});
    else
      runTool({"wmctrl", "-i", "-c", dialog}, session.display());
    const std::string question = windowTitled(window, "^Warning$", 10s);
    ASSERT_FALSE(question.empty()) << label << ": the import ended before the break was asked for";
    WindowState state = window.state();
    EXPECT_EQ(state.values("box").back(), "Warning|Do you want to break the import?") << label;
    // Held: the scan takes no further top-level folder while asked.
    std::this_thread::sleep_for(800ms);
    const std::string heldBar = window.state().value("dialogBar");
    std::this_thread::sleep_for(800ms);
    EXPECT_EQ(window.state().value("dialogBar"), heldBar) << label;
    if (!stop) keepShot(window, "import-break-question");
    keysInto(window, question, {stop ? "Return" : "Escape"});
    ASSERT_TRUE(gone(window, "^Importing$", 60s)) << label;
    state = window.state();
    const int rows = state.number("rows");
    if (stop) {
      EXPECT_EQ(state.value("status"), "Import stopped");
      EXPECT_LT(rows, kFolders * kFilesEach);
      // The folder in progress was finished: whole folders only.
      EXPECT_EQ(rows % kFilesEach, 0) << rows;
    } else {
      EXPECT_EQ(state.value("status"), "Import complete, new files added: " + std::to_string(kFolders * kFilesEach));
      EXPECT_EQ(rows, kFolders * kFilesEach);
    }
  }
  EXPECT_EQ(window.quit(), 0);
}

TEST(WindowLists, OutputFolderDialogKeepsFiveRecentFoldersWithoutCaseTwins) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  std::vector<std::string> folders;
  for (const char* name : {"one", "two", "three", "four", "FIVE"}) folders.push_back(data.makeFolder(name));
  const std::string sixth = data.makeFolder("six");
  const std::string fiveLower = data.makeFolder("five");
  std::string recent;
  for (const std::string& folder : folders) recent += (recent.empty() ? "" : "\t") + folder;
  const std::string settings = settingsFile("") + "[File]\r\nRecent Out Folders = " + recent + "\r\n";

  RunningWindow window(session, {{}, {}, settings});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  EXPECT_EQ(window.state().values("folderItem").size(), 5u);

  // Cancelled: nothing changes.
  fileMenuItem(window, kSelectOutputFolderItem);
  std::string dialog = windowTitled(window, "^Select Output Folder$");
  ASSERT_FALSE(dialog.empty());
  keepShot(window, "output-folder-dialog");
  keysInto(window, dialog, {"Escape"});
  ASSERT_TRUE(gone(window, "^Select Output Folder$"));
  WindowState state = window.state();
  EXPECT_EQ(state.value("folderText"), "");
  EXPECT_EQ(state.value("outputFolder"), "");

  const auto choose = [&](const std::string& folder) {
    fileMenuItem(window, kSelectOutputFolderItem);
    const std::string chooser = windowTitled(window, "^Select Output Folder$");
    ASSERT_FALSE(chooser.empty());
    chooseInFileDialog(window, chooser, folder, false);
    if (!gone(window, "^Select Output Folder$", 3s)) keysInto(window, chooser, {"Return"});
    ASSERT_TRUE(gone(window, "^Select Output Folder$"));
  };
  const auto shownFolders = [](const WindowState& s) {
    std::vector<std::string> shown;
    for (const std::string& item : s.values("folderItem")) shown.push_back(item.substr(0, item.find('|')));
    return shown;
  };
  // "five" is "FIVE" in other letter case: it goes to the front once.
  choose(fiveLower);
  state = stateWhen(
      window, [&](const WindowState& s) { return s.value("outputFolder") == fiveLower; }, 10s);
  EXPECT_EQ(shownFolders(state), (std::vector<std::string>{fiveLower, folders[0], folders[1], folders[2], folders[3]}));
  EXPECT_EQ(state.value("folderText"), fiveLower);

  // A sixth folder goes first and the oldest drops out.
  choose(sixth);
  state = stateWhen(
      window, [&](const WindowState& s) { return s.value("outputFolder") == sixth; }, 10s);
  EXPECT_EQ(shownFolders(state), (std::vector<std::string>{sixth, fiveLower, folders[0], folders[1], folders[2]}));
  EXPECT_EQ(state.value("folderText"), sixth);
  keepShot(window, "recent-output-folders");
  EXPECT_EQ(window.quit(), 0);
}

}  // namespace
}  // namespace qm::test
