#include "ui/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "support/program_runner.h"

extern char** environ;

namespace qm::test {

namespace {

bool nameMatches(const std::string& entry, const std::string& name) {
  return entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 && entry[name.size()] == '=';
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const Options& options) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool drop = false;
    for (const std::string& name : options.unsetEnvironment) drop = drop || nameMatches(entry, name);
    for (const std::string& set : options.setEnvironment)
      drop = drop || nameMatches(entry, set.substr(0, set.find('=')));
    if (!drop) env.push_back(entry);
  }
  env.insert(env.end(), options.setEnvironment.begin(), options.setEnvironment.end());
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = arguments;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string output = options.outputFile.empty() ? "/dev/null" : options.outputFile;
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  if (options.keepDescriptor >= 0) {
    // A descriptor duplicated onto itself loses its close-on-exec flag.
    posix_spawn_file_actions_adddup2(&actions, options.keepDescriptor, options.keepDescriptor);
  }
  const int rc = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + arguments[0] + ": " + std::strerror(rc));
}

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::running() {
  if (exitCode_) return false;
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == 0) return true;
  exitCode_ = done == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return false;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds limit) {
  waitUntil([this] { return !running(); }, limit);
  return exitCode_;
}

void ChildProcess::stop() {
  if (!running()) return;
  kill(pid_, SIGTERM);
  if (waitForExit(std::chrono::seconds(1))) return;
  kill(pid_, SIGKILL);
  waitForExit(std::chrono::seconds(5));
}

std::optional<std::string> runTool(const std::vector<std::string>& arguments, const std::string& display) {
  ProgramOptions options;
  options.program = arguments.front();
  options.display = display;
  const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  // Tools are found in PATH like a shell would.
  for (const char* folder : {"/usr/bin/", "/bin/", "/usr/local/bin/"})
    if (access((folder + options.program).c_str(), X_OK) == 0) {
      options.program = folder + options.program;
      break;
    }
  ProgramResult result = runProgram(rest, options);
  if (result.exitCode != 0) return std::nullopt;
  return result.out;
}

}  // namespace qm::test
