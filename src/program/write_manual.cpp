// Build-time tool: writes the manual page made from the option table, so
// the page installed beside the program always matches it, and the HTML
// user manual that Help opens: the same page with the written guide to
// the window.
//
//   quillmark_manual TEMPLATE OUTPUT PROGRAM_FOLDER [HTML_OUTPUT GUIDE]
#include <cstdio>
#include <fstream>
#include <string>

#include "cli/manual_html.h"
#include "cli/manual_page.h"
#include "platform/paths.h"
#include "platform/whole_file.h"

#include "program/sanitizer_suppressions.h"

namespace {

bool writeFile(const char* tool, const char* path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) std::fprintf(stderr, "%s: cannot write %s\n", tool, path);
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 6) {
    std::fprintf(stderr, "usage: %s TEMPLATE OUTPUT PROGRAM_FOLDER [HTML_OUTPUT GUIDE]\n", argv[0]);
    return 2;
  }
  const std::optional<std::string> pageTemplate = qm::readWholeFile(argv[1]);
  if (!pageTemplate) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  const std::optional<std::string> page = qm::manualPage({qm::platform::withTrailingSlash(argv[3])}, *pageTemplate);
  if (!page) {
    std::fprintf(stderr, "%s: %s lacks one of the markers the page is filled in at\n", argv[0], argv[1]);
    return 1;
  }
  if (!writeFile(argv[0], argv[2], *page)) return 1;
  if (argc == 6) {
    const std::optional<std::string> guide = qm::readWholeFile(argv[5]);
    if (!guide) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[5]);
      return 1;
    }
    if (!writeFile(argv[0], argv[4], qm::manualHtml(*page, *guide))) return 1;
  }
  return 0;
}
