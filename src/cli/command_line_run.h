// The command-line run: validates the input, output folder, extension and
// the settings that would make conversion fail, fills the Input list from
// a file, a list file or a folder, converts on a worker thread and writes
// a summary. It ends with 0 only when every admitted file was written.
#pragma once

#include <string>
#include <string_view>

namespace qm {

struct Application;

namespace platform {
class Console;
}

// The input is a file when it has an extension: text after the last "."
// with no "/" or blank in it, that "." not opening the last component.
bool namesFile(std::string_view input);

enum class FolderCheck { Valid, Incorrect, Invalid };

struct ResolvedFolder {
  FolderCheck check = FolderCheck::Invalid;
  std::string path;  // with a trailing "/"
};

// A folder of the command line: one beginning with ".." is refused; a
// relative one lies under the program folder (a leading "./" dropped);
// it must exist. Nothing is created.
ResolvedFolder resolveFolder(std::string folder, const std::string& programFolder);

// After a successful option loop; the caller writes the banner before and
// does the pause after. Returns the exit code.
int runCommandLine(Application& app, bool quiet, platform::Console& console);

}  // namespace qm
