// The console of a command-line run as a user and their scripts read it:
// unknown parameters are named, names that cannot be written outside the
// output folder fail with their reason, file names cannot break the
// one-line-per-file shape of the messages, and a stopped run names every
// file it left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli/progress_line.h"
#include "support/image_readback.h"
#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

extern char** environ;

namespace qm {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string writeDocument(const std::string& path) {
  test::PsdImage image(test::PsdColourMode::Rgb, 8, 6, 8, 3);
  for (unsigned y = 0; y < 6; ++y)
    for (unsigned x = 0; x < 8; ++x) image.setPixel(x, y, 40, 120, 200);
  return test::writePsd(path, image);
}

std::vector<std::string> filesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RunConsole, UnknownParametersAreNamedAndOtherwiseIgnored) {
  test::TempFolder in;
  test::TempFolder out;
  const std::string document = writeDocument(in / "doc.psd");
  const std::vector<std::string> run = {"-i", document, "-o", out.str(), "-c", "jpg"};
  struct Case {
    const char* name;
    std::vector<std::string> extra;
    Lines unknown;
  };
  const Case cases[] = {
      {"none", {}, {}},
      {"misspelt option", {"--jpg-qualty=20"}, {"Unknown option ignored: --jpg-qualty=20"}},
      {"several, in order",
       {"--bogus=3", "stray", "-z", " --spaced "},
       {"Unknown option ignored: --bogus=3", "Unknown option ignored: stray", "Unknown option ignored: -z",
        "Unknown option ignored: --spaced"}},
      {"a control byte", {"--x=a\nb"}, {"Unknown option ignored: --x=a\\nb"}},
  };
  for (bool quiet : {false, true}) {
    test::ProgramResult plain;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (quiet ? " quiet" : ""));
      std::vector<std::string> arguments = c.extra;
      arguments.insert(arguments.end(), run.begin(), run.end());
      if (quiet) arguments.push_back("-q");
      const test::ProgramResult result = test::runProgram(arguments);
      EXPECT_EQ(result.exitCode, 0);
      EXPECT_EQ(result.errLines(), c.unknown);
      if (c.extra.empty())
        plain = result;
      else
        EXPECT_EQ(result.out, plain.out);
      EXPECT_EQ(test::identifySizes({out / "doc.jpg"}).at(out / "doc.jpg").width, 8);
    }
  }
  // Named before the error that ends a run.
  const test::ProgramResult failed = test::runProgram({"--bogus", "-i", document, "--jobs=x"});
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(failed.errLines(), (Lines{"Unknown option ignored: --bogus", "Error: Invalid jobs value"}));
}

