// Files that are not converted are named on stderr with their reason, one
// line each, quiet or not; stdout stays as it was. The user's document is
// never replaced; sizes nothing can hold fail at once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/image_readback.h"
#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

using Lines = std::vector<std::string>;

std::string writeDocument(const std::string& path, unsigned width = 8, unsigned height = 6) {
  test::PsdImage image(test::PsdColourMode::Rgb, width, height, 8, 3);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) image.setPixel(x, y, 40, 120, 200);
  return test::writePsd(path, image);
}

// The stderr lines that name a file not converted, sorted.
Lines notConverted(const test::ProgramResult& result) {
  Lines lines;
  for (const std::string& line : result.errLines())
    if (line.starts_with("Not converted: ")) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

struct Batch {
  Batch() {
    good1 = writeDocument(in / "good1.psd");
    good2 = writeDocument(in / "good2.psd");
    const std::string whole = test::encodePsd(test::PsdImage(test::PsdColourMode::Rgb, 20, 20, 8, 3));
    truncated = in.write("truncated.psd", whole.substr(0, whole.size() - 100));
    truncatedReason = "damaged or truncated: the file ends at byte " + std::to_string(whole.size() - 100) +
                      ", its image data needs " + std::to_string(whole.size());
    text = in.write("notes.psd", "shopping list: milk, eggs\n");
    png = in.write("picture.psd", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, '\0'));
  }
  test::TempFolder in;
  test::TempFolder out;
  std::string good1, good2, truncated, text, png;
  std::string truncatedReason;
};

TEST(FailureReasons, EveryFailedFileIsNamedOnceWithItsReason) {
  Batch batch;
  for (bool quiet : {false, true}) {
    SCOPED_TRACE(quiet ? "quiet" : "not quiet");
    std::vector<std::string> arguments = {"-i", batch.in.str(), "-o", batch.out.str(), "-c", "png"};
    if (quiet) arguments.push_back("-q");
    const test::ProgramResult result = test::runProgram(arguments);
    EXPECT_EQ(result.exitCode, 1);
    const Lines expected = {
        "Not converted: " + batch.text + ": not a Photoshop document",
        "Not converted: " + batch.png + ": not a Photoshop document",
        "Not converted: " + batch.truncated + ": " + batch.truncatedReason,
    };
    Lines sortedExpected = expected;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    EXPECT_EQ(notConverted(result), sortedExpected);
    EXPECT_EQ(result.errLines().size(), 3u) << result.err;
    // Stdout is the run's own: the summary, nothing about the failures.
    if (quiet) {
      EXPECT_EQ(result.out, "");
    } else {
      ASSERT_FALSE(result.outLines().empty());
      EXPECT_EQ(result.outLines().back(), "Files converted: 2 of 5");
    }
    EXPECT_TRUE(std::filesystem::exists(batch.out / "good1.png"));
    EXPECT_TRUE(std::filesystem::exists(batch.out / "good2.png"));
  }
}

TEST(FailureReasons, FormatsThatCannotHoldTheImageSaySo) {
  test::TempFolder in;
  test::TempFolder out;
  const std::string oblong = writeDocument(in / "oblong.psd", 40, 20);
  const std::string square = writeDocument(in / "square.psd", 20, 20);
  const std::string tiny = writeDocument(in / "tiny.psd", 20, 40);
  auto icons = test::runProgram({"-i", in.str(), "-o", out.str(), "-c", "ico", "-q"});
  EXPECT_EQ(
      notConverted(icons),
      (Lines{"Not converted: " + oblong + ": an icon must be square, 16 to 256 pixels a side; this image is 40 x 20",
             "Not converted: " + tiny + ": an icon must be square, 16 to 256 pixels a side; this image is 20 x 40"}));
  EXPECT_TRUE(std::filesystem::exists(out / "square.ico"));

  auto jpeg2000 = test::runProgram({"-i", square, "-o", out.str(), "-c", "jp2", "-q"});
  EXPECT_EQ(notConverted(jpeg2000),
            Lines{"Not converted: " + square + ": JPEG 2000 needs at least 32 pixels a side; this image is 20 x 20"});
}

