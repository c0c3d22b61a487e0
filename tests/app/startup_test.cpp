#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

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
// display, where window mode then ends with 1.
TEST(Startup, WindowModeCreatesTheSettingsFolders) {
  test::TempFolder config;
  test::ProgramOptions options;
  options.configDir = config.str();
  options.display = "";
  auto result = test::runProgram({}, options);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(std::filesystem::is_directory(config.path() / "Ferroval" / "quillmark"));
}

}  // namespace
}  // namespace qm
