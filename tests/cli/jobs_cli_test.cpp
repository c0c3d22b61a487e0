// Batches run by worker processes, as a user sees them from the command
// line: damaged documents that crash or confuse the Photoshop reader fail
// alone; any number of workers gives the files, names, time stamps and
// debug lines of one; a SIGTERM ends the batch cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/image_readback.h"
#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"
#include "ui/child_process.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string corpus(const std::string& name) { return std::string(QM_CORPUS_DIR) + "/" + name; }

#define QM_REQUIRE_CORPUS() \
  if (!fs::is_directory(QM_CORPUS_DIR)) GTEST_SKIP() << "no Photoshop corpus at " << QM_CORPUS_DIR

std::vector<std::string> filesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

bool hasTemporaryFile(const fs::path& folder) {
  for (const std::string& name : filesIn(folder))
    if (fs::path(name).filename().string().starts_with(".quillmark")) return true;
  return false;
}

int countLinesStartingWith(const Lines& lines, const std::string& start) {
  return static_cast<int>(
      std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(start); }));
}

TEST(JobsOption, RefusesAnythingButAWorkerCount) {
  test::TempFolder in;
  test::TempFolder out;
  const std::string document = test::writePsd(in / "doc.psd", test::PsdImage(test::PsdColourMode::Rgb, 8, 6, 8, 3));
  for (const char* value : {"0", "-2", "x", "2.5", "4x", "257"}) {
    test::ProgramResult result =
        test::runProgram({"-i", document, "-o", out.str(), "-c", "png", std::string("--jobs=") + value});
    EXPECT_EQ(result.exitCode, 1) << value;
    EXPECT_EQ(result.errLines(), Lines{"Error: Invalid jobs value"}) << value;
  }
  test::ProgramResult one = test::runProgram({"-q", "-i", document, "-o", out.str(), "-c", "png", "--jobs=1"});
  EXPECT_EQ(one.exitCode, 0) << one.err;
  EXPECT_TRUE(fs::exists(out / "doc.png"));
}

TEST(Jobs, DamagedDocumentsFailAloneAndTheRestIsConverted) {
  QM_REQUIRE_CORPUS();
  test::TempFolder in;
  test::TempFolder out;
  const std::vector<std::string> good = {"1layer.psd", "2layers.psd", "opacity-fill.psd", "metadata.psd",
                                         "hidden-layer.psd"};
  for (const std::string& name : good) fs::copy_file(corpus(name), in / ("good-" + name));
  // Cuts at every tenth of four documents, and copies with 24 bytes
  // overwritten anywhere past the header.
  std::mt19937 random(20261209);
  int damaged = 0;
  for (int d = 0; d < 4; ++d) {
    const std::string bytes = test::readFileBytes(corpus(good[d]));
    for (int tenth = 1; tenth <= 10; ++tenth) {
      in.write("cut-" + std::to_string(d) + "-" + std::to_string(tenth) + ".psd",
               bytes.substr(0, bytes.size() * tenth / 11));
      ++damaged;
    }
    for (int copy = 0; copy < 10; ++copy) {
      std::string hurt = bytes;
      std::uniform_int_distribution<std::size_t> where(26, hurt.size() - 1);
      for (int i = 0; i < 24; ++i) hurt[where(random)] = static_cast<char>(random());
      in.write("hurt-" + std::to_string(d) + "-" + std::to_string(copy) + ".psd", hurt);
      ++damaged;
    }
  }
  ASSERT_EQ(damaged, 80);

  test::ProgramResult result = test::runProgram({"-i", in.str(), "-o", out.str(), "-c", "png", "--jobs=2"});
  const std::vector<std::string> outputs = filesIn(out.path());
  for (const std::string& name : good)
    EXPECT_NE(std::find(outputs.begin(), outputs.end(), "good-" + fs::path(name).stem().string() + ".png"),
              outputs.end())
        << name;
  // Some damage leaves a readable document; whatever was written is what
  // the summary counts, and every other file is named with its reason.
  const int written = static_cast<int>(outputs.size());
  EXPECT_EQ(result.exitCode, written == 85 ? 0 : 1);
  EXPECT_EQ(countLinesStartingWith(result.errLines(), "Not converted: "), 85 - written);
  EXPECT_EQ(countLinesStartingWith(result.outLines(), "Files converted: " + std::to_string(written) + " of 85"), 1)
      << result.out;
  EXPECT_LT(written, 85);
  EXPECT_FALSE(hasTemporaryFile(out.path()));
}

struct CorpusRun {
  test::ProgramResult result;
  std::vector<std::string> files;
  std::vector<std::string> contents;
  std::vector<fs::file_time_type> times;
};