TEST(FailureReasons, TheDocumentItselfIsNeverReplaced) {
  test::TempFolder folder;
  const std::string document = writeDocument(folder / "a.psd");
  const std::string before = test::readFileBytes(document);
  // Without -o the output folder is the document's own; psd to psd names
  // the output like the input.
  auto result = test::runProgram({"-i", document, "-c", "psd", "-q"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(test::readFileBytes(document), before);
  EXPECT_EQ(notConverted(result),
            Lines{"Not converted: " + document + ": the output would replace the document itself"});
  EXPECT_EQ(test::folderEntries(folder.str()), Lines{"a.psd"});

  // Also when a link leads there.
  test::TempFolder other;
  std::filesystem::create_symlink(document, other / "linked.psd");
  auto linked =
      test::runProgram({"-i", other / "linked.psd", "-o", folder.str(), "-c", "psd", "-q", "--filename-mask=a.%ext%"});
  EXPECT_EQ(test::readFileBytes(document), before);
  EXPECT_EQ(notConverted(linked).size(), 1u) << linked.err;
}

TEST(FailureReasons, SizesNothingCanHoldFailWithTheirReason) {
  test::TempFolder folder;
  const std::string document = writeDocument(folder / "a.psd");
  auto wide =
      test::runProgram({"-i", document, "-o", folder.str(), "-c", "png", "-q", "--width=700000000", "--height=1"});
  EXPECT_EQ(wide.exitCode, 1);
  EXPECT_EQ(notConverted(wide), Lines{"Not converted: " + document +
                                      ": too large: the result would be 700000000 x 1 "
                                      "pixels, and png holds at most 1000000 a side"});
  auto huge = test::runProgram(
      {"-i", document, "-o", folder.str(), "-c", "tiff", "-q", "--width=2000000000", "--height=2000000000"});
  ASSERT_EQ(notConverted(huge).size(), 1u);
  EXPECT_NE(notConverted(huge)[0].find("more than the memory this process may use"), std::string::npos);
}

TEST(FailureReasons, AnOutputThatCannotBeWrittenGivesTheSystemsWords) {
  test::TempFolder in;
  test::TempFolder out;
  const std::string document = writeDocument(in / "a.psd");
  // A folder where the output file should go: the rename cannot replace it.
  std::filesystem::create_directory(out / "a.png");
  auto blocked = test::runProgram({"-i", document, "-o", out.str(), "-c", "png", "-q"});
  EXPECT_EQ(notConverted(blocked),
            Lines{"Not converted: " + document + ": cannot put the output in place: Is a directory"});
}

TEST(FailureReasons, AFolderWithoutWritePermissionGivesTheSystemsWords) {
  if (geteuid() == 0) GTEST_SKIP() << "folder permissions do not hold for root";
  test::TempFolder in;
  const std::string document = writeDocument(in / "a.psd");
  test::TempFolder locked;
  std::filesystem::permissions(locked.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  auto refused = test::runProgram({"-i", document, "-o", locked.str(), "-c", "png", "-q"});
  std::filesystem::permissions(locked.path(), std::filesystem::perms::owner_all);
  EXPECT_EQ(notConverted(refused), Lines{"Not converted: " + document + ": cannot write: Permission denied"});
}

// The image libraries' own messages stay off the console: the TIFF library
// warns about every EXIF tag of these documents it does not know.
TEST(FailureReasons, LibraryChatterStaysOffTheConsole) {
  const std::filesystem::path corpus = QM_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no Photoshop corpus at " << QM_CORPUS_DIR;
  test::TempFolder in;
  test::TempFolder out;
  for (const char* name : {"1layer.psd", "2layers.psd", "300dpi.psd"})
    std::filesystem::copy_file(corpus / name, in.path() / name);
  auto result = test::runProgram({"-i", in.str(), "-o", out.str(), "-c", "tiff", "-q"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(test::folderEntries(out.str()).size(), 3u);
}

// A list writes every output flat: documents of one name from several
// folders would leave one picture for three conversions.
TEST(FailureReasons, DocumentsOfOneNameInOneRunNeverShareAnOutput) {
  test::TempFolder in;
  test::TempFolder out;
  std::string list;
  for (const char* folder : {"one", "two", "three"}) list += writeDocument(in.makeFolder(folder) + "a.psd") + "\n";
  const std::string listFile = in.write("all.txt", list);
  // An output of an earlier run is replaced as always.
  out.write("a.png", "an earlier run's output");
  const test::ProgramResult result = test::runProgram({"-i", listFile, "-o", out.str(), "-c", "png", "-q"});
  EXPECT_EQ(result.exitCode, 1);
  // Which one comes first is the Input list's order; the other two fail.
  const std::string reason = "/a.psd: another document of this run was written to " + (out / "a.png");
  const Lines lines = notConverted(result);
  int refused = 0;
  for (const char* folder : {"one", "two", "three"})
    refused += static_cast<int>(std::count(lines.begin(), lines.end(), "Not converted: " + in.str() + folder + reason));
  EXPECT_EQ(refused, 2) << result.err;
  EXPECT_EQ(result.errLines().size(), 2u) << result.err;
  EXPECT_EQ(test::folderEntries(out.str()), Lines{"a.png"});
  EXPECT_NE(test::readFileBytes(out / "a.png"), "an earlier run's output");
}

// A full disk is named as the system names it, whichever library writes.
TEST(FailureReasons, AFullDiskIsNamedForEveryWriter) {
  if (geteuid() != 0 || std::system("unshare -m true 2>/dev/null") != 0)
    GTEST_SKIP() << "needs root to mount a small file system";
  test::TempFolder in;
  test::TempFolder full;
  // Noise, so that no writer's compression fits it into the disk.
  test::PsdImage noise(test::PsdColourMode::Rgb, 400, 300, 8, 3);
  for (unsigned y = 0; y < 300; ++y)
    for (unsigned x = 0; x < 400; ++x)
      noise.setPixel(x, y, static_cast<std::uint16_t>((x * 7919 + y) % 251),
                     static_cast<std::uint16_t>((y * 104729 + x) % 241), (x ^ y) & 255);
  const std::string document = test::writePsd(in / "noise.psd", noise);
  for (const char* extension : {"psd", "dds", "pcx", "png", "tiff"}) {
    SCOPED_TRACE(extension);
    const std::string command = "unshare -m sh -c \"mount -t tmpfs -o size=16k tmpfs '" + full.str() +
                                "' && XDG_RUNTIME_DIR='" + in.str() + "' '" + test::programPath() + "' -q -i '" +
                                document + "' -o '" + full.str() + "' -c " + extension +
                                " 2>&1 | grep '^Not converted: '\" > '" + (in / "err.txt") + "'; true";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(test::readFileBytes(in / "err.txt"),
              "Not converted: " + document + ": cannot write: No space left on device\n");
  }
}

}  // namespace
}  // namespace qm
