#include "support/program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "support/image_readback.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

extern char** environ;

namespace qm::test {

std::string programPath() { return QM_PROGRAM_PATH; }

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

WorkerLimits workerLimits(int jobs) {
  WorkerLimits limits;
  limits.executable = programPath();
  limits.jobs = jobs;
  return limits;
}

std::vector<std::string> ProgramResult::outLines() const { return splitLines(out); }
std::vector<std::string> ProgramResult::errLines() const { return splitLines(err); }

ProgramResult runProgram(const std::vector<std::string>& arguments, const ProgramOptions& options) {
  TempFolder scratch;
  std::string runtimeDir = options.runtimeDir.empty() ? scratch.makeFolder("runtime") : options.runtimeDir;
  std::string configDir = options.configDir.empty() ? scratch.makeFolder("config") : options.configDir;
  std::string program = options.program.empty() ? programPath() : options.program;

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    if (entry.rfind("XDG_RUNTIME_DIR=", 0) == 0 || entry.rfind("XDG_CONFIG_HOME=", 0) == 0) continue;
    if (options.display && (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0)) continue;
    env.push_back(entry);
  }
  if (options.display && !options.display->empty()) env.push_back("DISPLAY=" + *options.display);
  env.push_back("XDG_RUNTIME_DIR=" + runtimeDir);
  env.push_back("XDG_CONFIG_HOME=" + configDir);
  env.insert(env.end(), options.environment.begin(), options.environment.end());
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC))
    throw std::runtime_error("pipe failed");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  if (!options.workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.workingDir.c_str());

  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  if (rc != 0) {
    close(inPipe[1]);
    close(outPipe[0]);
    close(errPipe[0]);
    throw std::runtime_error(std::string("spawn failed: ") + std::strerror(rc));
  }

  if (!options.input.empty()) {
    [[maybe_unused]] ssize_t n = write(inPipe[1], options.input.data(), options.input.size());
  }
  close(inPipe[1]);

  ProgramResult result;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[65536];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
        if (options.onOutput) options.onOutput(pid, result.out, result.err);
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

DocumentConversion convertDocument(const PsdImage& document, const std::vector<std::string>& options,
                                   const std::string& extension, const std::string& name) {
  TempFolder folder;
  const std::string input = writePsd(folder / (name + ".psd"), document);
  const std::string out = folder.makeFolder("out");
  std::vector<std::string> arguments = {"-i", input, "-o", out, "-c", extension};
  arguments.insert(arguments.end(), options.begin(), options.end());
  DocumentConversion conversion;
  conversion.result = runProgram(arguments);
  conversion.outputExists = !folderEntries(out).empty();
  conversion.output = readBack(out + name + "." + extension);
  return conversion;
}

}  // namespace qm::test
