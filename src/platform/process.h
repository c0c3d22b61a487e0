// Child processes of the program's own executable, and what the machine
// lets the process use (cores, memory). A child is started with
// posix_spawn and an argument vector, never through a shell, in a process
// group of its own (a Ctrl-C at the terminal is for the parent to handle),
// with the signal mask and dispositions reset and one socket as fd 3.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm::platform {

// The descriptor the child finds its socket on.
inline constexpr int kChildSocketFd = 3;

class ChildProcess {
 public:
  // Starts `executable` with `arguments` (the first is the child's name)
  // and `socket` as fd 3; stdin and stdout are /dev/null, stderr is
  // shared. Empty with `failure` set when it cannot start.
  static std::optional<ChildProcess> spawn(const std::string& executable, const std::vector<std::string>& arguments,
                                           int socket, std::string& failure);

  // No process.
  ChildProcess() = default;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // A child still running is killed and reaped: no process outlives its
  // owner.
  ~ChildProcess();

  pid_t pid() const { return pid_; }

  // Kills the child (SIGKILL) and reaps it.
  void kill();
  // Waits for the child to end and returns how it ended (a wait status).
  int wait();
  // The same, but a child still running after `grace` is killed.
  int waitWithin(std::chrono::milliseconds grace);

 private:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}
  pid_t pid_ = -1;
};

// How a child ended, in words: "exit code 3", "signal 11 (Segmentation
// fault)".
std::string describeWaitStatus(int status);

// Called first thing in a child: it ends with its parent (a SIGTERM when
// the parent thread that started it ends, which removes the file named by
// removeIfParentDies and exits), and ends at once when that parent is
// already gone. False when the parent is gone.
bool tieToParent(pid_t parent);
// The file a child is writing, removed should its parent die meanwhile;
// empty for none.
void removeIfParentDies(const std::string& path);

// A process that renders one document after another keeps the memory it
// freed for the next one, rather than giving it back to the system and
// asking for it again each time: that round trip (and the page faults
// after it) cost small documents more than their rendering. Blocks of
// 32 MiB and more still come and go by themselves, so a large document's
// pixels are returned as soon as it is done.
void keepFreedMemoryForReuse();

// The cores the process may run on.
int usableCoreCount();

// Memory the process may still take: the smaller of the kernel's
// MemAvailable and what is left under the limits of its cgroups (v2 or
// v1).
std::uint64_t availableMemoryBytes();
// What is left under the memory limits of the cgroups that `membership`
// (the text of /proc/self/cgroup) names, below the hierarchy mounted at
// `root`; UINT64_MAX when there is no limit.
std::uint64_t memoryRoomUnderCgroups(const std::string& root, const std::string& membership);

// A child's resident set size; empty once it is gone.
std::optional<std::uint64_t> residentBytes(pid_t pid);

}  // namespace qm::platform
