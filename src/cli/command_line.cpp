// Interim parser: only the version mode until the option table exists.
#include "cli/command_line.h"

#include "app/application.h"
#include "app/version.h"
#include "formats/input_formats.h"
#include "platform/console.h"

namespace qm {

std::optional<int> parseCommandLine(Application&, const std::vector<std::string>& parameters) {
  if (parameters.empty()) return std::nullopt;
  std::string first = asciiUpper(parameters[0]);
  if (first == "-V" || first == "--VERSION") {
    platform::Console console;
    console.setTitle(titleLine());
    console.writeLine(versionText());
    return 0;
  }
  return std::nullopt;
}

}  // namespace qm
