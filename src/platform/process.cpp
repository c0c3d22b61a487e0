#include "platform/process.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

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

int usableCoreCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  int count = CPU_COUNT(&set);
  return count > 0 ? count : 1;
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

  // Under a cgroup v2 limit the room left there may be smaller.
  std::uint64_t limit = readNumberFile("/sys/fs/cgroup/memory.max");
  std::uint64_t used = readNumberFile("/sys/fs/cgroup/memory.current");
  if (limit > 0 && used <= limit && limit - used < available) available = limit - used;
  return available;
}

std::optional<std::uint64_t> residentBytes(pid_t pid) {
  std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
  std::uint64_t size = 0;
  std::uint64_t resident = 0;
  if (!(statm >> size >> resident)) return std::nullopt;
  return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace qm::platform
