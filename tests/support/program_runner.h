// Runs the real quillmark executable in a child process, the way a user
// or a script would: its own XDG_RUNTIME_DIR (so runs never share the
// single-instance lock) and XDG_CONFIG_HOME, stdin from a given text,
// stdout and stderr captured.
#pragma once

#include <string>
#include <vector>

namespace qm::test {

struct ProgramResult {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
  std::vector<std::string> outLines() const;
  std::vector<std::string> errLines() const;
};

struct ProgramOptions {
  std::string runtimeDir;  // XDG_RUNTIME_DIR; a fresh folder when empty
  std::string configDir;   // XDG_CONFIG_HOME; a fresh folder when empty
  std::string workingDir;  // current folder of the child; the test's when empty
  std::string input;       // written to the child's stdin
  std::string program;     // path of the executable; the built one when empty
};

// The path of the built quillmark.
std::string programPath();

ProgramResult runProgram(const std::vector<std::string>& arguments, const ProgramOptions& options = {});

std::vector<std::string> splitLines(const std::string& text);

}  // namespace qm::test
