// Theme packages: zip files in the `gfx/` folder beside the program, each
// holding "theme.cfg" and PNG pictures that replace pictures of the image
// sets. A theme is named by its identifier, the package's file name
// without ".zip".
//
// Nothing here reports a failure to the user: a missing folder, a damaged
// or oversized package, a missing key or entry, or a picture that does not
// decode simply leaves the pictures as they were.
#pragma once

#include <map>
#include <string>

#include "settings/settings.h"
#include "themes/image_sets.h"

namespace qm {

struct ThemeList {
  std::map<std::string, std::string> displayNames;  // identifier -> display name
  // The identifier stored last by scanThemes: the theme loadTheme falls
  // back to when `UI Theme` names no package.
  std::string current;

  bool empty() const { return displayNames.empty(); }
};

// programFolder ends with "/". Empty for an identifier that cannot be a
// package's file name (empty, or holding "/" or a NUL byte), so `UI Theme`
// can never reach outside `gfx/`.
std::string themePackagePath(const std::string& programFolder, const std::string& identifier);

// Every "*.zip" file of `gfx/`, in the order the file system lists them,
// with its display name; the last one listed becomes the current entry.
ThemeList scanThemes(const std::string& programFolder);

// The `Name` of section `Theme`, read from no more than the first 255
// bytes of the package's theme.cfg (empty when it is not there); the
// identifier itself when the package is missing, empty or not an archive.
std::string themeDisplayName(const std::string& programFolder, const std::string& identifier);

// Which image sets a theme load replaces pictures in.
struct ThemedSets {
  bool large = false;
  bool menu = false;
  bool toolbar = false;
};
inline constexpr ThemedSets kAllImageSets{true, true, true};

// Loads the package of `UI Theme` over the chosen sets. When that package
// does not exist and `themes` is not empty, `UI Theme` becomes the current
// entry of `themes` first. Pictures come from the entries theme.cfg names
// under [Buttons] (large set, 16-pixel names) and [Icons] (menu set at 16
// pixels, toolbar set at the size of `UI Size`). Returns the number of
// pictures replaced.
int loadTheme(ImageSets& sets, Settings& settings, const ThemeList& themes, const std::string& programFolder,
              ThemedSets which);

}  // namespace qm
