#pragma once
// The pictures the program carries inside itself, so that it has a complete set of menu, toolbar and
// button images even when no theme package is installed. The PNG bytes are produced at build time
// from the SVG drawings in resources/pictures/builtin and stay valid for the whole run.
#include <cstdint>
#include <span>
#include <string_view>
namespace qm {
struct BuiltinPicture {
  std::string_view key;  // image key, e.g. "SelectAll"; "About" for the banner
  int width = 0;
  int height = 0;
  std::span<const std::uint8_t> png;  // the PNG file's bytes
};
// Convert 64 x 64, InFiles 48 x 48, InFolder 48 x 48, in that order.
std::span<const BuiltinPicture> builtinLargePictures();
// The 22 menu and toolbar icons, 16 x 16, in the order listed above.
// That order is: New, Add, InFiles, InFolder, OutFolder, OutFormat, FavFolder, ImportFiles, ExportFiles,
// Exit, Copy, Delete, SelectAll, Convert, Error, Preferences, CustomConverter, Help, Email, Web, Updates,
// About.
std::span<const BuiltinPicture> builtinIconPictures();
// The About window's 360 x 40 banner.
const BuiltinPicture& builtinAboutBanner();
}  // namespace qm