// Converts every sixth corpus document (a list file) into `out`, then
// moves the outputs aside so the next run writes to the same path.
CorpusRun runCorpusSlice(const std::string& list, const test::TempFolder& out, const std::string& aside,
                         std::vector<std::string> options) {
  options.insert(options.begin(), {"-d", "-i", list, "-o", out.str(), "-c", "png", "--file-timestamp=ORIGINAL"});
  test::ProgramOptions environment;
  CorpusRun run;
  run.result = test::runProgram(options, environment);
  run.files = filesIn(out.path());
  for (const std::string& name : run.files) {
    run.contents.push_back(test::readFileBytes(out / name));
    run.times.push_back(fs::last_write_time(out / name));
  }
  fs::rename(out.path(), aside);
  fs::create_directory(out.path());
  return run;
}

TEST(Jobs, OneAndFourWorkersWriteTheSameFilesNamesTimesAndLines) {
  QM_REQUIRE_CORPUS();
  test::TempFolder work;
  std::vector<std::string> documents;
  for (const auto& entry : fs::recursive_directory_iterator(QM_CORPUS_DIR))
    if (entry.path().extension() == ".psd") documents.push_back(entry.path().string());
  std::sort(documents.begin(), documents.end());
  std::string listText;
  for (std::size_t i = 0; i < documents.size(); i += 6) listText += documents[i] + "\n";
  const std::string list = work.write("slice.txt", listText);

  ::setenv("QUILLMARK_RANDOM_SEED", "4242", 1);
  struct Case {
    const char* name;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"mask", {"--filename-mask=%n%-%rnd%-%filename%"}},
      // %n% in the stamp: rendered in list order, one at a time.
      {"watermark", {"--filename-mask=%filename%-%n%", "--wm-text=No. %n%", "--wm-text-size=9"}},
  };
  for (const Case& c : cases) {
    test::TempFolder out;
    std::vector<std::string> one = c.options;
    one.push_back("--jobs=1");
    std::vector<std::string> four = c.options;
    four.push_back("--jobs=4");
    CorpusRun first = runCorpusSlice(list, out, work / (std::string(c.name) + "-1"), one);
    CorpusRun second = runCorpusSlice(list, out, work / (std::string(c.name) + "-4"), four);
    ASSERT_GT(first.files.size(), 20u) << c.name;
    EXPECT_EQ(first.result.out, second.result.out) << c.name;
    EXPECT_EQ(first.result.exitCode, second.result.exitCode) << c.name;
    EXPECT_EQ(first.files, second.files) << c.name;
    EXPECT_TRUE(first.contents == second.contents) << c.name;
    EXPECT_TRUE(first.times == second.times) << c.name;
  }
  ::unsetenv("QUILLMARK_RANDOM_SEED");
}

// Processes whose command line is a worker of `parent`.
int workersOf(pid_t parent) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream file(entry.path() / "cmdline", std::ios::binary);
    std::string cmdline((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (cmdline.find(std::string("--conversion-worker") + '\0' + std::to_string(parent) + '\0') != std::string::npos)
      ++count;
  }
  return count;
}

// `count` documents d0.psd, d1.psd, ... large and busy enough that a batch
// of them is still running when a test signals it.
void writeBusyDocuments(const test::TempFolder& in, int count, unsigned width, unsigned height) {
  test::PsdImage image(test::PsdColourMode::Rgb, width, height, 8, 3);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) image.setPixel(x, y, x & 255, y & 255, (x ^ y) & 255);
  for (int i = 0; i < count; ++i) test::writePsd(in / ("d" + std::to_string(i) + ".psd"), image);
}

// A file of /proc, empty once its process is gone (a stream would throw
// on the read error a vanished process gives).
std::string readProcFile(const fs::path& path) {
  std::string text;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(got));
  ::close(fd);
  return text;
}

// The kernel's view of each worker of `parent`: its /proc/<pid>/status.
std::vector<std::string> workerStatusesOf(pid_t parent) {
  const std::string mark = std::string("--conversion-worker") + '\0' + std::to_string(parent) + '\0';
  std::vector<std::string> statuses;
  for (const auto& entry : fs::directory_iterator("/proc"))
    if (readProcFile(entry.path() / "cmdline").find(mark) != std::string::npos)
      statuses.push_back(readProcFile(entry.path() / "status"));
  return statuses;
}

