// The command line as a user meets it: the real program in a child
// process, real documents in temporary folders, the exact console lines,
// exit codes and the files written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/steps/steps.h"
#include "support/image_readback.h"
#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

extern char** environ;

namespace qm {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const Lines kBanner = {"Quillmark 2.5", "Copyright (c) 2009-2026 Ferroval. All rights reserved.",
                       "www.ferroval.example", " "};

std::string writeDocument(const std::string& path, unsigned width = 8, unsigned height = 6) {
  test::PsdImage image(test::PsdColourMode::Rgb, width, height, 8, 3);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x)
      image.setPixel(x, y, static_cast<std::uint16_t>(10 * x), static_cast<std::uint16_t>(20 * y), 128);
  fs::create_directories(fs::path(path).parent_path());
  return test::writePsd(path, image);
}

std::vector<std::string> filesBelow(const fs::path& folder) {
  std::vector<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

bool contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Input and output folders of one test, and runs of the program on them.
class CommandLine : public ::testing::Test {
 protected:
  // These tests compare stderr exactly; in sanitizer builds the leak
  // checker's note on suppressed system-library leaks is no program output.
  static void SetUpTestSuite() {
    std::string options = std::getenv("LSAN_OPTIONS") ? std::getenv("LSAN_OPTIONS") : "";
    if (options.find("print_suppressions") == std::string::npos)
      setenv("LSAN_OPTIONS", (options.empty() ? "" : options + ":").append("print_suppressions=0").c_str(), 1);
  }

  test::ProgramResult run(const Lines& arguments, const test::ProgramOptions& options = {}) {
    return test::runProgram(arguments, options);
  }
  // A quiet debug run: only the echo and the per-file lines.
  Lines echo(Lines arguments) {
    arguments.insert(arguments.end(), {"-q", "-d"});
    auto result = run(arguments);
    EXPECT_EQ(result.err, "");
    return result.outLines();
  }

  test::TempFolder in;
  test::TempFolder out;
};

TEST_F(CommandLine, MissingValuesEndWithIncorrectNumberOfParameters) {
  std::string document = writeDocument(in / "a.psd");
  const Lines cases[] = {
      {"-o", out.str(), "-i"},
      {"-o", out.str(), "-i", "-q"},
      {"-o", out.str(), "--input"},
      {"-o", out.str(), "--input="},
      {"-o", out.str(), "-i", document, "--jpg-quality"},
      {"-o", out.str(), "-i", document, "--wm-text=--words"},
      {"-o", out.str(), "-i", document, "-c"},
      {"-i", document, "-o", "-c", "png"},
  };
  for (const Lines& arguments : cases) {
    auto result = run(arguments);
    std::string shown = ::testing::PrintToString(arguments);
    EXPECT_EQ(result.exitCode, 1) << shown;
    EXPECT_EQ(result.out, "") << shown;
    EXPECT_EQ(result.err, "Error: Incorrect number of parameters\n") << shown;
  }
  EXPECT_TRUE(filesBelow(out.path()).empty());
}

TEST_F(CommandLine, OptionValuesAsTheEchoShowsThem) {
  std::string document = writeDocument(in / "a.psd");
  struct Case {
    Lines options;
    std::string line;
  } cases[] = {
      {{"-c", "jpg", "--jpg-quality=95abc"}, "JPG Quality: 95"},
      {{"-c", "jpg", "--jpg-quality=$1F"}, "JPG Quality: 31"},
      {{"--brightness=-20"}, "Brightness: -20"},
      {{"-c", "png", "--png-compression=rle"}, "PNG Compression: ZLIB1"},
      {{"--invert=0"}, "Invert: 1"},
      {{"--gamma=1"}, "Gamma: 1.00"},
      {{"--resize-algorithm=sideways", "--width=4", "--height=3"}, "Image Resize Algorithm: BOX"},
      {{"--WIDTH=4", "--Height=3", "--height-unit=percent"}, "Height: 3 PERCENT"},
      {{"--fr-solid-top=2"}, "Frame: SOLID"},
      {{"--wm-image=" + document}, "Watermark image: " + document},
      {{"--file-timestamp=custom", "--file-timestamp-custom=1234"}, "Custom Timestamp: 1234"},
      {{"--no-subfolders=1"}, "Keep Subfolders: 0"},
      {{"--filename-mask=%n%-%filename%.%ext%"}, "Filename Mask: %n%-%filename%.%ext%"},
  };
  for (const Case& c : cases) {
    Lines arguments{"-i", document, "-o", out.str()};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    Lines lines = echo(arguments);
    EXPECT_TRUE(contains(lines, c.line)) << c.line << " not in " << ::testing::PrintToString(lines);
  }
}

TEST_F(CommandLine, InputOptionFormsAreEquivalent) {
  std::string document = writeDocument(in / "a.psd");
  // A short form reads the next parameter as any option value is read, so
  // a long form there gives the text after its "=".
  for (Lines input : {Lines{"-i", document}, Lines{"-I", document}, Lines{"--INPUT=" + document},
                      Lines{" --input=" + document + " "}, Lines{"-i", "--input=" + document}}) {
    fs::remove_all(out.path() / "a.bmp");
    input.insert(input.end(), {"-o", out.str(), "-q"});
    auto result = run(input);
    EXPECT_EQ(result.exitCode, 0) << input[0];
    EXPECT_EQ(filesBelow(out.path()), Lines{"a.bmp"}) << input[0];
  }
}

// The full echo of a run with every step off, and the summary of a folder
// run, line for line.
TEST_F(CommandLine, DebugRunWritesEveryLineInOrder) {
  writeDocument(in / "a.psd");
  auto result = run({"-i", in.str(), "-o", out.str(), "-d"});
  Lines expected = kBanner;
  Lines rest = {"Preparing...",
                "Input: " + in.str(),
                "Output: " + out.str(),
                "Conversion: bmp",
                "BMP BPP: 0",
                "BMP Compression: NONE",
                "BMP Color Table: AUTO",
                "Flip Horizontal: 0",
                "Flip Vertical: 0",
                "Greyscale: 0",
                "Frame: NONE",
                "Watermark: NONE",
                "Filename Mask: %filename%.%ext%",
                "File Timestamp: CURRENT",
                "Keep Subfolders: 1",
                "Importing...",
                "Import complete, new files added: 1",
                "Converting...",
                "Processing: " + in.str() + "a.psd",
                "Saving As: " + out.str() + "a.bmp",
                "OK",
                "Conversion complete",
                "Files converted: 1 of 1"};
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(result.outLines(), expected);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(filesBelow(out.path()), Lines{"a.bmp"});
}

TEST_F(CommandLine, EchoOfEveryStepFollowsItsChecks) {
  std::string document = writeDocument(in / "a.psd");
  Lines lines =
      echo({"-i", document, "-o", out.str(), "-c", "tiff", "--rotation=90", "--width=4", "--height=3", "--contrast=5",
            "--threshold=100", "--fr-solid-left=1", "--wm-text=Hi", "--file-timestamp=original"});
  Lines expected = {"Input: " + document,
                    "Output: " + out.str(),
                    "Conversion: tiff",
                    "TIFF BPP: 0",
                    "TIFF Compression: NONE",
                    "TIFF Color Model: RGB",
                    "Image Rotation Type: SIMPLE",
                    "Image Rotation: 90",
                    "Image Rotation Back Color: 000000",
                    "Width: 4 PIXELS",
                    "Height: 3 PIXELS",
                    "Keep Aspect Ratio: 0",
                    "Image Resize Type: ALLIMAGES",
                    "Image Resize Algorithm: BICUBIC",
                    "Flip Horizontal: 0",
                    "Flip Vertical: 0",
                    "Brightness: 0",
                    "Contrast: 5",
                    "Gamma: 1.00",
                    "Invert: 0",
                    "Greyscale: 0",
                    "Image Threshold: 100",
                    "Frame: SOLID",
                    "Frame left: 1",
                    "Frame right: 0",
                    "Frame top: 0",
                    "Frame bottom: 0",
                    "Frame left color: 000000",
                    "Frame right color: 000000",
                    "Frame top color: 000000",
                    "Frame bottom color: 000000",
                    "Frame opacity: 255",
                    "Watermark: TEXT",
                    "Watermark text: Hi",
                    "Watermark font: Arial",
                    "Watermark font size: 14",
                    "Watermark font leading: 0",
                    "Watermark font color: FFFFFF",
                    "Watermark font style: REGULAR",
                    "Watermark font effect: NONE",
                    "Watermark text antialiasing: 0",
                    "Watermark text alignment: LEFT",
                    "Watermark text padding: 0",
                    "Watermark text opacity: 255",
                    "Watermark background color: 000000",
                    "Watermark background opacity: 1",
                    "Watermark boundary: IMAGE",
                    "Watermark position: BOTTOMRIGHT",
                    "Watermark offset (x/y): 10/10",
                    "Watermark rotation: 0",
                    "Watermark size/mode: FIXED",
                    "Filename Mask: %filename%.%ext%",
                    "File Timestamp: ORIGINAL",
                    "Keep Subfolders: 1",
                    "Processing: " + document,
                    "Saving As: " + out.str() + "a.tiff",
                    "OK"};
  EXPECT_EQ(lines, expected);
}

TEST_F(CommandLine, ValidationErrors) {
  std::string document = writeDocument(in / "a.psd");
  std::string empty = in.write("empty.psd", "");
  in.makeFolder("my.folder");
  struct Case {
    Lines arguments;
    std::string error;
  } cases[] = {
      {{"-i", in / "missing.psd"}, "Invalid input file"},
      {{"-i", empty}, "Invalid input file"},
      {{"-i", in / "my.folder"}, "Invalid input file"},
      {{"-i", "../somewhere"}, "Incorrect input folder"},
      {{"-i", in / "no-such-folder"}, "Invalid input folder"},
      {{"-i", document, "-o", "../up"}, "Incorrect output folder"},
      {{"-i", document, "-o", out / "not-there"}, "Invalid output folder"},
      {{"-i", document, "-c", "JPG"}, "Invalid conversion type"},
      {{"-i", document, "-c", "tiff", "--tiff-bpp=2"}, "Invalid tiff-bpp value"},
      {{"-i", document, "-c", "gif", "--gif-bpp=24"}, "Invalid gif-bpp value"},
      {{"-i", document, "-c", "jpg", "--jpg-quality=0"}, "Invalid jpg-quality value"},
      {{"-i", document, "-c", "jpg", "--jpg-quality=101"}, "Invalid jpg-quality value"},
      {{"-i", document, "--width=800"}, "Invalid height value"},
      {{"-i", document, "--height=800"}, "Invalid width value"},
      {{"-i", document, "--width=abc", "--height=5"}, "Invalid width value"},
      {{"-i", document, "--brightness=101"}, "Invalid brightness value"},
      {{"-i", document, "--contrast=-101"}, "Invalid contrast value"},
      {{"-i", document, "--gamma=0"}, "Invalid gamma value"},
      {{"-i", document, "--gamma=10"}, "Invalid gamma value"},
      {{"-i", document, "--wm-text=x", "--wm-font=No Such Face At All"}, "Invalid watermark font"},
      {{"-i", document, "--wm-image=" + in / "missing.png"}, "Invalid watermark image"},
      {{"-i", document, "--wm-image=" + empty}, "Invalid watermark image"},
  };
  for (const Case& c : cases) {
    Lines arguments = c.arguments;
    std::string shown = ::testing::PrintToString(arguments);
    if (std::find(arguments.begin(), arguments.end(), "-o") == arguments.end())
      arguments.insert(arguments.end(), {"-o", out.str()});
    auto result = run(arguments);
    EXPECT_EQ(result.exitCode, 1) << shown;
    EXPECT_EQ(result.err, "Error: " + c.error + "\n") << shown;
    Lines expected = kBanner;
    expected.push_back("Preparing...");
    EXPECT_EQ(result.outLines(), expected) << shown;
  }
  EXPECT_TRUE(filesBelow(out.path()).empty());
}

TEST_F(CommandLine, BitDepthsAreCheckedOnlyForTheSelectedFormat) {
  std::string document = writeDocument(in / "a.psd");
  auto otherFormat = run({"-i", document, "-o", out.str(), "-c", "png", "--tiff-bpp=2", "--jpg-bpp=0", "-q"});
  EXPECT_EQ(otherFormat.exitCode, 0);
  EXPECT_EQ(otherFormat.err, "");
  auto automatic = run({"-i", document, "-o", out.str(), "-c", "gif", "--gif-bpp=0", "-q"});
  EXPECT_EQ(automatic.exitCode, 0);
  auto permitted = run({"-i", document, "-o", out.str(), "-c", "tiff", "--tiff-bpp=24", "-q"});
  EXPECT_EQ(permitted.exitCode, 0);
  EXPECT_EQ(filesBelow(out.path()), (Lines{"a.gif", "a.png", "a.tiff"}));
}

TEST_F(CommandLine, QuietWritesNothingButWhatItMust) {
  std::string document = writeDocument(in / "a.psd");
  auto quiet = run({"-i", document, "-o", out.str(), "-q"});
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(filesBelow(out.path()), Lines{"a.bmp"});

  // Error lines are written whatever -q says.
  auto error = run({"-q", "-i", document, "-o", out.str(), "-c", "nope"});
  EXPECT_EQ(error.out, "");
  EXPECT_EQ(error.err, "Error: Invalid conversion type\n");

  // So are the lines of a run that found nothing to convert.
  std::string csv = in.write("data.csv", "1,2,3");
  auto nothing = run({"-q", "-i", csv, "-o", out.str()});
  EXPECT_EQ(nothing.exitCode, 1);
  EXPECT_EQ(nothing.outLines(),
            (Lines{"Conversion stopped", "No input file(s) found. Please, add valid file(s) and try again!"}));
  EXPECT_EQ(nothing.err, "Not added: " + csv + ": not a Photoshop document (.psd or .psb)\n");
}

TEST_F(CommandLine, AnUnacceptedInputTypeFindsNothing) {
  std::string csv = in.write("data.csv", "1,2,3");
  auto result = run({"-i", csv, "-o", out.str()});
  EXPECT_EQ(result.exitCode, 1);
  Lines expected = kBanner;
  for (const char* line : {"Preparing...", "Importing...", "Import complete, new files added: 0", "Conversion stopped",
                           "No input file(s) found. Please, add valid file(s) and try again!"})
    expected.push_back(line);
  EXPECT_EQ(result.outLines(), expected);
  EXPECT_TRUE(filesBelow(out.path()).empty());
}

TEST_F(CommandLine, OneFailedFileOfThreeMakesTheRunFail) {
  writeDocument(in / "a.psd");
  writeDocument(in / "b.psd");
  in.write("broken.psd", "8BPS but nothing after it that a reader could use");
  auto result = run({"-i", in.str(), "-o", out.str(), "-c", "png"});
  EXPECT_EQ(result.exitCode, 1);
  Lines lines = result.outLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "Conversion complete");
  EXPECT_EQ(lines.back(), "Files converted: 2 of 3");
  EXPECT_TRUE(contains(lines, "Import complete, new files added: 3"));
  EXPECT_EQ(filesBelow(out.path()), (Lines{"a.png", "b.png"}));

  // When nothing at all converts, the run says it stopped.
  test::TempFolder brokenOnly;
  brokenOnly.write("broken.psd", "not a document");
  auto none = run({"-i", brokenOnly.str(), "-o", out.str(), "-q"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.outLines(), Lines{"Conversion stopped"});
}

TEST_F(CommandLine, FolderRunMirrorsSubFoldersUnlessTold) {
  writeDocument(in / "top.psd");
  writeDocument(in / "one/two/deep.psd");
  in.write("one/readme.txt", "not a document");
  auto kept = run({"-i", in.str(), "-o", out.str(), "-c", "png", "-q"});
  EXPECT_EQ(kept.exitCode, 0);
  EXPECT_EQ(filesBelow(out.path()), (Lines{"one/two/deep.png", "top.png"}));

  test::TempFolder flat;
  // A folder without its trailing "/" is still a folder.
  std::string input = in.path().string();
  auto flattened = run({"-i", input, "-o", flat.str(), "-c", "png", "-q", "--no-subfolders"});
  EXPECT_EQ(flattened.exitCode, 0);
  EXPECT_EQ(filesBelow(flat.path()), (Lines{"deep.png", "top.png"}));
}

TEST_F(CommandLine, UpperCaseTxtIsReadAsAList) {
  std::string a = writeDocument(in / "a.psd");
  std::string b = writeDocument(in / "sub/b.psd");
  std::string list = in.write("LIST.TXT", "  " + a + "\r\n\r\n" + in / "missing.psd" + "\n" + in / "sub" + "\n");
  auto result = run({"-i", list, "-o", out.str(), "-c", "png"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(contains(result.outLines(), "Import complete, new files added: 2"));
  EXPECT_EQ(result.outLines().back(), "Files converted: 2 of 2");
  EXPECT_EQ(filesBelow(out.path()), (Lines{"a.png", "b.png"}));
}

TEST_F(CommandLine, FileInputWithoutOutputWritesBesideItsFolder) {
  std::string document = writeDocument(in / "a.psd");
  auto result = run({"-i", document, "-q"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(filesBelow(in.path()), (Lines{"a.bmp", "a.psd"}));
}

// Relative paths are the current folder's, as in every shell command:
// a bare file name is read and written there, whatever folder the program
// lies in (it is copied to a folder of its own to show that).
TEST_F(CommandLine, RelativePathsAreTakenFromTheCurrentFolder) {
  test::TempFolder programFolder;
  std::string program = programFolder / "quillmark";
  fs::copy_file(test::programPath(), program);
  writeDocument(in / "bare.psd");

  test::ProgramOptions options;
  options.program = program;
  options.workingDir = in.str();
  auto result = run({"-i", "bare.psd", "-q"}, options);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(filesBelow(in.path()), (Lines{"bare.bmp", "bare.psd"}));
  EXPECT_EQ(filesBelow(programFolder.path()), Lines{"quillmark"});

  // Relative folders after -i and -o, with and without "./".
  writeDocument(in / "docs/x.psd");
  fs::create_directory(in / "out");
  auto folder = run({"-i", "docs", "-o", "./out/", "-q", "-c", "png"}, options);
  EXPECT_EQ(folder.exitCode, 0) << folder.err;
  EXPECT_TRUE(fs::exists(in / "out/x.png"));
  auto nested = run({"-i", "./docs/", "-o", "out", "-q", "-c", "tga"}, options);
  EXPECT_EQ(nested.exitCode, 0) << nested.err;
  EXPECT_TRUE(fs::exists(in / "out/x.tga"));

  // Folders that climb out of the current one stay refused.
  options.workingDir = in / "docs";
  EXPECT_EQ(run({"-i", "../docs"}, options).errLines(), Lines{"Error: Incorrect input folder"});
  EXPECT_EQ(run({"-i", "x.psd", "-o", "../out"}, options).errLines(), Lines{"Error: Incorrect output folder"});
  EXPECT_EQ(run({"-i", "../bare.psd"}, options).errLines(), Lines{"Error: Incorrect output folder"});
}

// Window mode follows; without a display it makes its folders and ends
// with one line on stderr and exit code 1.
TEST_F(CommandLine, WithoutAnInputWindowModeFollows) {
  test::TempFolder config;
  test::ProgramOptions options;
  options.configDir = config.str();
  options.display = "";
  auto result = run({"x", "-v"}, options);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.errLines().size(), 1u) << result.err;
  EXPECT_TRUE(fs::is_directory(config.path() / "Ferroval/quillmark"));

  // Options without -i set nothing lasting: window mode reads its own file.
  test::TempFolder second;
  options.configDir = second.str();
  EXPECT_EQ(run({"--jpg-quality=50"}, options).exitCode, 1);
  EXPECT_TRUE(fs::is_directory(second.path() / "Ferroval/quillmark"));
}

TEST_F(CommandLine, HelpAndVersion) {
  auto version = run({"-V"});
  EXPECT_EQ(version.out, "2.5\n");
  EXPECT_EQ(version.exitCode, 0);
  for (const char* name : {"-h", "-?", "--HELP", "--help=1"}) {
    auto help = run({name, "-i", in.str()});
    EXPECT_EQ(help.exitCode, 0) << name;
    EXPECT_EQ(help.err, "") << name;
    Lines lines = help.outLines();
    ASSERT_EQ(lines.size(), 38u) << name;
    EXPECT_EQ(lines[0], " ");
    EXPECT_EQ(lines[1], "Usage: quillmark -i <filename> [options]");
    EXPECT_EQ(lines[3], "  quillmark -i example.psd");
    EXPECT_EQ(lines[4], "  quillmark -i /tmp/example.psd");
    EXPECT_EQ(lines[5], "  quillmark -i /tmp/example.psd -o /tmp/converted");
    EXPECT_EQ(lines[6], "  quillmark -i /tmp/filelist.txt");
    EXPECT_EQ(lines[7], "  quillmark -i /tmp/ -o /tmp/converted --jpg-quality=95");
    EXPECT_EQ(lines[8], "  quillmark -i /tmp/ -o /tmp/converted -c bmp --jpg-quality=95");
    EXPECT_EQ(lines[15], "  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)");
    EXPECT_EQ(lines[37], "  -v, --version             Display version information and exit");
  }
  EXPECT_TRUE(filesBelow(out.path()).empty());
  // Only the first parameter chooses these modes.
  std::string document = writeDocument(in / "a.psd");
  auto later = run({"-i", document, "-o", out.str(), "-q", "-h"});
  EXPECT_EQ(later.out, "");
  EXPECT_EQ(filesBelow(out.path()), Lines{"a.bmp"});
}

TEST_F(CommandLine, ProfilesApplyAtTheirPlace) {
  std::string document = writeDocument(in / "a.psd");
  std::string profile = in.write("profile.ini",
                                 "[Other]\n--jpg-quality = 10\n[CLI]\n--jpg-quality=80\n--PNG-INTERLACED = 0\n"
                                 "--Input = /nowhere\n-q = 1\n--unknown-key = 5\n"
                                 "--filename-mask = \"\"%filename%-p.%ext%\"\n--wm-font-style = bold\n");
  auto jpgLines = echo({"-i", document, "-o", out.str(), "-c", "jpg", "--jpg-quality=70", "--profile=" + profile});
  EXPECT_TRUE(contains(jpgLines, "JPG Quality: 80"));
  EXPECT_TRUE(contains(jpgLines, "Input: " + document));  // --Input is no profile key
  EXPECT_TRUE(contains(jpgLines, "Filename Mask: %filename%-p.%ext%"));
  EXPECT_TRUE(contains(jpgLines, "Saving As: " + out.str() + "a-p.jpg"));

  auto later = echo({"-i", document, "-o", out.str(), "-c", "jpg", "--profile=" + profile, "--jpg-quality=70"});
  EXPECT_TRUE(contains(later, "JPG Quality: 70"));

  auto pngLines = echo({"-i", document, "-o", out.str(), "-c", "png", "--profile=" + profile});
  EXPECT_TRUE(contains(pngLines, "PNG Interlaced: 1"));

  // A key given twice counts once, the first time; a timestamp keeps its
  // low 32 bits, as on the command line.
  std::string twice = in.write("twice.ini",
                               "[CLI]\n--jpg-quality=60\n--jpg-quality=20\n--file-timestamp=CUSTOM\n"
                               "--file-timestamp-custom=4294967297\n");
  auto twiceLines = echo({"-i", document, "-o", out.str(), "-c", "jpg", "--profile=" + twice});
  EXPECT_TRUE(contains(twiceLines, "JPG Quality: 60"));
  EXPECT_TRUE(contains(twiceLines, "Custom Timestamp: 1"));
  auto direct = echo(
      {"-i", document, "-o", out.str(), "-c", "jpg", "--file-timestamp=CUSTOM", "--file-timestamp-custom=4294967297"});
  EXPECT_TRUE(contains(direct, "Custom Timestamp: 1"));

  std::string noCli = in.write("nocli.ini", "[General]\nCFG = 17\n");
  auto defaults = echo({"-i", document, "-o", out.str(), "-c", "jpg", "--profile=" + noCli});
  EXPECT_TRUE(contains(defaults, "JPG Quality: 95"));

  auto missing = run({"-i", document, "-o", out.str(), "--profile=" + in / "missing.ini"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "Error: Invalid profile file\n");
}

// Runs the program with stdin on a regular file whose read position the
// child shares, so the test can see how many bytes the program read.
struct KeyWaitRun {
  test::ProgramResult result;
  off_t bytesRead = -1;
};

KeyWaitRun runWithKeys(const Lines& arguments) {
  test::TempFolder scratch;
  std::string keys = scratch.write("keys", "xyz");
  std::string outPath = scratch / "out";
  std::string errPath = scratch / "err";
  std::string runtime = scratch.makeFolder("runtime");
  std::string config = scratch.makeFolder("config");

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    if (!entry.starts_with("XDG_RUNTIME_DIR=") && !entry.starts_with("XDG_CONFIG_HOME=")) env.push_back(entry);
  }
  env.push_back("XDG_RUNTIME_DIR=" + runtime);
  env.push_back("XDG_CONFIG_HOME=" + config);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  Lines args{test::programPath()};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  KeyWaitRun run;
  int keysFd = open(keys.c_str(), O_RDONLY | O_CLOEXEC);
  if (keysFd < 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, keysFd, STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.bytesRead = lseek(keysFd, 0, SEEK_CUR);
  }
  close(keysFd);
  run.result.out = test::readFileBytes(outPath);
  run.result.err = test::readFileBytes(errPath);
  return run;
}

TEST_F(CommandLine, PauseWaitsForAKeyOnlyWhenGivenBeforeTheError) {
  std::string missing = "--profile=" + in / "missing.ini";
  std::string document = writeDocument(in / "a.psd");

  auto pauseFirst = runWithKeys({"-i", document, "-p", missing});
  EXPECT_EQ(pauseFirst.result.err, "Error: Invalid profile file\n");
  EXPECT_EQ(pauseFirst.result.out, "");  // no prompt before the key wait
  EXPECT_EQ(pauseFirst.bytesRead, 1);
  EXPECT_EQ(pauseFirst.result.exitCode, 1);

  auto pauseAfter = runWithKeys({"-i", document, missing, "-p"});
  EXPECT_EQ(pauseAfter.result.err, "Error: Invalid profile file\n");
  EXPECT_EQ(pauseAfter.bytesRead, 0);

  auto noPause = runWithKeys({"-i", document, "-o", out.str(), "-q"});
  EXPECT_EQ(noPause.result.exitCode, 0);
  EXPECT_EQ(noPause.bytesRead, 0);

  // After a run the prompt comes first, even when quiet.
  auto quietRun = runWithKeys({"-i", document, "-o", out.str(), "-q", "-p"});
  EXPECT_EQ(quietRun.result.out, "Press any key to exit.\n");
  EXPECT_EQ(quietRun.bytesRead, 1);
  EXPECT_EQ(quietRun.result.exitCode, 0);

  // A check of the run that fails still ends with the prompt.
  auto failedRun = runWithKeys({"-p", "-i", document, "-o", out.str(), "-c", "JPG", "-q"});
  EXPECT_EQ(failedRun.result.err, "Error: Invalid conversion type\n");
  EXPECT_EQ(failedRun.result.out, "Press any key to exit.\n");
  EXPECT_EQ(failedRun.bytesRead, 1);
}

// Every document of the corpus in one folder run: the summary counts the
// documents the load step gives an image for (those without a merged image
// and without drawable layers fail), and nothing but their outputs is
// written.
TEST_F(CommandLine, CorpusFolderRun) {
  fs::path corpus = QM_CORPUS_DIR;
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  int admitted = 0;
  Lines loadable;
  for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".psd" || entry.file_size() == 0) continue;
    ++admitted;
    // A document whose structure is broken is refused even where the
    // library would read something from it.
    Bitmap image = loadDocument(entry.path().string()).image;
    if (image.width() > 0 && image.height() > 0 && !documentProblem(entry.path().string()))
      loadable.push_back(fs::relative(entry.path(), corpus).replace_extension(".png").string());
  }
  std::sort(loadable.begin(), loadable.end());

  auto result = run({"-i", corpus.string(), "-o", out.str(), "-c", "png"});
  Lines lines = result.outLines();
  EXPECT_TRUE(contains(lines, "Import complete, new files added: " + std::to_string(admitted)));
  if (!loadable.empty()) {
    EXPECT_EQ(lines.back(), "Files converted: " + std::to_string(loadable.size()) + " of " + std::to_string(admitted));
  }
  EXPECT_EQ(result.exitCode, static_cast<int>(loadable.size()) == admitted ? 0 : 1);
  EXPECT_EQ(filesBelow(out.path()), loadable);
  // Each document not converted is named once on stderr.
  std::size_t named = 0;
  for (const std::string& line : result.errLines()) named += line.starts_with("Not converted: ");
  EXPECT_EQ(named, static_cast<std::size_t>(admitted) - loadable.size()) << result.err;
}

}  // namespace
}  // namespace qm
