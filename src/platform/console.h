// The console of the command-line face: the process's own stdout and
// stderr. Status lines go to stdout, "Error: " lines to stderr. Every line
// ends with "\n".
#pragma once

#include <string_view>

namespace qm::platform {

class Console {
 public:
  // Sets the terminal title with an escape sequence, only when stdout is a
  // terminal.
  void setTitle(std::string_view title);
  void writeLine(std::string_view line);
  void writeErrorLine(std::string_view line);
  // One key without Enter on a terminal; otherwise one byte of stdin
  // (returning at end of input).
  void waitForKey();
};

}  // namespace qm::platform
