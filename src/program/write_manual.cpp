// Build-time tool: writes the manual page made from the option table, so
// the page installed beside the program always matches it.
//
//   quillmark_manual OUTPUT PROGRAM_FOLDER
#include <cstdio>
#include <fstream>
#include <string>

#include "cli/manual_page.h"
#include "platform/paths.h"

#include "program/sanitizer_suppressions.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s OUTPUT PROGRAM_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string page = qm::manualPage({qm::platform::withTrailingSlash(argv[2])});
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << page;
  out.close();
  if (!out) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
