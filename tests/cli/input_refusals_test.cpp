// Files the user named and the run could not add are named on stderr with
// their reason, quiet or not; hostile list files and folder trees end the
// import with what they really name, never with a crash; documents whose
// packed rows are damaged are refused, not converted into black.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

using Lines = std::vector<std::string>;

std::string writeDocument(const std::string& path) {
  test::PsdImage image(test::PsdColourMode::Rgb, 4, 3, 8, 3);
  for (unsigned y = 0; y < 3; ++y)
    for (unsigned x = 0; x < 4; ++x) image.setPixel(x, y, 10, 20, 30);
  return test::writePsd(path, image);
}

std::string utf16LittleWithoutMark(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

TEST(InputRefusals, FilesNamedButNotAddedAreNamedWithTheirReason) {
  test::TempFolder in;
  const std::string good = writeDocument(in / "good.psd");
  const std::string empty = in.write("empty.psd", "");
  const std::string picture = in.write("photo.jpg", "not really a jpeg");
  const std::string missing = in / "gone.psd";
  const std::string emptyInTree = in.write("tree/deep/blank.psd", "");
  writeDocument(in / "tree/deep/ok.psd");
  in.write("tree/notes.txt", "a scan passes over other types silently");
  const std::string list = in.write(
      "list.txt", good + "\n" + missing + "\nrelative/a.psd\n" + empty + "\n" + picture + "\n" + in / "tree" + "\n");
  struct Case {
    std::string name;
    std::string input;
    Lines err;
    int exitCode;
  };
  const std::vector<Case> cases = {
      {"a list file",
       list,
       {"Not added: " + missing + ": no such file",
        "Not added: relative/a.psd: a relative path; list files name absolute paths",
        "Not added: " + empty + ": an empty file",
        "Not added: " + picture + ": not a Photoshop document (.psd or .psb)",
        "Not added: " + emptyInTree + ": an empty file"},
       0},
      {"-i with another type", picture, {"Not added: " + picture + ": not a Photoshop document (.psd or .psb)"}, 1},
      {"a scanned folder", in / "tree", {"Not added: " + emptyInTree + ": an empty file"}, 0},
  };
  for (const Case& c : cases) {
    for (bool quiet : {false, true}) {
      SCOPED_TRACE(c.name + (quiet ? ", quiet" : ""));
      test::TempFolder out;
      Lines arguments = {"-i", c.input, "-o", out.str(), "-c", "png"};
      if (quiet) arguments.push_back("-q");
      const test::ProgramResult result = test::runProgram(arguments);
      EXPECT_EQ(result.errLines(), c.err);
      EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
    }
  }
}

TEST(InputRefusals, HostileListFilesEndTheImportWithoutACrash) {
  test::TempFolder in;
  const std::string folder = in.makeFolder("docs");
  writeDocument(folder + "good.psd");
  std::string random(10u << 20, '\0');
  std::uint32_t state = 2026;
  for (char& c : random) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  const std::string huge = in / "huge.txt";
  {
    // Sparse: its size is over the limit, its blocks are not on disk.
    std::filesystem::resize_file(in.write("huge.txt", ""), std::uintmax_t{300} << 20);
  }
  struct Case {
    std::string name;
    std::string list;  // the list file
    int converted;
    Lines err;
  };
  const std::vector<Case> cases = {
      {"a NUL after a folder", in.write("nul.txt", folder + std::string("\0x\n", 3)), 0, {}},
      {"UTF-16 without a mark", in.write("utf16.txt", utf16LittleWithoutMark(folder + "\r\n")), 1, {}},
      {"10 MB of random bytes",
       in.write("random.txt", random),
       0,
       {"Not added: " + in / "random.txt" + ": not a text file, so not a list of paths"}},
      {"over the size limit", huge, 0, {"Not added: " + huge + ": larger than 256 MiB, too large for a list file"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder out;
    const test::ProgramResult result = test::runProgram({"-i", c.list, "-o", out.str(), "-c", "png", "-q"});
    EXPECT_EQ(result.exitCode, c.converted == 1 ? 0 : 1) << result.err;
    EXPECT_EQ(result.errLines(), c.err);
    EXPECT_EQ(std::filesystem::exists(out / "good.png"), c.converted == 1);
  }
}

std::uint64_t bigEndian(const std::string& bytes, std::size_t at, int count) {
  std::uint64_t value = 0;
  for (int i = 0; i < count; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}

TEST(InputRefusals, DocumentsWithDamagedPackedRowsAreNotConverted) {
  test::TempFolder in;
  // 60 KB that claim 10000 x 10000 pixels: a table of zero-length rows.
  std::string forged = test::encodePsd(test::PsdImage(test::PsdColourMode::Rgb, 1, 1, 8, 3));
  forged.resize(26);
  for (int section = 0; section < 3; ++section) test::put32(forged, 0);
  forged.replace(14, 8, std::string("\0\0\x27\x10\0\0\x27\x10", 8));
  test::put16(forged, 1);
  forged.append(3 * 10000 * 2, '\0');
  Lines documents = {in.write("forged.psd", forged)};

  // A real document with its row table zeroed, when the corpus is here.
  const std::filesystem::path corpus = QM_CORPUS_DIR;
  for (const char* name : {"2layers.psd", "1layer.psd"}) {
    if (!std::filesystem::exists(corpus / name)) continue;
    std::string bytes = test::readFileBytes((corpus / name).string());
    std::size_t at = 26;
    for (int section = 0; section < 3; ++section) at += 4 + bigEndian(bytes, at, 4);
    if (bigEndian(bytes, at, 2) != 1) continue;
    const std::size_t rows = bigEndian(bytes, 12, 2) * bigEndian(bytes, 14, 4);
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at + 2),
              bytes.begin() + static_cast<std::ptrdiff_t>(at + 2 + 2 * rows), '\0');
    documents.push_back(in.write(std::string("zeroed-") + name, bytes));
    break;
  }
  for (const std::string& document : documents) {
    SCOPED_TRACE(document);
    test::TempFolder out;
    const test::ProgramResult result = test::runProgram({"-i", document, "-o", out.str(), "-c", "png", "-q"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errLines(),
              Lines{"Not converted: " + document +
                    ": damaged: row 1 of channel 1 of the merged image does not unpack to its width"});
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
  }
}

// The samples of a binary PPM, read here: ImageMagick's policy refuses
// pictures wider than 16000 pixels, and FreeImage is the writer on trial.
std::string ppmSamples(const std::string& path) {
  const std::string bytes = test::readFileBytes(path);
  std::size_t at = 0;
  for (int field = 0; field < 4; ++field) {  // magic, width, height, largest value
    at = bytes.find_first_not_of(" \n", at);
    at = bytes.find_first_of(" \n", at);
    if (at == std::string::npos) return {};
  }
  return bytes.substr(at + 1);
}

// Large documents are taken wherever a document is: -i, a list, a folder
// scan; with sides a small document cannot have.
TEST(InputRefusals, LargeDocumentsConvertLikeDocuments) {
  struct Case {
    std::string name;
    unsigned width, height;
    test::PsdCompression compression;
  };
  const std::vector<Case> cases = {
      {"packed", 5, 3, test::PsdCompression::Rle},
      {"raw", 4, 2, test::PsdCompression::Raw},
      {"wider than a small document may be", 40000, 2, test::PsdCompression::Rle},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder in;
    test::PsdImage image(test::PsdColourMode::Rgb, c.width, c.height, 8, 3, c.compression);
    image.large = true;
    std::string expected;
    for (unsigned y = 0; y < c.height; ++y)
      for (unsigned x = 0; x < c.width; ++x) {
        const unsigned r = (x * 37) % 256, g = (y * 90) % 256, b = (x + y) % 2 ? 250 : 5;
        image.setPixel(x, y, static_cast<std::uint16_t>(r), static_cast<std::uint16_t>(g),
                       static_cast<std::uint16_t>(b));
        expected += std::string{static_cast<char>(r), static_cast<char>(g), static_cast<char>(b)};
      }
    const std::string document = test::writePsd(in / "large.psb", image);
    const std::string list = in.write("list.txt", document + "\n");
    for (const std::string& input : {document, list, in.str()}) {
      SCOPED_TRACE(input);
      test::TempFolder out;
      const test::ProgramResult result = test::runProgram({"-i", input, "-o", out.str(), "-c", "ppm", "-q"});
      EXPECT_EQ(result.exitCode, 0) << result.err;
      EXPECT_EQ(result.err, "");
      const std::string pixels = ppmSamples(out / "large.ppm");
      ASSERT_EQ(pixels.size(), expected.size());
      EXPECT_TRUE(pixels == expected) << "first pixels " << testing::PrintToString(pixels.substr(0, 12)) << " for "
                                      << testing::PrintToString(expected.substr(0, 12));
    }
  }
}

// A folder mounted inside itself shows the scan the same folder under ever
// longer names; it is listed once. Needs a mount namespace of its own.
TEST(InputRefusals, FolderMountedInsideItselfIsScannedOnce) {
  if (::access("/usr/bin/unshare", X_OK) != 0) GTEST_SKIP() << "no unshare";
  test::TempFolder in;
  test::TempFolder out;
  writeDocument(in / "a.psd");
  const std::string loop = in.makeFolder("loop");
  test::ProgramOptions options;
  options.program = "/usr/bin/unshare";
  const std::string script = "mount --bind \"$1\" \"$2\" || exit 77; exec \"$3\" -i \"$1\" -o \"$4\" -c png";
  const test::ProgramResult result = test::runProgram(
      {"--mount", "--propagation", "private", "sh", "-c", script, "sh", in.str(), loop, test::programPath(), out.str()},
      options);
  if (result.exitCode == 77 || result.err.find("unshare failed") != std::string::npos)
    GTEST_SKIP() << "no mount namespace here: " << result.err;
  EXPECT_EQ(result.exitCode, 0) << result.err;
  ASSERT_FALSE(result.outLines().empty());
  EXPECT_EQ(result.outLines().back(), "Files converted: 1 of 1");
}

}  // namespace
}  // namespace qm
