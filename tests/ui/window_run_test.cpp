// Converting from the window: F5 pressed on a list of real documents, the
// progress dialog read back while it is open and after the run, a break
// asked for through the dialog's close box, the warnings of a refused
// start, and the files compared with what the command line writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "support/program_runner.h"
#include "ui/toolkit/shorten_middle.h"
#include "ui/window_test_support.h"

namespace qm::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kSamples = std::string(QM_SOURCE_DIR) + "/samples/";

// The close box of a window, as the window manager delivers it.
void closeBox(const RunningWindow& window, const std::string& id) {
  runTool({"wmctrl", "-i", "-c", id}, window.display());
}

std::vector<std::string> filesIn(const std::string& folder, const std::string& extension) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == extension) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string config(const std::string& output, const std::string& more = {}) {
  return settingsFile("", "", output) + more;
}

// The six sample documents, copied into a folder of the test's.
std::string copySamples(const TempFolder& data, const std::string& name) {
  const std::string folder = data.makeFolder(name);
  for (const auto& entry : fs::recursive_directory_iterator(kSamples))
    if (entry.path().extension() == ".psd") fs::copy_file(entry.path(), folder + entry.path().filename().string());
  return folder;
}

TEST(WindowRun, ShortenMiddleKeepsBothEndsAndWholeCharacters) {
  struct Case {
    std::string text;
    int maximum;
    std::string expected;
  };
  const Case cases[] = {
      {"", 5, ""},
      {"/short/path.psd", 40, "/short/path.psd"},
      {"/exactly/ten", 12, "/exactly/ten"},
      {"/a/rather/long/folder/name/file.psd", 13, "/a/ra...e.psd"},
      {"/a/rather/long/folder/name/file.psd", 14, "/a/ra...e.psd"},
      // A character of two bytes counts once and is never cut in half.
      {"/\xC3\xA9t\xC3\xA9/\xC3\xA9t\xC3\xA9/\xC3\xA9t\xC3\xA9.psd", 9, "/\xC3\xA9t...psd"},
  };
  for (const Case& c : cases) EXPECT_EQ(shortenMiddle(c.text, c.maximum), c.expected) << c.text;
}

