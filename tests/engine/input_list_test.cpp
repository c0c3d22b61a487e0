#include "engine/batch/input_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "engine/batch/folder_scan.h"
#include "engine/batch/list_import.h"
#include "engine/batch/progress.h"
#include "formats/input_formats.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

RunState runWithRoot(const std::string& root) {
  RunState run;
  run.inputRoot = root;
  run.readableExtensions = deriveReadableExtensions(inputTypeList());
  return run;
}

std::vector<std::string> paths(const InputList& inputs) {
  std::vector<std::string> result;
  for (const InputEntry& entry : inputs.entriesInBucketOrder()) result.push_back(entry.path);
  return result;
}

std::size_t bucketOf(const std::string& path) { return InputList::hashPath(path) % InputList::kBucketCount; }

TEST(InputList, HashRunsOverUtf16Units) {
  EXPECT_EQ(InputList::hashPath(""), 0u);
  EXPECT_EQ(InputList::hashPath("ab"), 'a' * 65599u + 'b');
  // One unit for a two-byte sequence, a surrogate pair beyond the BMP.
  EXPECT_EQ(InputList::hashPath("\xC3\xA9"), 0xE9u);
  EXPECT_EQ(InputList::hashPath("\xF0\x9F\x98\x80"), 0xD83Du * 65599u + 0xDE00u);
}

TEST(InputList, AdmitRefusesEmptyUnreadableAndDuplicateFiles) {
  test::TempFolder folder;
  RunState run = runWithRoot("");
  InputList inputs;
  std::string good = folder.write("a.psd", "not empty");
  std::string upper = folder.write("A.PSD", "not empty");
  std::string empty = folder.write("empty.psd", "");
  std::string other = folder.write("b.png", "not empty");
  std::string sub = folder.makeFolder("c.psd");

  struct Case {
    std::string path;
    int expected;
  } cases[] = {
      {good, 1},
      {good, 0},                    // duplicate
      {upper, 1},                   // differs in letter case only: a second entry
      {empty, 0},                   // an existing 0-byte file
      {other, 0},                   // not a readable type
      {sub, 0},                     // a folder, even one named like a document
      {folder / "missing.psd", 1},  // a missing path passes the size test
  };
  for (const Case& c : cases)
    EXPECT_EQ(inputs.admitFile(c.path, run.inputRoot, run.readableExtensions), c.expected) << c.path;
  EXPECT_EQ(inputs.entryCount(), 3u);

  // The same file through a folder scan adds nothing new.
  RunState scan = runWithRoot(folder.str());
  EXPECT_EQ(scanFolder(folder.str(), inputs, scan), 0);
  EXPECT_EQ(inputs.entryCount(), 3u);

  inputs.remove(good);
  EXPECT_FALSE(inputs.contains(good));
  EXPECT_TRUE(inputs.contains(upper));
  EXPECT_EQ(inputs.entryCount(), 2u);
}

