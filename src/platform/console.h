// The console of the command-line face: the process's own stdout and
// stderr. Status lines go to stdout, "Error: " lines to stderr. Every line
// ends with "\n". Lines may come from several threads; each is written
// whole.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace qm::platform {

class Console {
 public:
  // Sets the terminal title with an escape sequence, only when stdout is a
  // terminal.
  void setTitle(std::string_view title);
  void writeLine(std::string_view line);
  void writeErrorLine(std::string_view line);
  // A line kept at the bottom of a terminal on stderr (a run's progress):
  // other lines are written above it, and an empty text removes it. The
  // caller shows one only when stderr is a terminal.
  void setLiveLine(std::string_view line);
  // True when stderr is a terminal; its width in columns (80 when it
  // does not say).
  static bool errorIsTerminal();
  static int errorColumns();
  // One key without Enter on a terminal; otherwise one byte of stdin
  // (returning at end of input).
  void waitForKey();

 private:
  void eraseLiveLine();
  void drawLiveLine();

  std::mutex lock_;
  std::string live_;
};

}  // namespace qm::platform