TEST(WindowRun, DroppedFolderConvertsToTheSameFilesAsTheCommandLine) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string windowIn = copySamples(data, "window");
  const std::string lineIn = copySamples(data, "line");
  const std::string lineOut = data.makeFolder("line-out");

  RunningWindow window(session, {{}, {}, config("Format = png\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  ASSERT_EQ(window.command("drop\n" + windowIn), "done\n");
  EXPECT_EQ(window.state().number("rows"), 6);
  window.keys("F5");
  const std::string done = windowTitled(window, "^Conversion complete");
  ASSERT_FALSE(done.empty()) << window.command("state");
  WindowState state = window.state();
  EXPECT_EQ(state.value("dialogTitle"), "Conversion complete (6/6)");
  EXPECT_EQ(state.value("dialogLabel"), "Files converted: 6 of 6");
  EXPECT_EQ(state.value("dialogBar"), "7 7");
  EXPECT_EQ(state.value("dialogOk"), "1");
  EXPECT_EQ(state.value("status"), "Conversion complete");
  const XGeometry dialog = RunningWindow::geometryOf(done, session.display());
  EXPECT_EQ(dialog.width, 300);
  EXPECT_EQ(dialog.height, 110);
  keepShot(window, "conversion-complete");
  keysInto(window, done, {"Return"});
  state = stateWhen(window, [](const WindowState& s) { return s.value("dialogTitle").empty(); });
  EXPECT_EQ(state.value("dialogTitle"), "");
  EXPECT_EQ(state.value("status"), "Conversion complete");
  EXPECT_EQ(window.quit(), 0);

  const ProgramResult line = runProgram({"-i", lineIn, "-o", lineOut, "-c", "png"});
  ASSERT_EQ(line.exitCode, 0) << line.err;
  const std::vector<std::string> written = filesIn(windowIn, ".png");
  ASSERT_EQ(written.size(), 6u);
  EXPECT_EQ(written, filesIn(lineOut, ".png"));
  for (const std::string& name : written)
    EXPECT_EQ(readFileBytes(windowIn + name), readFileBytes(lineOut + name)) << name;
}

// Damaged copies of real documents, some of which crash the Photoshop
// reader: the window survives them, counts them and writes the rest.
TEST(WindowRun, DamagedDocumentsFailAloneAndTheWindowGoesOn) {
  if (!fs::is_directory(QM_CORPUS_DIR)) GTEST_SKIP() << "no Photoshop corpus at " << QM_CORPUS_DIR;
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string in = copySamples(data, "in");
  std::mt19937 random(7);
  for (const char* name : {"1layer.psd", "2layers.psd", "metadata.psd"}) {
    const std::string bytes = readFileBytes(std::string(QM_CORPUS_DIR) + "/" + name);
    for (int copy = 0; copy < 10; ++copy) {
      std::string hurt = bytes;
      std::uniform_int_distribution<std::size_t> where(26, hurt.size() - 1);
      for (int i = 0; i < 24; ++i) hurt[where(random)] = static_cast<char>(random());
      data.write("in/hurt-" + std::to_string(copy) + "-" + name, hurt);
    }
  }
  const std::string lineOut = data.makeFolder("line");
  // Some of these crash the library's reader, others the document check
  // refuses first; either way the window counts and marks them as the
  // command line does.
  const ProgramResult line = runProgram({"-i", in, "-o", lineOut, "-c", "png"});
  ASSERT_NE(line.err.find("Not converted: "), std::string::npos) << line.err;
  const std::size_t converted = filesIn(lineOut, ".png").size();
  ASSERT_LT(converted, 36u);

  RunningWindow window(session, {{}, {}, config("Format = png\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  ASSERT_EQ(window.command("drop\n" + in), "done\n");
  window.keys("F5");
  const std::string done = windowTitled(window, "^Conversion complete", 120s);
  ASSERT_FALSE(done.empty()) << window.command("state");
  WindowState state = window.state();
  EXPECT_EQ(state.value("dialogTitle"), "Conversion complete (36/36)");
  EXPECT_EQ(state.value("dialogLabel"), "Files converted: " + std::to_string(converted) + " of 36");
  keysInto(window, done, {"Return"});
  state = stateWhen(window, [](const WindowState& s) { return s.value("dialogTitle").empty(); });
  EXPECT_EQ(state.values("errorRow").size(), 36 - converted);
  EXPECT_EQ(filesIn(in, ".png").size(), converted);
  for (const auto& entry : fs::directory_iterator(in))
    EXPECT_FALSE(entry.path().filename().string().starts_with(".quillmark")) << entry.path();
  EXPECT_EQ(window.quit(), 0);
}

TEST(WindowRun, TwoFailedFilesOfTenAreCountedMarkedAndExplained) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string in = data.makeFolder("in");
  const std::vector<std::string> good = {"sunset.psd", "grey-ramp.psd", "badge-alpha.psd", "deep-16bit.psd"};
  for (int i = 0; i < 8; ++i) fs::copy_file(kSamples + good[i % good.size()], in + "good" + std::to_string(i) + ".psd");
  const std::string broken = data.write("in/broken.psd", "8BPS but nothing after it");
  const std::string truncated = data.write("in/truncated.psd", readFileBytes(kSamples + "sunset.psd").substr(0, 200));
  const std::string out = data.makeFolder("out");

  RunningWindow window(session, {{}, {}, config("Format = png\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  ASSERT_EQ(window.command("drop\n" + in), "done\n");
  window.keys("F5");
  const std::string done = windowTitled(window, "^Conversion complete");
  ASSERT_FALSE(done.empty()) << window.command("state");
  WindowState state = window.state();
  EXPECT_EQ(state.value("dialogTitle"), "Conversion complete (10/10)");
  EXPECT_EQ(state.value("dialogLabel"), "Files converted: 8 of 10");
  EXPECT_EQ(state.value("dialogBar"), "11 11");
  keepShot(window, "conversion-two-failed");
  keysInto(window, done, {"Return"});
  state = stateWhen(window, [](const WindowState& s) { return s.value("dialogTitle").empty(); });

  // The two rows of the failed files carry the Error icon, no other.
  const std::vector<std::string> rows = state.values("row");
  std::vector<std::string> marked;
  for (const std::string& row : state.values("errorRow")) marked.push_back(rows.at(std::stoul(row)));
  std::sort(marked.begin(), marked.end());
  EXPECT_EQ(marked, (std::vector<std::string>{broken, truncated}));
  // The other rows show a blank picture of the same size, so that every
  // row's text starts at the same place.
  const std::vector<std::string> pictures = state.values("rowPicture");
  ASSERT_EQ(pictures.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(pictures[i], rows[i] == broken || rows[i] == truncated ? "0" : "1") << rows[i];
  keepShot(window, "failed-rows-marked");

  // Selecting a marked row tells why, in the words of the command line.
  const ProgramResult line = runProgram({"-i", in, "-o", out, "-c", "png"});
  const long row = std::find(rows.begin(), rows.end(), broken) - rows.begin();
  const XGeometry g = window.geometry();
  const Box list = state.box("list");
  // A click somewhere among the rows, then the keys a user would press.
  window.xdotool(
      {"mousemove", std::to_string(g.x + list.x + 60), std::to_string(g.y + list.y + list.height / 2), "click", "1"});
  window.xdotool({"key", "Home"});
  for (long i = 0; i < row; ++i) window.xdotool({"key", "Down"});
  state = stateWhen(
      window, [&](const WindowState& s) { return s.value("selected") == std::to_string(row); }, 10s);
  std::string reason;
  for (const std::string& error : line.errLines())
    if (error.starts_with("Not converted: " + broken + ": "))
      reason = error.substr(("Not converted: " + broken + ": ").size());
  ASSERT_FALSE(reason.empty()) << line.err;
  EXPECT_EQ(state.value("status"), "Not converted: " + reason);
  keepShot(window, "failed-row-reason");

  // The reason stays while the pointer rests on tools and menu items.
  const Box toolbar = state.box("toolbar");
  const Box folderButton = state.box("folderButton");
  for (const auto& [x, y] : {std::pair{toolbar.x + 20, toolbar.y + toolbar.height / 2},
                             std::pair{toolbar.x + 60, toolbar.y + toolbar.height / 2},
                             std::pair{folderButton.x + 12, folderButton.y + 12}}) {
    window.xdotool({"mousemove", "--sync", std::to_string(g.x + x), std::to_string(g.y + y)});
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(window.state().value("status"), "Not converted: " + reason) << "pointer at " << x << "," << y;
  }
  keepShot(window, "status-after-hovering");
  window.keys("F10");
  std::this_thread::sleep_for(300ms);
  window.xdotool({"key", "Down"});
  window.xdotool({"key", "Down"});
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(window.state().value("status"), "Not converted: " + reason) << "after menu items";
  window.xdotool({"key", "Escape"});
  window.xdotool({"key", "Escape"});
  EXPECT_EQ(window.quit(), 0);
}

// Documents that take a while each: a resize to a large size.
std::string slowConfig() {
  return config("Format = png\r\n",
                "[Transform]\r\nDo Image Resize = 1\r\nImage Width = 2600\r\nImage Height = 2600\r\n"
                "Keep Aspect Ratio = 0\r\n");
}

TEST(WindowRun, BreakAnsweredNoGoesOnAndYesStopsAfterTheCurrentFile) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string in = data.makeFolder("in");
  constexpr int kFiles = 12;
  for (int i = 0; i < kFiles; ++i) fs::copy_file(kSamples + "sunset.psd", in + "doc" + std::to_string(i) + ".psd");

  RunningWindow window(session, {{}, {}, slowConfig()});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  ASSERT_EQ(window.command("drop\n" + in), "done\n");

  // No: the run is held while the question is open and then goes on.
  window.keys("F5");
  std::string dialog = windowTitled(window, "^Converting \\([2-9]/12\\)");
  ASSERT_FALSE(dialog.empty()) << window.command("state");
  closeBox(window, dialog);
  std::string question = windowTitled(window, "^Warning$");
  ASSERT_FALSE(question.empty());
  WindowState state = window.state();
  EXPECT_EQ(state.values("box").back(), "Warning|Do you want to break the conversion?");
  const std::string heldAt = state.value("dialogTitle");
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(window.state().value("dialogTitle"), heldAt) << "the worker went on while asked";
  keepShot(window, "break-question");
  keysInto(window, question, {"Escape"});
  dialog = windowTitled(window, "^Conversion complete \\(12/12\\)$");
  ASSERT_FALSE(dialog.empty()) << window.command("state");
  EXPECT_EQ(window.state().value("dialogLabel"), "Files converted: 12 of 12");
  EXPECT_EQ(filesIn(in, ".png").size(), 12u);
  keysInto(window, dialog, {"Return"});
  stateWhen(window, [](const WindowState& s) { return s.value("dialogTitle").empty(); });
  for (const std::string& name : filesIn(in, ".png")) fs::remove(in + name);

  // Yes: the file in progress is finished, no other starts. Escape asks
  // as the close box does.
  window.keys("F5");
  dialog = windowTitled(window, "^Converting \\([2-9]/12\\)");
  ASSERT_FALSE(dialog.empty()) << window.command("state");
  keysInto(window, dialog, {"Escape"});
  question = windowTitled(window, "^Warning$");
  ASSERT_FALSE(question.empty());
  const std::string askedAt = window.state().value("dialogTitle");
  keysInto(window, question, {"Return"});
  dialog = windowTitled(window, "^Conversion stopped");
  ASSERT_FALSE(dialog.empty()) << window.command("state");
  state = window.state();
  const int reached = std::stoi(askedAt.substr(askedAt.find('(') + 1));
  EXPECT_EQ(state.value("dialogTitle"), "Conversion stopped (" + std::to_string(reached) + "/12)");
  EXPECT_EQ(state.value("dialogLabel"), "Conversion stopped");
  EXPECT_EQ(state.value("status"), "Conversion stopped");
  EXPECT_EQ(state.value("dialogOk"), "1");
  EXPECT_EQ(static_cast<int>(filesIn(in, ".png").size()), reached);
  keepShot(window, "conversion-stopped");
  // The close box ends a finished dialog as OK does.
  closeBox(window, dialog);
  state = stateWhen(window, [](const WindowState& s) { return s.value("dialogTitle").empty(); });
  EXPECT_EQ(state.value("status"), "Conversion stopped");
  EXPECT_EQ(window.quit(), 0);
}

TEST(WindowRun, AHundredThousandFilesEndWithTheWholeTitleInView) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string in = data.makeFolder("in");
  constexpr int kFiles = 100000;
  // Documents that fail at once: the run is about the dialog, not the files.
  for (int i = 0; i < kFiles; ++i) data.write("in/d" + std::to_string(i) + ".psd", "x");
  RunningWindow window(session, {{}, {}, config("Format = png\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  ASSERT_EQ(window.command("drop\n" + in, 10min), "done\n");
  window.keys("F5");
  const std::string dialog = windowTitled(window, "^Conversion complete", 20min);
  ASSERT_FALSE(dialog.empty()) << window.command("state");
  const WindowState state = window.state();
  EXPECT_EQ(state.value("dialogTitle"), "Conversion complete (100000/100000)");
  EXPECT_EQ(state.value("dialogLabel"), "Files converted: 0 of 100000");
  // The title bar holds the title and the close box beside it.
  const XGeometry g = RunningWindow::geometryOf(dialog, session.display());
  EXPECT_GE(g.width, state.number("dialogTitleWidth") + 60);
  EXPECT_GE(g.width, 300);
  keepShot(window, "conversion-complete-100000");
  keysInto(window, dialog, {"Return"});
  stateWhen(window, [](const WindowState& s) { return s.value("dialogTitle").empty(); });
  EXPECT_EQ(window.quit(), 0);
}

TEST(WindowRun, AVeryLongPathIsShortenedInTheMiddle) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string deep = data.makeFolder(std::string(60, 'd') + "/" + std::string(60, 'e'));
  for (int i = 0; i < 6; ++i)
    fs::copy_file(kSamples + "sunset.psd", deep + "a-rather-long-name-" + std::to_string(i) + ".psd");
  RunningWindow window(session, {{}, {}, slowConfig()});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  ASSERT_EQ(window.command("drop\n" + deep), "done\n");

  // The rows keep their file names in view, shortened in the middle to
  // the column, again after the window has grown; the pointer's row
  // shows the whole path.
  WindowState before = window.state();
  std::size_t shownBefore = 0;
  for (int width : {0, 900}) {
    if (width > 0) {
      window.xdotool({"windowsize", "--sync", window.window(), std::to_string(width), "400"});
      before = stateWhen(
          window, [&](const WindowState& s) { return s.number("column") > 800; }, 10s);
    }
    const std::vector<std::string> paths = before.values("row");
    const std::vector<std::string> shown = before.values("shownRow");
    ASSERT_EQ(paths.size(), 6u);
    ASSERT_EQ(shown.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
      const std::size_t dots = shown[i].find("...");
      ASSERT_NE(dots, std::string::npos) << shown[i];
      EXPECT_TRUE(paths[i].starts_with(shown[i].substr(0, dots))) << shown[i];
      EXPECT_TRUE(paths[i].ends_with(shown[i].substr(dots + 3))) << shown[i];
      // A column over 800 pixels has room for the whole file name; the
      // first, narrower one may cut into it.
      if (width > 0) {
        EXPECT_TRUE(shown[i].ends_with(fs::path(paths[i]).filename().string())) << shown[i];
      }
    }
    if (width > 0) {
      EXPECT_GT(shown[0].size(), shownBefore) << "not redone for the wider column";
    }
    shownBefore = shown[0].size();
  }
  const XGeometry g = window.geometry();
  const Box list = before.box("list");
  // A pointer that comes from afar, then rests on the first row.
  for (int step : {0, 10})
    window.xdotool(
        {"mousemove", "--sync", std::to_string(g.x + list.x + 90 + step), std::to_string(g.y + list.y + 30 + step)});
  const WindowState pointed = stateWhen(
      window, [](const WindowState& s) { return !s.value("rowTooltip").empty(); }, 10s);
  const std::vector<std::string> paths = pointed.values("row");
  EXPECT_NE(std::find(paths.begin(), paths.end(), pointed.value("rowTooltip")), paths.end())
      << pointed.value("rowTooltip");
  std::this_thread::sleep_for(1500ms);
  keepShot(window, "long-paths-in-the-list");

  window.keys("F5");
  const WindowState state = stateWhen(window, [](const WindowState& s) {
    return s.value("dialogTitle").starts_with("Converting (") && !s.value("dialogLabel").empty();
  });
  const std::string label = state.value("dialogLabel");
  const int width = state.number("dialogCharacterWidth");
  ASSERT_GT(width, 0);
  // At most what the measured width allows, less where the letters are
  // wider than the average; both ends kept, "..." between them.
  const int maximum = 280 / width;
  EXPECT_LE(static_cast<int>(label.size()), (maximum - 3) / 2 * 2 + 3) << label;
  EXPECT_GE(static_cast<int>(label.size()), 20) << label;
  const std::size_t dots = label.find("...");
  ASSERT_NE(dots, std::string::npos) << label;
  EXPECT_EQ(dots, label.size() - dots - 3) << label;
  EXPECT_TRUE(label.starts_with(data.str().substr(0, dots))) << label;
  EXPECT_TRUE(label.ends_with(".psd")) << label;
  EXPECT_LE(state.number("dialogLabelWidth"), 280) << label;
  keepShot(window, "long-path-shortened");
  const std::string dialog = windowTitled(window, "^Conversion complete");
  ASSERT_FALSE(dialog.empty());
  keysInto(window, dialog, {"Return"});
  stateWhen(window, [](const WindowState& s) { return s.value("dialogTitle").empty(); });
  EXPECT_EQ(window.quit(), 0);
}

// Each refused start: the settings that cause it, what has to be in the
// list, the warning and the status text left standing.
TEST(WindowRun, RefusedStartsShowTheirWarningAndStatus) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string sunset = kSamples + "sunset.psd";
  struct Case {
    std::string name;
    std::string settings;
    bool withFile;
    bool folderGone;
    std::string box;
    std::string status;
  };
  const std::string resize = "[Transform]\r\nDo Image Resize = 1\r\n";
  const Case cases[] = {
      {"empty list", "", false, false, "Warning|No input file(s) found. Please, add valid file(s) and try again!",
       "Conversion stopped"},
      {"output folder gone", "", true, true, "", "Conversion stopped"},
      // With no recent folders kept the selector stays empty even after
      // the first row, so only the folder check stands between the list
      // and a run.
      {"no recent folders kept", "[Advanced]\r\nOut Folders Number = 0\r\n", true, false,
       "Warning|The output folder's field is empty. Please, select existed output folder and try again!",
       "Conversion stopped"},
      {"width and height 0", resize + "Image Width = 0\r\nImage Height = 0\r\n", true, false,
       "Warning|Invalid resize width value!", "Conversion stopped"},
      {"height 0", resize + "Image Width = 10\r\nImage Height = 0\r\n", true, false,
       "Warning|Invalid resize height value!", "Conversion stopped"},
      {"unknown font", "[Watermark]\r\nDo Watermark = 1\r\nFont = No Such Face Anywhere\r\n", true, false,
       "Warning|Unable to load selected font for a watermark: No Such Face Anywhere", "Conversion stopped"},
      {"no picture", "[Watermark]\r\nDo Watermark = 2\r\nImage = \r\n", true, false,
       "Warning|Selected watermark image is invalid/empty!", "Conversion stopped"},
      {"missing picture", "[Watermark]\r\nDo Watermark = 2\r\nImage = /no/such/stamp.png\r\n", true, false,
       "Warning|Unable to load selected file as a watermark image: /no/such/stamp.png", "Conversion stopped"},
  };
  int round = 0;
  for (const Case& c : cases) {
    const std::string folder = data.makeFolder("round" + std::to_string(round++));
    const std::string file = folder + "doc.psd";
    fs::copy_file(sunset, file);
    RunningWindow window(session, {{}, {}, config("Format = png\r\n", c.settings)});
    ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
    if (c.withFile) {
      ASSERT_EQ(window.command("drop\n" + file), "done\n") << c.name;
    }
    if (c.folderGone) fs::remove_all(folder);
    window.keys("F5");
    const std::string box = windowTitled(window, "^Warning$");
    ASSERT_FALSE(box.empty()) << c.name;
    const WindowState state = window.state();
    const std::string expected = c.box.empty() ? "Warning|The following output folder is invalid or doesn't exist:~" +
                                                     folder + "~~Please, correct the output path and try again!"
                                               : c.box;
    EXPECT_EQ(state.values("box").back(), expected) << c.name;
    EXPECT_EQ(state.value("status"), c.status) << c.name;
    if (round == 1) keepShot(window, "refused-empty-list");
    keysInto(window, box, {"Return"});
    EXPECT_TRUE(waitUntil(
        [&] {
          return !runTool({"xdotool", "search", "--onlyvisible", "--name", "^Warning$"}, session.display()).has_value();
        },
        10s))
        << c.name;
    EXPECT_EQ(filesIn(c.folderGone ? data.str() : folder, ".png").size(), 0u) << c.name;
    EXPECT_EQ(window.quit(), 0) << c.name;
  }
}

}  // namespace
}  // namespace qm::test