TEST(RunConsole, MasksThatLeadOutOfTheOutputFolderFailTheirFile) {
  struct Case {
    std::string mask;
    std::string written;  // below the output folder; empty: refused
    std::string name;     // the expanded name the reason shows
  };
  const Case cases[] = {
      {"../victim/%filename%", "", "../victim/doc"},
      {"a/../../%filename%.%ext%", "", "a/../../doc.png"},
      {"..", "", ".."},
      {"/tmp/%filename%", "", "/tmp/doc"},
      {"a/b/%filename%.%ext%", "a/b/doc.png", ""},
      {"..%filename%.%ext%", "..doc.png", ""},
      {"x../%filename%..%ext%", "x../doc..png", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    test::TempFolder root;
    root.makeFolder("in");
    const std::string document = writeDocument(root / "in/doc.psd");
    const std::string out = root.makeFolder("out");
    fs::create_directories(root / "out/a/b");
    fs::create_directories(root / "out/x..");
    const test::ProgramResult result =
        test::runProgram({"-i", document, "-o", out, "-c", "png", "-q", "--filename-mask=" + c.mask});
    if (c.written.empty()) {
      EXPECT_EQ(result.exitCode, 1);
      EXPECT_EQ(result.errLines(), Lines{"Not converted: " + document +
                                         ": the file name mask leads outside the output folder: " + c.name});
      EXPECT_EQ(filesIn(root.path()), Lines{"in/doc.psd"});
    } else {
      EXPECT_EQ(result.exitCode, 0) << result.err;
      EXPECT_EQ(filesIn(root / "out"), Lines{c.written});
      EXPECT_EQ(test::identifySizes({root / ("out/" + c.written)}).at(root / ("out/" + c.written)).width, 8);
    }
  }
}

TEST(RunConsole, ANameCannotForgeALineOfItsOwn) {
  test::TempFolder in;
  test::TempFolder out;
  const std::string forged = in.write("a\nNot converted: /etc/passwd: x\t\\.psd", "not a document at all");
  const std::string good = writeDocument(in / "b\x01.psd");
  const test::ProgramResult result = test::runProgram({"-d", "-i", in.str(), "-o", out.str(), "-c", "png"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.errLines(), Lines{"Not converted: " + in.str() +
                                     "a\\nNot converted: /etc/passwd: x\\t\\\\.psd: not a Photoshop document"});
  const Lines lines = result.outLines();
  for (const std::string& expected :
       {"Processing: " + in.str() + "b\\x01.psd", "Saving As: " + out.str() + "b\\x01.png",
        "Processing: " + in.str() + "a\\nNot converted: /etc/passwd: x\\t\\\\.psd"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected << "\n" << result.out;
  EXPECT_TRUE(fs::exists(out / "b\x01.png"));
}

// Twelve documents in mirrored sub-folders, and the output each one gets.
struct StopBatch {
  explicit StopBatch(unsigned width = 300, unsigned height = 200) {
    test::PsdImage image(test::PsdColourMode::Rgb, width, height, 8, 3);
    for (unsigned y = 0; y < height; ++y)
      for (unsigned x = 0; x < width; ++x) image.setPixel(x, y, x & 255, y & 255, (x ^ y) & 255);
    const char* folders[] = {"", "a/", "b/c/", "d/"};
    for (int i = 0; i < 12; ++i) {
      const std::string name = std::string(folders[i % 4]) + "doc" + std::to_string(i);
      fs::create_directories(fs::path(in / name).parent_path());
      outputs[test::writePsd(in / (name + ".psd"), image)] = name + ".png";
    }
  }
  test::TempFolder in;
  std::map<std::string, std::string> outputs;  // by document path
};

const char* signalName(int signal) { return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP"; }

// Every document is either converted or named as not converted, exactly
// once, whenever the signal came; nothing else is left in the output
// folder, no empty folder either.
TEST(RunConsole, AStoppedRunAccountsForEveryDocumentOnce) {
  StopBatch batch;
  std::mt19937 random(20261210);
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int round = 0; round < 9; ++round) {
    const int signal = signals[round % 3];
    const auto delay = std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 1500)(random));
    SCOPED_TRACE(std::string(signalName(signal)) + " after " + std::to_string(delay.count()) + " ms");
    test::TempFolder out;
    test::ProgramOptions options;
    bool sent = false;
    options.onOutput = [&](pid_t pid, const std::string& text, const std::string&) {
      if (sent || text.find("Converting...") == std::string::npos) return;
      std::this_thread::sleep_for(delay);
      ::kill(pid, signal);
      sent = true;
    };
    const test::ProgramResult result =
        test::runProgram({"-i", batch.in.str(), "-o", out.str(), "-c", "png", "--jobs=2"}, options);
    ASSERT_TRUE(sent);

    std::map<std::string, int> named;
    int stoppedLines = 0;
    for (const std::string& line : result.errLines()) {
      const std::string reason = ": the run was stopped before it";
      ASSERT_TRUE(line.starts_with("Not converted: ") && line.ends_with(reason)) << line;
      ++named[line.substr(15, line.size() - 15 - reason.size())];
      ++stoppedLines;
    }
    int written = 0;
    for (const auto& [document, output] : batch.outputs) {
      const bool exists = fs::exists(out / output);
      written += exists ? 1 : 0;
      EXPECT_EQ(named[document] + (exists ? 1 : 0), 1) << document;
      if (exists) {
        EXPECT_EQ(test::identifySizes({out / output}).at(out / output).width, 300) << output;
      }
    }
    EXPECT_EQ(static_cast<int>(filesIn(out.path()).size()), written);
    for (const auto& entry : fs::recursive_directory_iterator(out.path()))
      if (entry.is_directory()) {
        EXPECT_FALSE(fs::is_empty(entry.path())) << entry.path();
      }

    const Lines lines = result.outLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), "Files converted: " + std::to_string(written) + " of 12");
    if (written < 12) {
      EXPECT_EQ(result.exitCode, 1);
      EXPECT_EQ(lines[lines.size() - 2], "Conversion stopped");
    } else {
      // A signal that lands after the whole run, while the program ends,
      // takes its default action: the run is complete either way.
      EXPECT_TRUE(result.exitCode == 0 || result.exitCode == -1) << result.exitCode;
      EXPECT_EQ(lines[lines.size() - 2], "Conversion complete");
    }
    EXPECT_EQ(stoppedLines, 12 - written);
  }
}