// Workers convert inside the sandbox, and convert all the same: it is in
// place while they render, and every document is written.
TEST(Jobs, WorkersConvertWithNoNewPrivilegesAndASystemCallFilter) {
  test::TempFolder in;
  test::TempFolder out;
  test::TempFolder home;
  writeBusyDocuments(in, 24, 900, 700);

  const std::string log = home / "log.txt";
  test::ChildProcess program({test::programPath(), "-i", in.str(), "-o", out.str(), "-c", "png", "--jobs=2"},
                             {{"XDG_RUNTIME_DIR=" + home.str(), "XDG_CONFIG_HOME=" + home.str()}, {}, log, -1});
  std::string sandboxed;
  test::waitUntil(
      [&] {
        for (const std::string& status : workerStatusesOf(program.pid()))
          if (status.find("\nNoNewPrivs:\t1\n") != std::string::npos &&
              status.find("\nSeccomp:\t2\n") != std::string::npos) {
            sandboxed = status;
          }
        return !sandboxed.empty() || !program.running();
      },
      std::chrono::seconds(120), std::chrono::milliseconds(5));
  EXPECT_FALSE(sandboxed.empty()) << "no worker was seen in the sandbox";
  std::optional<int> exitCode = program.waitForExit(std::chrono::seconds(300));
  ASSERT_TRUE(exitCode.has_value());
  EXPECT_EQ(*exitCode, 0) << test::readFileBytes(log);
  EXPECT_NE(test::readFileBytes(log).find("Files converted: 24 of 24"), std::string::npos) << test::readFileBytes(log);
  std::vector<std::string> outputs;
  for (const std::string& name : filesIn(out.path())) outputs.push_back(out / name);
  ASSERT_EQ(outputs.size(), 24u);
  const auto seen = test::identifyFiles(outputs);
  for (const std::string& output : outputs) {
    ASSERT_EQ(seen.count(output), 1u) << output;
    EXPECT_EQ(seen.at(output).width, 900) << output;
  }
}

TEST(Jobs, SigtermEndsTheBatchWithItsSummaryAndLeavesNothingBehind) {
  test::TempFolder in;
  test::TempFolder out;
  test::TempFolder home;
  writeBusyDocuments(in, 40, 900, 700);

  const std::string log = home / "log.txt";
  test::ChildProcess program({test::programPath(), "-i", in.str(), "-o", out.str(), "-c", "png", "--jobs=2"},
                             {{"XDG_RUNTIME_DIR=" + home.str(), "XDG_CONFIG_HOME=" + home.str()}, {}, log, -1});
  ASSERT_TRUE(
      test::waitUntil([&] { return !filesIn(out.path()).empty() || !program.running(); }, std::chrono::seconds(120)));
  ASSERT_TRUE(program.running()) << "the batch ended before the signal";
  ::kill(program.pid(), SIGTERM);
  std::optional<int> exitCode = program.waitForExit(std::chrono::seconds(120));
  ASSERT_TRUE(exitCode.has_value());
  EXPECT_EQ(*exitCode, 1);

  const int written = static_cast<int>(filesIn(out.path()).size());
  EXPECT_LT(written, 40);
  const std::string text = test::readFileBytes(log);
  EXPECT_NE(text.find("Files converted: " + std::to_string(written) + " of 40"), std::string::npos) << text;
  EXPECT_FALSE(hasTemporaryFile(out.path()));
  EXPECT_EQ(workersOf(program.pid()), 0);
}

// Killed outright, the program cannot clean up: its workers notice their
// parent's end, remove their unfinished files and end too.
TEST(Jobs, AKilledRunLeavesNoWorkerAndNothingThatLooksLikeAnOutput) {
  test::TempFolder in;
  test::TempFolder out;
  test::TempFolder home;
  writeBusyDocuments(in, 30, 1200, 900);

  test::ChildProcess program({test::programPath(), "-q", "-i", in.str(), "-o", out.str(), "-c", "png", "--jobs=2"},
                             {{"XDG_RUNTIME_DIR=" + home.str(), "XDG_CONFIG_HOME=" + home.str()}, {}, "", -1});
  ASSERT_TRUE(test::waitUntil([&] { return hasTemporaryFile(out.path()) || !program.running(); },
                              std::chrono::seconds(120), std::chrono::milliseconds(5)));
  ASSERT_TRUE(program.running()) << "the batch ended before the signal";
  const pid_t parent = program.pid();
  ::kill(parent, SIGKILL);
  program.waitForExit(std::chrono::seconds(30));
  EXPECT_TRUE(test::waitUntil([&] { return workersOf(parent) == 0; }, std::chrono::seconds(30)));
  EXPECT_FALSE(hasTemporaryFile(out.path()));
  // Whatever has an image's name is a whole image.
  std::vector<std::string> outputs;
  for (const std::string& name : filesIn(out.path())) outputs.push_back(out / name);
  const auto seen = test::identifyFiles(outputs);
  for (const std::string& output : outputs) EXPECT_EQ(seen.count(output), 1u) << output << " is not a whole image";
}

}  // namespace
}  // namespace qm
