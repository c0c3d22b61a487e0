// Theme packages for window tests, and the checksums by which the window's
// state lines name the pictures it shows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/picture_files.h"
#include "themes/theme_packages.h"
#include "ui/window_driver.h"

namespace qm::test {

// A theme package with opaque test pictures for some keys, at 16 pixels for
// the menus and the larger sizes for the toolbar.
struct ThemeIcon {
  std::string key;
  int seed;
};

inline void writeTheme(const std::string& path, const std::string& name, const std::vector<ThemeIcon>& icons) {
  std::string config = "[Theme]\r\nName=" + name + "\r\n[Icons]\r\n";
  std::vector<PackageEntry> entries;
  for (const ThemeIcon& icon : icons) {
    config += icon.key + "=icons/" + icon.key + "\r\n";
    for (int side : {16, 24, 32, 48, 64}) {
      RgbaImage picture = testPicture(side, icon.seed);
      for (std::size_t i = 3; i < picture.rgba.size(); i += 4) picture.rgba[i] = 255;
      entries.push_back({"icons/" + icon.key + "_" + std::to_string(side) + ".png", asText(encodePng(picture, true))});
    }
  }
  entries.insert(entries.begin(), {"theme.cfg", config + "\r\n"});
  writePackage(path, entries);
}

// The checksum the window reports for a picture's pixels.
inline std::string checksumOf(int side, int seed) {
  RgbaImage image = testPicture(side, seed);
  for (std::size_t i = 3; i < image.rgba.size(); i += 4) image.rgba[i] = 255;
  std::uint32_t hash = 2166136261u;
  for (std::uint8_t byte : image.rgba) hash = (hash ^ byte) * 16777619u;
  char text[16];
  std::snprintf(text, sizeof text, "%08x", hash);
  return std::to_string(side) + "x" + std::to_string(side) + " " + text;
}

// The icon of a menu item by its command.
inline std::string menuIcon(const WindowState& state, const std::string& command) {
  for (const std::string& item : state.values("item"))
    if (item.rfind(command + "|", 0) == 0) return item.substr(item.rfind('|') + 1);
  return {};
}

inline std::string toolIcon(const WindowState& state, const std::string& command) {
  for (const std::string& tool : state.values("tool"))
    if (tool.rfind(command + "|", 0) == 0) return tool.substr(tool.rfind('|') + 1);
  return {};
}

}  // namespace qm::test