// The renders in flight are killed rather than finished: documents that
// each take seconds to render all end as not converted when the stop
// comes at once. A stop that comes before the conversion (here during the
// debug echo of a quiet run) names every file too.
TEST(RunConsole, AStopKillsTheRendersInFlight) {
  StopBatch batch(64, 64);
  for (bool quiet : {false, true}) {
    SCOPED_TRACE(quiet ? "quiet" : "not quiet");
    test::TempFolder out;
    test::ProgramOptions options;
    bool sent = false;
    std::vector<std::string> arguments = {"-d", "-i",  batch.in.str(), "-o",           out.str(),
                                          "-c", "png", "--jobs=2",     "--width=4000", "--height=4000"};
    if (quiet) arguments.push_back("-q");
    const std::string moment = quiet ? "Keep Subfolders: " : "Converting...";
    options.onOutput = [&](pid_t pid, const std::string& text, const std::string&) {
      if (!sent && text.find(moment) != std::string::npos) {
        ::kill(pid, SIGTERM);
        sent = true;
      }
    };
    const test::ProgramResult result = test::runProgram(arguments, options);
    ASSERT_TRUE(sent);
    EXPECT_EQ(result.exitCode, 1);
    Lines expected;
    for (const auto& [document, output] : batch.outputs)
      expected.push_back("Not converted: " + document + ": the run was stopped before it");
    Lines named = result.errLines();
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, expected);
    EXPECT_TRUE(fs::is_empty(out.path()));
    const Lines lines = result.outLines();
    ASSERT_GE(lines.size(), 2u);
    if (quiet) {
      EXPECT_EQ(lines.back(), "Conversion stopped");
    } else {
      EXPECT_EQ(lines[lines.size() - 2], "Conversion stopped");
      EXPECT_EQ(lines.back(), "Files converted: 0 of 12");
    }
  }
}

