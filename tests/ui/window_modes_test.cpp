// The window face's runs that end by themselves: without a display, and
// the screenshot mode.
#include <gtest/gtest.h>

#include <filesystem>

#include "canvas/picture.h"
#include "platform/whole_file.h"
#include "support/program_runner.h"
#include "support/temp_folder.h"
#include "ui/child_process.h"
#include "ui/window_test_support.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

TEST(WindowModes, WithoutADisplayEndWithOneLineAndExitCodeOne) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    bool makesSettingsFolders;
  };
  TempFolder shots;
  const Case cases[] = {
      {"window mode", {}, true},
      {"window mode after options without an input", {"--jpg-quality=50"}, true},
      {"screenshot mode", {"-T", shots.str()}, false},
      {"uninstall feedback window", {"-U"}, false},
  };
  for (const Case& c : cases) {
    TempFolder config;
    ProgramOptions options;
    options.configDir = config.str();
    options.display = "";
    const ProgramResult result = runProgram(c.arguments, options);
    EXPECT_EQ(result.exitCode, 1) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
    ASSERT_EQ(result.errLines().size(), 1u) << c.name << ": " << result.err;
    EXPECT_NE(result.err.find("display"), std::string::npos) << c.name;
    // The settings folders come before the toolkit; the settings file is
    // neither read nor written without one.
    EXPECT_EQ(fs::is_directory(config.path() / "Ferroval/quillmark"), c.makesSettingsFolders) << c.name;
    EXPECT_FALSE(fs::exists(config.path() / "Ferroval/quillmark/config.ini")) << c.name;
  }
  EXPECT_TRUE(fs::is_empty(shots.path()));

  // Screenshots into a folder that does not exist end quietly, display
  // or not.
  for (const std::string& folder : {shots / "missing", std::string()}) {
    ProgramOptions options;
    options.display = "";
    const ProgramResult result = runProgram({"-t", folder}, options);
    EXPECT_EQ(result.exitCode, 0) << folder;
    EXPECT_EQ(result.out + result.err, "") << folder;
  }
  EXPECT_FALSE(fs::exists(shots / "missing"));
}

TEST(WindowModes, ScreenshotModeWritesThePictureAndItsReducedCopy) {
  const XvfbSession& session = sharedXvfbSession();
  QM_REQUIRE_DISPLAY(session);
  TempFolder shots;
  TempFolder config;
  ProgramOptions options;
  options.configDir = config.str();
  options.display = session.display();
  // The folder without its trailing "/" is the same folder.
  std::string folder = shots.str();
  folder.pop_back();
  const ProgramResult result = runProgram({"-T", folder}, options);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const auto full = readPicture(shots / "quillmark1.jpg");
  const auto reduced = readPicture(shots / "quillmark1x.jpg");
  ASSERT_TRUE(full.has_value());
  ASSERT_TRUE(reduced.has_value());
  EXPECT_EQ(full->width, 510);
  EXPECT_EQ(full->height, 330);
  EXPECT_EQ(reduced->width, 255);
  EXPECT_EQ(reduced->height, 165);
  // A window, not a blank: the list's white area and the dark menu text
  // are both in the picture.
  int white = 0;
  int dark = 0;
  for (std::size_t i = 0; i < full->rgba.size(); i += 4) {
    const int sum = full->rgba[i] + full->rgba[i + 1] + full->rgba[i + 2];
    white += sum > 740;
    dark += sum < 150;
  }
  EXPECT_GT(white, 380 * 60);
  EXPECT_GT(dark, 200);
  // Screenshot mode never reads nor writes the settings file, and shows no
  // window once it is done.
  EXPECT_FALSE(fs::exists(config.path() / "Ferroval"));
  EXPECT_FALSE(runTool({"xdotool", "search", "--onlyvisible", "--name", "^Quillmark 2\\.5$"}, session.display()));

  // A folder that does not exist: nothing to do, nothing said.
  const ProgramResult missing = runProgram({"-T", shots / "missing"}, options);
  EXPECT_EQ(missing.exitCode, 0);
  EXPECT_EQ(missing.out + missing.err, "");
  EXPECT_FALSE(fs::exists(shots / "missing"));

  if (const char* keep = std::getenv("QM_WINDOW_SHOTS"); keep && *keep) {
    fs::copy_file(shots / "quillmark1.jpg", std::string(keep) + "/quillmark1.jpg",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(shots / "quillmark1x.jpg", std::string(keep) + "/quillmark1x.jpg",
                  fs::copy_options::overwrite_existing);
  }
}

}  // namespace
}  // namespace qm::test
