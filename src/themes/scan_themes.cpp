// The list of installed themes, built once at start-up from the packages
// in `gfx/`, and the display name each package gives itself.
#include "themes/themes.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/handle.h"
#include "themes/theme_config.h"
#include "themes/zip_reader.h"

namespace qm {

namespace {

constexpr std::string_view kThemesFolder = "gfx/";
// Matched in this letter case only: the package is opened again by
// identifier + ".zip", and a "Name.ZIP" listed here could never be found.
constexpr std::string_view kPackageExtension = ".zip";
constexpr std::size_t kDisplayNameBytes = 255;

// Regular files only; a link to a package counts as the package.
bool isFile(int folderFd, const dirent& found) {
  if (found.d_type == DT_REG) return true;
  if (found.d_type != DT_LNK && found.d_type != DT_UNKNOWN) return false;
  struct stat status {};
  return fstatat(folderFd, found.d_name, &status, 0) == 0 && S_ISREG(status.st_mode);
}

std::vector<std::string> listPackageIdentifiers(const std::string& folder) {
  std::vector<std::string> identifiers;
  Handle<DIR, closedir> dir(opendir(folder.c_str()));
  if (!dir) return identifiers;
  while (const dirent* found = readdir(dir.get())) {
    const std::string_view name = found->d_name;
    if (name.size() <= kPackageExtension.size() || !name.ends_with(kPackageExtension)) continue;
    if (!isFile(dirfd(dir.get()), *found)) continue;
    identifiers.emplace_back(name.substr(0, name.size() - kPackageExtension.size()));
  }
  return identifiers;
}

}  // namespace

std::string themePackagePath(const std::string& programFolder, const std::string& identifier) {
  if (identifier.empty() || identifier.find('/') != std::string::npos || identifier.find('\0') != std::string::npos)
    return {};
  return programFolder + std::string(kThemesFolder) + identifier + std::string(kPackageExtension);
}

ThemeList scanThemes(const std::string& programFolder) {
  ThemeList themes;
  for (std::string& identifier : listPackageIdentifiers(programFolder + std::string(kThemesFolder))) {
    themes.displayNames[identifier] = themeDisplayName(programFolder, identifier);
    themes.current = std::move(identifier);
  }
  return themes;
}

std::string themeDisplayName(const std::string& programFolder, const std::string& identifier) {
  const std::string path = themePackagePath(programFolder, identifier);
  std::optional<ZipReader> package = path.empty() ? std::nullopt : ZipReader::open(path);
  if (!package) return identifier;
  std::string text;
  while (package->next()) {
    if (!package->isFile() || package->name() != kThemeConfigEntry) continue;
    if (std::optional<std::vector<std::uint8_t>> start = package->readPrefix(kDisplayNameBytes))
      text.assign(start->begin(), start->end());
    break;
  }
  return readThemeValue(text, "Theme", "Name");
}

}  // namespace qm
