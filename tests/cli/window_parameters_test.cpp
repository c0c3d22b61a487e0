// Parameters without an input option lead to the window; the files and
// folders among them are handed to it, the way a desktop's "Open with"
// starts the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "cli/command_line.h"
#include "cli/command_line_run.h"
#include "engine/batch/input_list.h"
#include "settings/settings.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

TEST(WindowParameters, ExistingFilesAndFoldersThatAreNoOptionValuesGoToTheWindow) {
  test::TempFolder data;
  const std::string a = data.write("a.psd", "x");
  const std::string spaced = data.write("with blank.psd", "x");
  const std::string here = data.write("here.psd", "x");
  data.makeFolder("more");
  const std::string output = data.makeFolder("output");
  const std::string more = data / "more";

  struct Case {
    const char* name;
    Paths parameters;
    Paths expected;
  };
  const Case cases[] = {
      {"files and a folder, in parameter order", {spaced, a, more}, {spaced, a, more}},
      {"the folder keeps the slash it was given", {more + "/"}, {more + "/"}},
      {"option values, options and missing paths are no paths",
       {"-o", output, a, "--jpg-quality=50", "-c", "png", data / "missing.psd", "--profile=" + a},
       {a}},
      {"relative to the current folder, tidied", {"here.psd", "./more/../a.psd", "more"}, {here, a, more}},
      {"a first-parameter name elsewhere is ignored", {"x", "-v"}, {}},
  };

  const fs::path before = fs::current_path();
  fs::current_path(data.path());
  for (const Case& c : cases) {
    Settings settings;
    RunState run;
    InputList inputs;
    const CommandLineOutcome outcome = parseCommandLine({settings, run, inputs}, c.parameters, runCommandLine);
    EXPECT_EQ(outcome.next, CommandLineOutcome::Next::WindowMode) << c.name;
    EXPECT_EQ(outcome.windowPaths, c.expected) << c.name;
    // The window admits them itself, after its New command.
    EXPECT_EQ(inputs.entryCount(), 0u) << c.name;
  }
  fs::current_path(before);
}

}  // namespace
}  // namespace qm
