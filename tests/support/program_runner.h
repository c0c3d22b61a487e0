// Runs the real quillmark executable in a child process, the way a user
// or a script would: its own XDG_RUNTIME_DIR (so runs never share the
// single-instance lock) and XDG_CONFIG_HOME, stdin from a given text,
// stdout and stderr captured.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "canvas/bitmap.h"
#include "engine/batch/supervisor.h"

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
  // The X display of the child: unset, the test's own; empty, none at all;
  // otherwise that display (and never a Wayland one).
  std::optional<std::string> display;
  // More NAME=value entries for the child's environment.
  std::vector<std::string> environment;
  // Called with the child's process id and everything it has written so
  // far, after each read: a test can signal the child at the moment it
  // chooses.
  std::function<void(pid_t pid, const std::string& out, const std::string& err)> onOutput;
};

// The path of the built quillmark.
std::string programPath();

// Worker limits for a batch run inside a test: the built program as the
// worker executable (the test binary cannot be one), `jobs` at once.
WorkerLimits workerLimits(int jobs = 2);

ProgramResult runProgram(const std::vector<std::string>& arguments, const ProgramOptions& options = {});

std::vector<std::string> splitLines(const std::string& text);

class PsdImage;

struct DocumentConversion {
  ProgramResult result;
  Bitmap output;              // read back with FreeImage; empty when none
  bool outputExists = false;  // anything at all was written
};

// Writes `document` as <name>.psd into a folder of its own, converts it
// with the real program into an empty output folder there (`-c extension`
// and the given options), and reads <name>.<extension> back.
DocumentConversion convertDocument(const PsdImage& document, const std::vector<std::string>& options,
                                   const std::string& extension = "png", const std::string& name = "in");

}  // namespace qm::test
