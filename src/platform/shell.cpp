#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace qm::platform {

void shellOpen(const std::string& target) {
  std::string program = "xdg-open";
  std::string argument = target;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) == 0) {
    // Reap it so no zombie stays behind; xdg-open returns quickly.
    int status = 0;
    waitpid(pid, &status, 0);
  }
}

}  // namespace qm::platform
