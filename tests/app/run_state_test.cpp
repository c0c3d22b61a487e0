#include <gtest/gtest.h>

#include "app/run_state.h"
#include "engine/batch/input_list.h"
#include "engine/batch/run_start.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

TEST(RunState, ResetEmptiesEverythingButTheMarker) {
  RunState run;
  InputList inputs;
  test::TempFolder folder;
  run.runModeMarker = "DEBUG";
  run.inputRoot = "/in/";
  run.outputFolder = "/out/";
  run.sequenceNumber = 7;
  run.commandLine = true;
  run.readableExtensions = {"psd"};
  ASSERT_EQ(inputs.admitFile(folder.write("a.psd", "x"), "", run.readableExtensions), 1);

  resetRun(run, inputs);
  EXPECT_EQ(run.runModeMarker, "DEBUG");
  EXPECT_EQ(run.inputRoot, "");
  EXPECT_EQ(run.outputFolder, "");
  EXPECT_EQ(run.sequenceNumber, 1);
  EXPECT_FALSE(run.commandLine);
  EXPECT_EQ(run.programFolder, platform::programFolder());
  EXPECT_EQ(run.programFolder.back(), '/');
  EXPECT_EQ(inputs.entryCount(), 0u);
  EXPECT_EQ(run.readableExtensions, (std::vector<std::string>{"psd", "psb"}));
  EXPECT_GE(run.randomNumber, 1);
  EXPECT_LE(run.randomNumber, 99999);
}

}  // namespace
}  // namespace qm
