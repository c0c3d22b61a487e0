// Interim: placeholders are left as they are until naming is built.
#include "engine/naming.h"

namespace qm {

std::string placeholderValue(std::string_view placeholder, const NamingValues&) { return std::string(placeholder); }

std::string expandPlaceholder(std::string text, std::string_view, const NamingValues&) { return text; }

std::string makeFileName(std::string_view mask, const NamingValues&) { return std::string(mask); }

std::string makeOutputPath(const Settings&, const std::string& outputFolder, const std::string&,
                           const NamingValues& values) {
  return outputFolder + makeFileName("", values);
}

void createSubFolders(const std::string&, const std::string&) {}

void applyFileTimestamp(const Settings&, const std::string&, const std::string&) {}

}  // namespace qm
