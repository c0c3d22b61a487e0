// The single-instance lock without a runtime folder: a private folder the
// user owns, which another user cannot squat or lend through a link.
#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace qm::platform {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

TEST(InstanceLock, PrivateFolderIsMadeOrRefusedWhenNotTheUsersOwn) {
  struct Case {
    std::string name;
    std::function<void(const std::string& folder, const std::string& root)> prepare;
    std::string problem;  // empty: the lock is taken
  };
  const std::vector<Case> cases = {
      {"missing", [](const std::string&, const std::string&) {}, ""},
      {"already the user's", [](const std::string& folder, const std::string&) { ::mkdir(folder.c_str(), 0700); }, ""},
      {"squatted by another user",
       [](const std::string& folder, const std::string&) {
         ::mkdir(folder.c_str(), 0700);
         ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
       },
       " belongs to another user"},
      {"a link to a folder of the user's",
       [](const std::string& folder, const std::string& root) {
         fs::create_directory(root + "/elsewhere");
         ::chmod((root + "/elsewhere").c_str(), 0700);
         fs::create_directory_symlink(root + "/elsewhere", folder);
       },
       " is not a folder of its own (a link or a file?)"},
      {"a file", [](const std::string& folder, const std::string&) { std::ofstream(folder) << "x"; },
       " is not a folder of its own (a link or a file?)"},
      {"open to everybody",
       [](const std::string& folder, const std::string&) {
         ::mkdir(folder.c_str(), 0700);
         ::chmod(folder.c_str(), 0777);
       },
       " is open to other users (mode 777)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder root;
    const std::string folder = InstanceLock::privateFolder(root.path().string());
    EXPECT_EQ(folder, root.path().string() + "/quillmark-" + std::to_string(::geteuid()));
    c.prepare(folder, root.path().string());
    LockAttempt attempt = InstanceLock::acquire("Quillmark", "", root.path().string());
    if (c.problem.empty()) {
      EXPECT_TRUE(attempt.lock.has_value()) << attempt.problem;
      struct stat info {};
      ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, 0700u);
      EXPECT_TRUE(fs::exists(folder + "/Quillmark.lock"));
      // A second taker sees it held, and gets it once it is let go.
      LockAttempt second = InstanceLock::acquire("Quillmark", "", root.path().string());
      EXPECT_FALSE(second.lock.has_value());
      EXPECT_TRUE(second.heldElsewhere);
      attempt.lock.reset();
      EXPECT_TRUE(InstanceLock::acquire("Quillmark", "", root.path().string()).lock.has_value());
    } else {
      EXPECT_FALSE(attempt.lock.has_value());
      EXPECT_FALSE(attempt.heldElsewhere);
      EXPECT_EQ(attempt.problem, folder + c.problem);
      EXPECT_FALSE(fs::exists(folder + "/Quillmark.lock"));
    }
  }
}

TEST(InstanceLock, RuntimeFolderHoldsTheLockWhenThereIsOne) {
  test::TempFolder runtime;
  test::TempFolder root;
  LockAttempt attempt = InstanceLock::acquire("Quillmark", runtime.path().string(), root.path().string());
  EXPECT_TRUE(attempt.lock.has_value()) << attempt.problem;
  EXPECT_TRUE(fs::exists(runtime / "Quillmark.lock"));
  EXPECT_TRUE(fs::is_empty(root.path()));
}

}  // namespace
}  // namespace qm::platform