TEST(InputList, RelativeSubFolderRemovesTheRootOnlyAsAPrefix) {
  struct Case {
    const char* path;
    const char* root;
    const char* expected;
  } cases[] = {
      {"/in/sub/x.psd", "/in/", "sub/"},
      {"/in/a/b/x.psd", "/in/", "a/b/"},
      {"/in/x.psd", "/in/", ""},
      {"/other/y.psd", "/in/", ""},
      {"/x/in/a/y.psd", "/in/", ""},    // the root in the middle of the folder
      {"/in/in/z.psd", "/in/", "in/"},  // only the leading occurrence goes
      {"/in/x.psd", "", ""},
      {"", "/in/", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(relativeSubFolder(c.path, c.root), c.expected) << c.path;
}

TEST(InputList, WalkGoesBucketByBucketNewestFirst) {
  // Two paths of one bucket, found by search.
  std::string first, second;
  for (int i = 0; second.empty(); ++i) {
    std::string candidate = "/in/f" + std::to_string(i) + ".psd";
    if (first.empty())
      first = candidate;
    else if (bucketOf(candidate) == bucketOf(first))
      second = candidate;
  }
  ASSERT_NE(bucketOf(first), 0u) << "no lower bucket to compare with";
  std::string elsewhere;
  for (int i = 0; elsewhere.empty(); ++i) {
    std::string candidate = "/in/g" + std::to_string(i) + ".psd";
    if (bucketOf(candidate) < bucketOf(first)) elsewhere = candidate;
  }

  RunState run = runWithRoot("/in/");
  InputList inputs;
  for (const std::string& path : {first, second, elsewhere})
    ASSERT_EQ(inputs.admitFile(path, run.inputRoot, run.readableExtensions), 1);
  EXPECT_EQ(paths(inputs), (std::vector<std::string>{elsewhere, second, first}));

  // Admission order is not walk order, but walking never skips an entry.
  InputList many;
  std::vector<std::size_t> buckets;
  for (int i = 0; i < 2000; ++i) many.admitFile("/in/m" + std::to_string(i) + ".psd", "", run.readableExtensions);
  for (const std::string& path : paths(many)) buckets.push_back(bucketOf(path));
  EXPECT_EQ(buckets.size(), 2000u);
  EXPECT_TRUE(std::is_sorted(buckets.begin(), buckets.end()));
}

TEST(InputList, FolderScanAdmitsEveryDepthAndKeepsSubFolders) {
  test::TempFolder folder;
  folder.write("a.psd", "x");
  folder.write("deep/er/b.psd", "x");
  folder.write("deep/c.txt", "x");
  folder.write("deep/empty.psd", "");
  RunState run = runWithRoot(folder.str());
  InputList inputs;
  Progress progress;
  progress.reset();
  startFolderScan(inputs, run, progress).join();

  ProgressSnapshot done = progress.snapshot();
  EXPECT_EQ(done.savedCount, 2);
  EXPECT_EQ(done.index, 2);  // top-level entries: a.psd and deep/
  ASSERT_NE(inputs.find(folder / "deep/er/b.psd"), nullptr);
  EXPECT_EQ(inputs.find(folder / "deep/er/b.psd")->subFolder, "deep/er/");
  EXPECT_EQ(inputs.find(folder / "a.psd")->subFolder, "");
}

TEST(InputList, FolderScanDoesNotFollowFolderLinks) {
  test::TempFolder folder;
  folder.write("tree/a/x.psd", "x");
  std::filesystem::create_directory_symlink(folder.path() / "tree", folder.path() / "tree/a/loop");
  std::filesystem::create_directory_symlink(folder.path() / "tree/a", folder.path() / "tree/link.psd");
  std::string target = folder.write("outside/y.psd", "x");
  std::filesystem::create_symlink(target, folder.path() / "tree/file-link.psd");

  RunState run = runWithRoot(folder / "tree/");
  InputList inputs;
  int added = scanFolder(run.inputRoot, inputs, run);
  // x.psd and the link to a file; neither folder link is entered or taken.
  EXPECT_EQ(added, 2);
  EXPECT_EQ(paths(inputs).size(), 2u);
  EXPECT_TRUE(inputs.contains(folder / "tree/a/x.psd"));
  EXPECT_TRUE(inputs.contains(folder / "tree/file-link.psd"));
}

TEST(InputList, StoppedFolderScanAdmitsNothingMore) {
  test::TempFolder folder;
  folder.write("a.psd", "x");
  RunState run = runWithRoot(folder.str());
  InputList inputs;
  Progress progress;
  progress.reset();
  progress.requestStop();
  folderScanProcedure(inputs, run, progress);
  EXPECT_EQ(progress.savedCount(), 0);
  EXPECT_EQ(inputs.entryCount(), 0u);
}

TEST(InputList, ListFileLinesAcceptEveryLineEnd) {
  std::string bytes = "\xEF\xBB\xBF  /a.psd \r\n\r\n\t/b c.psd\n \n/c.psd\r/d.psd";
  EXPECT_EQ(listFileLines(bytes), (std::vector<std::string>{"/a.psd", "/b c.psd", "/c.psd", "/d.psd"}));
  EXPECT_TRUE(listFileLines("").empty());
  EXPECT_TRUE(listFileLines("\xEF\xBB\xBF").empty());
}

std::string utf16(std::string_view ascii, bool little, bool mark) {
  std::string out = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
  for (char c : ascii) {
    out += little ? c : '\0';
    out += little ? '\0' : c;
  }
  return out;
}

TEST(InputList, ListFileTextReadsUtf16WithAndWithoutItsMark) {
  const std::string text = "/a.psd\r\n/\xC3\xA4.psd\r\n";
  struct Case {
    std::string name;
    std::string bytes;
  };
  // "ä" (U+00E4) and, below, U+1F600 as a surrogate pair.
  std::string little = utf16("/a.psd\r\n/", true, false) + std::string("\xE4\0", 2) + utf16(".psd\r\n", true, false);
  std::string big = utf16("/a.psd\r\n/", false, false) + std::string("\0\xE4", 2) + utf16(".psd\r\n", false, false);
  const std::vector<Case> cases = {
      {"UTF-8", text},      {"UTF-8 with its mark", "\xEF\xBB\xBF" + text},
      {"UTF-16LE", little}, {"UTF-16LE with its mark", "\xFF\xFE" + little},
      {"UTF-16BE", big},    {"UTF-16BE with its mark", "\xFE\xFF" + big},
  };
  for (const Case& c : cases) EXPECT_EQ(listFileText(c.bytes), text) << c.name;
  EXPECT_EQ(listFileText(utf16("/", true, true) + std::string("\x3D\xD8\x00\xDE", 4)), "/\xF0\x9F\x98\x80");
  // A lone surrogate names no file.
  EXPECT_EQ(listFileText(utf16("/", true, true) + "\x3D\xD8"), "/\xEF\xBF\xBD");
}

TEST(InputList, ListImportSkipsBlanksAndMissingPathsAndScansFolders) {
  test::TempFolder folder;
  std::string a = folder.write("a.psd", "x");
  std::string b = folder.write("dir/sub/b.psd", "x");
  std::string c = folder.write("dir/c.psd", "x");
  folder.write("dir/notes.txt", "x");
  std::string list = folder.write("list.txt", "\xEF\xBB\xBF\r\n   " + a + "  \r\n\r\n" + folder / "missing.psd" + "\n" +
                                                  folder / "dir" + "\r" + a + "\r\n");
  RunState run = runWithRoot("");
  run.inputFile = list;
  InputList inputs;
  Progress progress;
  progress.reset();
  startListImport(inputs, run, progress).join();

  ProgressSnapshot done = progress.snapshot();
  EXPECT_EQ(done.savedCount, 3);
  EXPECT_EQ(done.index, 3);  // a, dir, a again; the missing path is not counted
  EXPECT_TRUE(inputs.contains(a));
  EXPECT_TRUE(inputs.contains(b));
  EXPECT_TRUE(inputs.contains(c));
  EXPECT_EQ(inputs.entryCount(), 3u);

  // A second import of the same list adds nothing and says so.
  progress.reset();
  listImportProcedure(inputs, run, progress);
  EXPECT_EQ(progress.savedCount(), 0);

  // A list that cannot be read adds 0.
  run.inputFile = folder / "no-such-list.txt";
  progress.reset();
  listImportProcedure(inputs, run, progress);
  EXPECT_EQ(progress.savedCount(), 0);
}

// Nesting deeper than any real tree ends where the limit says; a NUL line
// (which once sent the scan round the same folder for ever) names nothing.
TEST(InputList, DeepTreesAndNulLinesEndTheScan) {
  test::TempFolder folder;
  RunState run = runWithRoot("");
  std::string deep = folder.str();
  for (int depth = 0; depth < kMaxFolderDepth + 4; ++depth) deep += "d/";
  std::filesystem::create_directories(deep);
  const std::string shallow = folder.write("d/near.psd", "x");
  const std::string tooDeep = folder.write(deep.substr(folder.str().size()) + "far.psd", "x");
  InputList inputs;
  EXPECT_EQ(scanFolder(folder.str(), inputs, run), 1);
  EXPECT_TRUE(inputs.contains(shallow));
  EXPECT_FALSE(inputs.contains(tooDeep));

  InputList listed;
  run.inputFile = folder.write("list.txt", folder / "d" + std::string("\0x\n", 3) + shallow + "\n");
  Progress progress;
  progress.reset();
  listImportProcedure(listed, run, progress);
  EXPECT_EQ(paths(listed), std::vector<std::string>{shallow});
  EXPECT_TRUE(progress.takeRefusals().empty());
}

TEST(InputList, AdmitHookSeesEveryAdmittedPathOnce) {
  test::TempFolder folder;
  RunState run = runWithRoot(folder.str());
  InputList inputs;
  std::vector<std::string> rows;
  inputs.setAdmitHook([&](const std::string& path) { rows.push_back(path); });
  std::string a = folder.write("a.psd", "x");
  folder.write("b.psd", "");
  scanFolder(folder.str(), inputs, run);
  inputs.admitFile(a, run.inputRoot, run.readableExtensions);
  EXPECT_EQ(rows, std::vector<std::string>{a});
}

}  // namespace
}  // namespace qm
