// The three image sets every icon of the main window comes from (large
// buttons, menu icons, toolbar icons) and the About banner. The keys of
// each set are fixed when the set is made; the built-in pictures fill
// them once at start-up and a theme package may later replace the picture
// behind any key, never add or remove a key.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "canvas/picture.h"

namespace qm {

inline constexpr std::array<std::string_view, 3> kLargeImageKeys = {"Convert", "InFiles", "InFolder"};

// Shared by the menu icon set and the toolbar icon set.
inline constexpr std::array<std::string_view, 22> kIconImageKeys = {
    "New",   "Add",  "InFiles", "InFolder",  "OutFolder", "OutFormat", "FavFolder",   "ImportFiles",     "ExportFiles",
    "Exit",  "Copy", "Delete",  "SelectAll", "Convert",   "Error",     "Preferences", "CustomConverter", "Help",
    "Email", "Web",  "Updates", "About"};

struct KeyedPicture {
  std::string_view key;
  Picture picture;
};

class ImageSet {
 public:
  explicit ImageSet(std::span<const std::string_view> keys);

  // Nothing for a key the set does not have.
  Picture* find(std::string_view key);
  const Picture* find(std::string_view key) const;

  // In the order of the key list the set was made with.
  std::span<KeyedPicture> entries() { return entries_; }
  std::span<const KeyedPicture> entries() const { return entries_; }

 private:
  std::vector<KeyedPicture> entries_;
};

struct ImageSets {
  ImageSet large{kLargeImageKeys};
  ImageSet menu{kIconImageKeys};
  ImageSet toolbar{kIconImageKeys};
  Picture aboutBanner;
};

// Fills every key of the three sets and the banner from the pictures
// embedded in the program. False when one of them is missing or does not
// decode to its stated size; that picture is then left empty.
bool loadBuiltinImages(ImageSets& sets);

// Toolbar icon side in pixels for a `UI Size` code: 0..4 give 16, 24, 32,
// 48, 64; any other code gives 16.
int iconSize(std::int32_t code);

}  // namespace qm
