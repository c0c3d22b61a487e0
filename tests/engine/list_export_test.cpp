// The export thread's list file read back, and the line-feed count the
// import dialog sizes its bar by.
#include "engine/batch/list_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "engine/batch/input_list.h"
#include "engine/batch/list_import.h"
#include "engine/batch/progress.h"
#include "formats/input_formats.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

TEST(ListExport, WritesRowsInOrderAndReadsBackIntoTheSameRows) {
  test::TempFolder folder;
  const std::vector<std::string> rows = {folder.write("z.psd", "x"), folder.write("a b/\xC3\xA9.psd", "x"),
                                         folder.write("m.psd", "x")};
  const std::string list = folder.write("list.txt", "an older, longer list that must go entirely");
  Progress progress;
  progress.reset();
  startListExport(rows, list, progress).join();
  EXPECT_EQ(progress.savedCount(), 3);
  EXPECT_EQ(progress.snapshot().index, 3);
  EXPECT_EQ(test::readFileBytes(list), "\xEF\xBB\xBF" + rows[0] + "\r\n" + rows[1] + "\r\n" + rows[2] + "\r\n");
  // No temporary file is left beside it.
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    EXPECT_FALSE(entry.path().filename().string().starts_with("list.txt.")) << entry.path();

  RunState run;
  run.readableExtensions = deriveReadableExtensions(inputTypeList());
  run.inputFile = list;
  InputList inputs;
  std::vector<std::string> admitted;
  inputs.setAdmitHook([&](const std::string& path) { admitted.push_back(path); });
  for (int pass = 0; pass < 2; ++pass) {
    Progress reading;
    reading.reset();
    startListImport(inputs, run, reading).join();
    EXPECT_EQ(reading.savedCount(), pass == 0 ? 3 : 0);
  }
  EXPECT_EQ(admitted, rows);
}

TEST(ListExport, StoppedOrImpossibleExportsKeepWhatTheyShould) {
  test::TempFolder folder;
  // Stopped before the first row: a list with its mark and nothing else.
  const std::string list = folder / "stopped.txt";
  Progress progress;
  progress.reset();
  progress.requestStop();
  listExportProcedure({"/a.psd", "/b.psd"}, list, progress);
  EXPECT_EQ(progress.savedCount(), 0);
  EXPECT_EQ(test::readFileBytes(list), "\xEF\xBB\xBF");

  // A folder that does not exist: nothing written, 0 saved.
  Progress nowhere;
  nowhere.reset();
  listExportProcedure({"/a.psd"}, folder / "missing/list.txt", nowhere);
  EXPECT_EQ(nowhere.savedCount(), 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST(ListExport, LineFeedsAreCountedAcrossBlocks) {
  test::TempFolder folder;
  struct Case {
    std::string name;
    std::string bytes;
    std::int64_t feeds;
  };
  const Case cases[] = {
      {"none.txt", "/one/path.psd", 0},
      {"crlf.txt", "/a.psd\r\n/b.psd\r\n", 2},
      {"cr-only.txt", "/a.psd\r/b.psd\r", 0},
      // Line feeds on both sides of the 64 KB block border, and a last
      // block that is only partly filled.
      {"blocks.txt", std::string(65535, 'a') + "\n\n" + std::string(70000, 'b') + "\n", 3},
  };
  for (const Case& c : cases) EXPECT_EQ(countLineFeeds(folder.write(c.name, c.bytes)), c.feeds) << c.name;
  EXPECT_EQ(countLineFeeds(folder / "missing.txt"), 0);
}

}  // namespace
}  // namespace qm