// A second Ctrl-C ends the program at once, even while the first one
// waits for the run to get somewhere: here the run is stuck writing a
// debug line into a pipe that nobody reads yet. (Two long lines: more
// than the first read and a full pipe can take.)
TEST(RunConsole, ASecondInterruptEndsTheProgramAtOnce) {
  StopBatch batch(16, 16);
  test::TempFolder out;
  const std::string longText(100'000, 'x');
  test::ProgramOptions options;
  bool sent = false;
  options.onOutput = [&](pid_t pid, const std::string&, const std::string&) {
    if (sent) return;
    sent = true;
    ::kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(pid, SIGINT);
  };
  const test::ProgramResult result = test::runProgram({"-d", "-q", "-i", batch.in.str(), "-o", out.str(), "-c", "png",
                                                       "--wm-text=" + longText, "--filename-mask=" + longText},
                                                      options);
  ASSERT_TRUE(sent);
  EXPECT_EQ(result.exitCode, -1) << "it did not end by the signal";
  EXPECT_TRUE(fs::is_empty(out.path()));
}

// A reader that goes away early (`| head -1`) takes nothing with it: the
// batch goes on and its exit code says all was converted.
TEST(RunConsole, AClosedStdoutDoesNotEndTheBatch) {
  StopBatch batch;
  test::TempFolder out;
  const std::string command = "'" + test::programPath() + "' -i '" + batch.in.str() + "' -o '" + out.str() +
                              "' -c png --jobs=2 | head -1; echo \"status ${PIPESTATUS[0]}\"";
  test::ProgramOptions options;
  options.program = "/bin/bash";
  const test::ProgramResult result = test::runProgram({"-c", command}, options);
  EXPECT_EQ(result.outLines(), (Lines{"Quillmark 2.5", "status 0"})) << result.err;
  EXPECT_EQ(filesIn(out.path()).size(), 12u);
  for (const auto& [document, output] : batch.outputs) EXPECT_TRUE(fs::exists(out / output)) << output;
}

// With several workers an output that replaces a later input of the same
// run is in place before that input is read, as in a one-by-one run. The
// documents differ in width, which identify reads back; the one-by-one
// result follows from the order the debug lines show.
TEST(RunConsole, AnOutputThatReplacesALaterInputIsInPlaceBeforeItIsRead) {
  const std::vector<std::string> names = {"a", "b", "00001", "00002", "c", "00003", "00004", "d"};
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    test::TempFolder folder;
    std::map<std::string, int> widths;  // by file name, as the run leaves them
    for (std::size_t i = 0; i < names.size(); ++i) {
      const int width = 20 + static_cast<int>(i);
      test::writePsd(folder / (names[i] + ".psd"), test::PsdImage(test::PsdColourMode::Rgb, width, 16, 8, 3));
      widths[names[i] + ".psd"] = width;
    }
    const test::ProgramResult result =
        test::runProgram({"-d", "-q", "-i", folder.str(), "-c", "psd", "--filename-mask=%n%.%ext%", "--jobs=4"});

    int n = 1;
    std::set<std::string> written;
    int processed = 0;
    for (const std::string& line : result.outLines()) {
      if (!line.starts_with("Processing: ")) continue;
      ++processed;
      const std::string input = fs::path(line.substr(12)).filename().string();
      std::string output = std::to_string(n);
      output = std::string(5 - output.size(), '0') + output + ".psd";
      if (output == input || written.contains(output)) continue;
      widths[output] = widths[input];
      written.insert(output);
      ++n;
    }
    ASSERT_EQ(processed, static_cast<int>(names.size())) << result.out;

    std::vector<std::string> paths;
    for (const auto& [name, width] : widths) paths.push_back(folder / name);
    const std::map<std::string, test::Identified> seen = test::identifySizes(paths);
    for (const auto& [name, width] : widths) {
      const auto found = seen.find(folder / name);
      ASSERT_NE(found, seen.end()) << name;
      EXPECT_EQ(found->second.width, width) << name;
    }
    EXPECT_EQ(test::folderEntries(folder.str()).size(), widths.size());
  }
}

struct TerminalRun {
  std::string out;       // stdout, a pipe
  std::string terminal;  // what stderr, a terminal, showed
  int exitCode = -1;
};

