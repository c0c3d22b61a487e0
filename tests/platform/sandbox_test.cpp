// The worker's sandbox, entered by a forked child of the test: what it
// refuses, what it keeps open (the inherited socket, reading anywhere,
// writing in its folder), and what the kernel reports about it.
#include "platform/sandbox.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/landlock.h>
#include <sched.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace qm::platform {
namespace {

bool landlockAvailable() {
  return ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION) >= 1;
}

bool refusedWith(long result, int error) { return result == -1 && errno == error; }

bool statusShows(const std::string& line) {
  std::ifstream status("/proc/self/status");
  for (std::string text; std::getline(status, text);)
    if (text == line) return true;
  return false;
}

bool canCreate(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

TEST(Sandbox, RefusesNetworkExecAndTracingButKeepsTheInheritedSocketAndItsFolder) {
  test::TempFolder output;
  test::TempFolder elsewhere;
  const std::string readable = elsewhere.write("document.psd", "8BPS");
  const bool landlock = landlockAvailable();

  struct Check {
    const char* name;
    std::function<bool()> holds;
  };
  const std::vector<Check> checks = {
    {"no_new_privs is set", [] { return statusShows("NoNewPrivs:\t1"); }},
    {"a filter is in place", [] { return statusShows("Seccomp:\t2"); }},
    {"no socket", [] { return refusedWith(::socket(AF_INET, SOCK_STREAM, 0), EPERM); }},
    {"no local socket", [] { return refusedWith(::socket(AF_UNIX, SOCK_STREAM, 0), EPERM); }},
    {"no socket pair",
     [] {
       int pair[2];
       return refusedWith(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), EPERM);
     }},
    {"no exec",
     [] {
       char* const arguments[] = {const_cast<char*>("/bin/true"), nullptr};
       return refusedWith(::execve("/bin/true", arguments, environ), EPERM);
     }},
    {"no new user namespace", [] { return refusedWith(::unshare(CLONE_NEWUSER), EPERM); }},
    {"no reading another process",
     [] { return refusedWith(::syscall(SYS_process_vm_readv, ::getppid(), nullptr, 0, nullptr, 0, 0), EPERM); }},
#if !defined(__SANITIZE_ADDRESS__)
    {"no tracing", [] { return refusedWith(::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr), EPERM); }},
#endif
    {"reads outside its folder",
     [&] {
       std::ifstream file(readable);
       std::string text;
       return std::getline(file, text) && text == "8BPS";
     }},
    {"writes in its folder and below it",
     [&] { return canCreate(output / "out.png") && canCreate(output.makeFolder("sub") + "out.png"); }},
    {"writes nowhere else (with Landlock)", [&] { return !landlock || !canCreate(elsewhere / "out.png"); }},
  };

  int channel[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(channel[0]);
    const SandboxState state = enterSandbox(output.str());
    std::string results;
    results += state.filtered ? '1' : '0';
    results += state.fileSystemLimited ? '1' : '0';
    for (const Check& check : checks) results += check.holds() ? '1' : '0';
    // Over the socket made before the sandbox, as a worker answers.
    const bool sent =
        ::send(channel[1], results.data(), results.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(results.size());
    ::_exit(sent ? 0 : 1);
  }
  ::close(channel[1]);
  std::string results;
  char buffer[64];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) results.append(buffer, got);
  ::close(channel[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  ASSERT_EQ(results.size(), checks.size() + 2);
  EXPECT_EQ(results[0], '1') << "the filter was not installed";
  EXPECT_EQ(results[1], landlock ? '1' : '0') << "Landlock " << (landlock ? "is there" : "is missing");
  for (std::size_t i = 0; i < checks.size(); ++i) EXPECT_EQ(results[i + 2], '1') << checks[i].name;
  // Only the child was confined.
  EXPECT_TRUE(canCreate(elsewhere / "after.png"));
}

}  // namespace
}  // namespace qm::platform
