#include "platform/process.h"

#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

extern char** environ;

namespace qm::platform {

namespace {

// The spawn attributes and file actions, released on every path.
struct SpawnSetup {
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  SpawnSetup() {
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

std::uint64_t readNumberFile(const char* path) {
  std::ifstream file(path);
  std::uint64_t value = 0;
  if (!(file >> value)) return 0;
  return value;
}

}  // namespace

std::optional<ChildProcess> ChildProcess::spawn(const std::string& executable,
                                                const std::vector<std::string>& arguments, int socket,
                                                std::string& failure) {
  SpawnSetup setup;
  // The parent may block signals (the command line waits for SIGINT on a
  // thread of its own); the child starts with none blocked and every
  // disposition at its default.
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setsigdefault(&setup.attributes, &all);
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
  // dup2 clears close-on-exec on the copy, so only this one descriptor
  // crosses into the child.
  posix_spawn_file_actions_adddup2(&setup.actions, socket, kChildSocketFd);

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  int error = posix_spawn(&pid, executable.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
  if (error != 0) {
    failure = "cannot start " + executable + ": " + std::strerror(error);
    return std::nullopt;
  }
  return ChildProcess(pid);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    kill();
    pid_ = std::exchange(other.pid_, -1);
  }
  return *this;
}

ChildProcess::~ChildProcess() { kill(); }

void ChildProcess::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  wait();
}

int ChildProcess::wait() {
  int status = 0;
  if (pid_ <= 0) return status;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return status;
}

int ChildProcess::waitWithin(std::chrono::milliseconds grace) {
  const auto until = std::chrono::steady_clock::now() + grace;
  int status = 0;
  while (pid_ > 0) {
    pid_t ended = ::waitpid(pid_, &status, WNOHANG);
    if (ended == pid_ || (ended < 0 && errno != EINTR)) {
      pid_ = -1;
      return status;
    }
    if (std::chrono::steady_clock::now() >= until) {
      ::kill(pid_, SIGKILL);
      return wait();
    }
    ::usleep(2000);
  }
  return status;
}

std::string describeWaitStatus(int status) {
  if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) {
    int signal = WTERMSIG(status);
    const char* name = strsignal(signal);
    return "signal " + std::to_string(signal) + (name ? std::string(" (") + name + ")" : std::string());
  }
  return "status " + std::to_string(status);
}

namespace {

// The unfinished file of a child process. A signal handler reaches nothing
// but static storage, so this one path lives here: the child writes at
// most one file at a time, and only its main thread sets the path.
char unfinishedFile[4096];
volatile sig_atomic_t hasUnfinishedFile = 0;

extern "C" void endWithParent(int) {
  if (hasUnfinishedFile) ::unlink(unfinishedFile);
  ::_exit(1);
}

}  // namespace

bool tieToParent(pid_t parent) {
  struct sigaction action {};
  action.sa_handler = endWithParent;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  // The parent may have gone between the spawn and the line above.
  return ::getppid() == parent;
}

void removeIfParentDies(const std::string& path) {
  hasUnfinishedFile = 0;
  if (path.empty() || path.size() >= sizeof unfinishedFile) return;
  std::memcpy(unfinishedFile, path.c_str(), path.size() + 1);
  hasUnfinishedFile = 1;
}

void keepFreedMemoryForReuse() {
  constexpr int kMegabyte = 1 << 20;
  ::mallopt(M_MMAP_THRESHOLD, 32 * kMegabyte);
  ::mallopt(M_TRIM_THRESHOLD, 128 * kMegabyte);
}

int usableCoreCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  int count = CPU_COUNT(&set);
  return count > 0 ? count : 1;
}

std::uint64_t memoryRoomUnderCgroups(const std::string& root, const std::string& membership) {
  // Where the limits may be: the process's own group below each hierarchy
  // (a v2 line "0::/path", a v1 line "N:memory:/path", controllers
  // comma-separated), and the hierarchy's root, which is the own group
  // inside a cgroup namespace.
  std::vector<std::pair<std::string, std::string>> files;  // limit, usage
  auto addV2 = [&](const std::string& folder) {
    files.emplace_back(folder + "/memory.max", folder + "/memory.current");
  };
  auto addV1 = [&](const std::string& folder) {
    files.emplace_back(folder + "/memory.limit_in_bytes", folder + "/memory.usage_in_bytes");
  };
  addV2(root);
  addV1(root + "/memory");
  std::istringstream lines(membership);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
    const std::string path = line.substr(second + 1);
    if (path.empty() || path == "/" || path.find("/..") != std::string::npos) continue;
    if (line.compare(0, first, "0") == 0 && controllers == ",,") addV2(root + path);
    if (controllers.find(",memory,") != std::string::npos) addV1(std::string(root).append("/memory").append(path));
  }
  std::uint64_t room = UINT64_MAX;
  for (const auto& [limitFile, usageFile] : files) {
    // "max" (v2) reads as no number; an unlimited v1 group shows a number
    // near 2^63, larger than any machine.
    const std::uint64_t limit = readNumberFile(limitFile.c_str());
    const std::uint64_t used = readNumberFile(usageFile.c_str());
    if (limit > 0) room = std::min(room, used < limit ? limit - used : 0);
  }
  return room;
}

std::uint64_t availableMemoryBytes() {
  std::uint64_t available = 0;
  {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    std::string unit;
    while (meminfo >> key >> kilobytes) {
      std::getline(meminfo, unit);
      if (key == "MemAvailable:") {
        available = kilobytes * 1024;
        break;
      }
    }
  }
  if (available == 0) available = static_cast<std::uint64_t>(sysconf(_SC_AVPHYS_PAGES)) * sysconf(_SC_PAGESIZE);

  // Under a cgroup limit (v2 or v1) the room left there may be smaller.
  std::ostringstream membership;
  membership << std::ifstream("/proc/self/cgroup").rdbuf();
  return std::min(available, memoryRoomUnderCgroups("/sys/fs/cgroup", membership.str()));
}

std::optional<std::uint64_t> residentBytes(pid_t pid) {
  std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
  std::uint64_t size = 0;
  std::uint64_t resident = 0;
  if (!(statm >> size >> resident)) return std::nullopt;
  return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace qm::platform