// Runs the program with stderr on a pseudo-terminal 100 columns wide and
// stdout on a pipe.
TerminalRun runOnTerminal(const std::vector<std::string>& arguments) {
  test::TempFolder runtime;
  int master = -1;
  int slave = -1;
  winsize size{};
  size.ws_col = 100;
  size.ws_row = 30;
  TerminalRun run;
  if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) return run;
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return run;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (!std::string_view(*e).starts_with("XDG_RUNTIME_DIR=")) env.push_back(*e);
  env.push_back("XDG_RUNTIME_DIR=" + runtime.str());
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = arguments;
  args.insert(args.begin(), test::programPath());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, master);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(slave);
  if (spawned != 0) {
    ::close(out[0]);
    ::close(master);
    return run;
  }
  pollfd fds[2] = {{out[0], POLLIN, 0}, {master, POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.terminal};
  for (int open = 2; open > 0;) {
    if (::poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        // A terminal whose last writer has gone reads as an error.
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// On a terminal a run shows one live line on stderr and erases it before
// the summary; stdout is byte for byte what a pipe gets, and a quiet run
// or a run into a pipe shows nothing of it.
TEST(RunConsole, ProgressLineOnATerminalOnly) {
  StopBatch batch(40, 30);
  const std::string broken = batch.in.write("broken.psd", "not a document");
  test::TempFolder out;
  const std::vector<std::string> arguments = {"-i", batch.in.str(), "-o", out.str(), "-c", "png", "--jobs=2"};
  const TerminalRun terminal = runOnTerminal(arguments);
  EXPECT_EQ(terminal.exitCode, 1);
  const test::ProgramResult piped = test::runProgram(arguments);
  EXPECT_EQ(terminal.out, piped.out);
  EXPECT_EQ(piped.errLines(), Lines{"Not converted: " + broken + ": not a Photoshop document"});

  const std::string& shown = terminal.terminal;
  EXPECT_NE(shown.find("13 of 13, "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" of 13, "), std::string::npos) << shown;
  // The failure is a line of its own above the live line, which is
  // erased at the end.
  EXPECT_NE(shown.find("\r\033[KNot converted: " + broken + ": not a Photoshop document\r\n"), std::string::npos)
      << shown;
  EXPECT_TRUE(shown.ends_with("\r\033[K")) << shown;

  std::vector<std::string> quiet = arguments;
  quiet.push_back("-q");
  const TerminalRun silent = runOnTerminal(quiet);
  EXPECT_EQ(silent.terminal, "Not converted: " + broken + ": not a Photoshop document\r\n");
  EXPECT_EQ(silent.out, "");
}

TEST(RunConsole, ProgressLineTextFitsTheTerminal) {
  using std::chrono::seconds;
  struct Case {
    int done, total;
    seconds elapsed;
    std::string path;
    int columns;
    std::string text;
  };
  const Case cases[] = {
      {0, 12, seconds(0), "/in/a.psd", 80, "0 of 12, 0:00: /in/a.psd"},
      {3, 12, seconds(4), "/in/a.psd", 80, "3 of 12, 0:04, about 0:12 left: /in/a.psd"},
      {1, 2, seconds(3725), "", 80, "1 of 2, 1:02:05, about 1:02:05 left"},
      {12, 12, seconds(61), "/in/a.psd", 80, "12 of 12, 1:01: /in/a.psd"},
      {3, 12, seconds(4), "/photos/2026/holiday/beach/sunset.psd", 50,
       "3 of 12, 0:04, about 0:12 left: /photos/\xE2\x80\xA6nset.psd"},
      {3, 12, seconds(4), "/in/\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4.psd", 44,
       "3 of 12, 0:04, about 0:12 left: /in/\xC3\xA4\xE2\x80\xA6\xC3\xA4.psd"},
      {3, 12, seconds(4), "/in/a\nb.psd", 80, "3 of 12, 0:04, about 0:12 left: /in/a\\nb.psd"},
      {3, 12, seconds(4), "/in/a.psd", 10, "3 of\xE2\x80\xA6left"},
  };
  for (const Case& c : cases) EXPECT_EQ(progressLineText(c.done, c.total, c.elapsed, c.path, c.columns), c.text);
}

}  // namespace
}  // namespace qm
