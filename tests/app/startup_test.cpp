#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/version.h"
#include "platform/instance_lock.h"
#include "support/program_runner.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

TEST(Version, TextFromNumber) {
  EXPECT_EQ(versionText(250), "2.5");
  EXPECT_EQ(versionText(251), "2.5.1");
  EXPECT_EQ(versionText(300), "3.0");
  EXPECT_EQ(titleLine(), "Quillmark 2.5");
}

TEST(Startup, VersionModePrintsTheVersionText) {
  auto result = test::runProgram({"--version"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "2.5\n");
  EXPECT_EQ(result.err, "");
}

// While one process holds the lock, a second start ends at once with exit
// code 1, saying why only when it was started with parameters.
TEST(Startup, SecondInstanceIsRefused) {
  test::TempFolder runtime;
  test::TempFolder scratch;
  std::string lockFile = runtime.str() + titleLine() + ".lock";
  int fd = open(lockFile.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);

  test::ProgramOptions options;
  options.runtimeDir = runtime.str();
  options.configDir = scratch.str();
  auto withParameters = test::runProgram({"--version"}, options);
  EXPECT_EQ(withParameters.exitCode, 1);
  EXPECT_EQ(withParameters.out, "");
  EXPECT_EQ(withParameters.err, "Another Quillmark is running.\n");

  auto windowMode = test::runProgram({}, options);
  EXPECT_EQ(windowMode.exitCode, 1);
  EXPECT_EQ(windowMode.out, "");
  EXPECT_EQ(windowMode.err, "");
  // The refused start never reached window mode's settings steps.
  EXPECT_FALSE(std::filesystem::exists(scratch.path() / "Ferroval"));
  close(fd);

  // Once the first is gone the lock is free again.
  EXPECT_EQ(test::runProgram({"--version"}, options).exitCode, 0);
}

TEST(Startup, LockIsReleasedWithItsOwner) {
  test::TempFolder runtime;
  {
    auto first = platform::InstanceLock::acquire("Quillmark test", runtime.path().string());
    ASSERT_TRUE(first.lock.has_value());
    EXPECT_TRUE(platform::InstanceLock::acquire("Quillmark test", runtime.path().string()).heldElsewhere);
  }
  EXPECT_TRUE(platform::InstanceLock::acquire("Quillmark test", runtime.path().string()).lock.has_value());
}

// The folders come before the window toolkit starts: also without a
// display, where window mode then ends with 1. A configuration folder that
// does not exist yet (a new account) is made too, private to the user.
TEST(Startup, WindowModeCreatesTheSettingsFolders) {
  for (const char* below : {"", "new/.config"}) {
    SCOPED_TRACE(below);
    test::TempFolder home;
    const std::filesystem::path config = home.path() / below;
    test::ProgramOptions options;
    options.configDir = config.string();
    options.display = "";
    auto result = test::runProgram({}, options);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(std::filesystem::is_directory(config / "Ferroval" / "quillmark"));
    if (*below) {
      EXPECT_EQ(std::filesystem::status(config).permissions() & std::filesystem::perms::all,
                std::filesystem::perms::owner_all);
    }
  }
}

std::string readProcFile(pid_t pid, const std::string& name) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/" + name);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The worker processes the program has started.
std::vector<pid_t> workersOf(pid_t program) {
  std::vector<pid_t> workers;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(name);
    // The parent follows the name, which may hold blanks and parentheses.
    const std::string stat = readProcFile(pid, "stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    rest >> state >> parent;
    if (parent == program && readProcFile(pid, "cmdline").find("--conversion-worker") != std::string::npos)
      workers.push_back(pid);
  }
  return workers;
}

// The first mapping of a file whose name holds one of `names`; empty when none.
std::string mappedLibrary(pid_t pid, const std::vector<std::string>& names) {
  std::istringstream maps(readProcFile(pid, "maps"));
  for (std::string line; std::getline(maps, line);)
    for (const std::string& name : names)
      if (line.find(name) != std::string::npos) return line;
  return {};
}

// Caught in the middle of a batch (stopped after its first file, while its
// workers wait for the next), neither the program nor a worker has the
// window toolkit mapped; the program and the worker that wrote the file
// have the image library. (A worker caught as it starts may not have
// opened the core yet, so not every worker is asked for it.)
TEST(Startup, ConvertingMapsNoWindowToolkit) {
  test::TempFolder folder;
  const std::string in = folder.makeFolder("in");
  const std::string out = folder.makeFolder("out");
  for (int i = 0; i < 40; ++i)
    std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/samples/sunset.psd", in + std::to_string(i) + ".psd");

  struct Mapped {
    pid_t pid;
    std::string toolkit;
    std::string imageLibrary;
  };
  std::vector<Mapped> seen;
  bool caught = false;
  const auto look = [&seen](pid_t pid) {
    seen.push_back({pid, mappedLibrary(pid, {"libwx_", "libgtk-3", "libgdk-3", "quillmark-window"}),
                    mappedLibrary(pid, {"libfreeimage"})});
  };
  test::ProgramOptions options;
  options.onOutput = [&](pid_t pid, const std::string& text, const std::string&) {
    if (caught || text.find("\nOK\n") == std::string::npos) return;
    caught = true;
    ::kill(pid, SIGSTOP);
    look(pid);
    for (pid_t worker : workersOf(pid)) look(worker);
    ::kill(pid, SIGCONT);
  };
  const test::ProgramResult result = test::runProgram({"-D", "-i", in, "-o", out, "-c", "png"}, options);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  ASSERT_TRUE(caught) << result.out;
  ASSERT_GE(seen.size(), 2u) << "no worker was running";
  for (const Mapped& process : seen) EXPECT_EQ(process.toolkit, "") << "process " << process.pid;
  EXPECT_NE(seen.front().imageLibrary, "") << "the program";
  EXPECT_TRUE(std::any_of(seen.begin() + 1, seen.end(), [](const Mapped& worker) {
    return !worker.imageLibrary.empty();
  })) << "no worker has the image library";
}

// Every library the dynamic loader mapped into the program and the
// processes it started, by file name, from the loader's own trace: unlike
// a look at /proc/<pid>/maps this also sees a run that ends within moments.
struct LoadedLibraries {
  int exitCode = -1;
  std::set<std::string> names;

  bool any(const std::string& prefix) const {
    const auto next = names.lower_bound(prefix);
    return next != names.end() && next->starts_with(prefix);
  }
};

LoadedLibraries librariesLoadedBy(const std::vector<std::string>& arguments) {
  test::TempFolder trace;
  test::ProgramOptions options;
  options.environment = {"LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + trace.str() + "loader"};
  LoadedLibraries loaded;
  loaded.exitCode = test::runProgram(arguments, options).exitCode;
  for (const auto& entry : std::filesystem::directory_iterator(trace.path())) {
    std::ifstream file(entry.path());
    for (std::string line; std::getline(file, line);) {
      const std::size_t at = line.find("file=");
      if (at == std::string::npos) continue;
      const std::string path = line.substr(at + 5, line.find(' ', at) - at - 5);
      loaded.names.insert(std::filesystem::path(path).filename().string());
    }
  }
  return loaded;
}

// --version, --help and a command line refused while its options are read
// end before any work: they load neither the core module nor the image,
// drawing and colour libraries it brings. A conversion loads them.
TEST(Startup, OnlyWorkLoadsTheImageLibraries) {
  test::TempFolder folder;
  const std::string out = folder.makeFolder("out");
  const std::string document = std::string(QM_SOURCE_DIR) + "/samples/sunset.psd";
  const std::vector<std::string> imageLibraries = {"quillmark-core", "libfreeimage", "libIL.", "libcairo",
                                                   "libpango",       "libtiff",      "libjxr", "liblcms2"};
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    int exitCode;
    bool working;
  };
  const std::vector<Case> cases = {
      {"version", {"--version"}, 0, false},
      {"help", {"--help"}, 0, false},
      {"an option without its value", {"-q", "-i"}, 1, false},
      {"a bad jobs value", {"-q", "-i", document, "--jobs=0"}, 1, false},
      {"a bad profile", {"-q", "-i", document, "--profile=" + folder.str() + "missing.ini"}, 1, false},
      {"a conversion", {"-q", "-i", document, "-o", out, "-c", "png"}, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LoadedLibraries loaded = librariesLoadedBy(c.arguments);
    EXPECT_EQ(loaded.exitCode, c.exitCode);
    // The trace is there at all.
    EXPECT_TRUE(loaded.any("libstdc++"));
    for (const std::string& library : imageLibraries) EXPECT_EQ(loaded.any(library), c.working) << library;
  }
}

// A program whose core module cannot be loaded says so in one line when
// there is work, and still answers what needs no image library.
TEST(Startup, WithoutTheCoreModuleOnlyWorkFails) {
  test::TempFolder folder;
  const std::string program = folder / "quillmark";
  std::filesystem::copy_file(test::programPath(), program);
  const std::string module = folder.write("modules/quillmark-core.so", "no module\n");
  const std::string out = folder.makeFolder("out");
  const std::string document = std::string(QM_SOURCE_DIR) + "/samples/sunset.psd";

  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    int exitCode;
    std::string errorStart;  // of the one line on stderr; none when empty
  };
  const std::vector<Case> cases = {
      {"version", {"--version"}, 0, ""},
      {"help", {"--help"}, 0, ""},
      {"refused options", {"-q", "-i", document, "--jobs=0"}, 1, "Error: Invalid jobs value"},
      {"conversion",
       {"-q", "-i", document, "-o", out, "-c", "png"},
       1,
       "Error: the conversion core cannot be loaded: " + module + ": "},
  };
  test::ProgramOptions options;
  options.program = program;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const test::ProgramResult result = test::runProgram(c.arguments, options);
    EXPECT_EQ(result.exitCode, c.exitCode);
    if (c.errorStart.empty()) {
      EXPECT_EQ(result.err, "");
    } else {
      ASSERT_EQ(result.errLines().size(), 1u) << result.err;
      EXPECT_EQ(result.err.rfind(c.errorStart, 0), 0u) << result.err;
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(out));
}

// A program whose window module cannot be loaded says so in one line when
// a window is asked for, and does everything else as before.
TEST(Startup, WithoutTheWindowModuleOnlyTheWindowFails) {
  test::TempFolder folder;
  const std::string program = folder / "quillmark";
  std::filesystem::copy_file(test::programPath(), program);
  const std::string module = folder.write("modules/quillmark-window.so", "no module\n");
  const std::string shots = folder.makeFolder("shots");
  const std::string out = folder.makeFolder("out");
  const std::string document = std::string(QM_SOURCE_DIR) + "/samples/sunset.psd";

  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    int exitCode;
    std::string errorStart;  // of the one line on stderr; none when empty
  };
  const std::string unloadable = "Error: the window cannot be opened: " + module + ": ";
  const std::vector<Case> cases = {
      {"window", {}, 1, unloadable},
      {"screenshots", {"-T", shots}, 1, unloadable},
      {"version", {"--version"}, 0, ""},
      {"conversion", {"-q", "-i", document, "-o", out, "-c", "png"}, 0, ""},
  };
  test::ProgramOptions options;
  options.program = program;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const test::ProgramResult result = test::runProgram(c.arguments, options);
    EXPECT_EQ(result.exitCode, c.exitCode);
    if (c.errorStart.empty()) {
      EXPECT_EQ(result.err, "");
    } else {
      ASSERT_EQ(result.errLines().size(), 1u) << result.err;
      EXPECT_EQ(result.err.rfind(c.errorStart, 0), 0u) << result.err;
    }
  }
  EXPECT_TRUE(std::filesystem::is_regular_file(out + "sunset.png"));
  EXPECT_TRUE(std::filesystem::is_empty(shots));
}

}  // namespace
}  // namespace qm
