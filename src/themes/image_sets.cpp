#include "themes/image_sets.h"

#include <optional>

#include "themes/builtin_pictures.h"

namespace qm {

namespace {

constexpr std::array<int, 5> kIconSizes = {16, 24, 32, 48, 64};

std::optional<Picture> decodeBuiltin(const BuiltinPicture& builtin) {
  std::optional<Picture> picture = decodePng(builtin.png);
  if (!picture || picture->width != builtin.width || picture->height != builtin.height) return std::nullopt;
  return picture;
}

// Every key of the set must be served by exactly one embedded picture; the
// pictures are matched by key, not by position, so a reordered table
// cannot put the wrong icon behind a key.
bool fillFromBuiltins(ImageSet& set, std::span<const BuiltinPicture> builtins) {
  bool complete = true;
  for (KeyedPicture& entry : set.entries()) {
    const BuiltinPicture* found = nullptr;
    for (const BuiltinPicture& builtin : builtins)
      if (builtin.key == entry.key) found = &builtin;
    std::optional<Picture> picture = found ? decodeBuiltin(*found) : std::nullopt;
    if (picture) {
      entry.picture = std::move(*picture);
    } else {
      entry.picture = Picture{};
      complete = false;
    }
  }
  return complete;
}

}  // namespace

ImageSet::ImageSet(std::span<const std::string_view> keys) {
  entries_.reserve(keys.size());
  for (std::string_view key : keys) entries_.push_back(KeyedPicture{key, Picture{}});
}

Picture* ImageSet::find(std::string_view key) {
  for (KeyedPicture& entry : entries_)
    if (entry.key == key) return &entry.picture;
  return nullptr;
}

const Picture* ImageSet::find(std::string_view key) const {
  for (const KeyedPicture& entry : entries_)
    if (entry.key == key) return &entry.picture;
  return nullptr;
}

bool loadBuiltinImages(ImageSets& sets) {
  bool complete = fillFromBuiltins(sets.large, builtinLargePictures());
  complete = fillFromBuiltins(sets.menu, builtinIconPictures()) && complete;
  complete = fillFromBuiltins(sets.toolbar, builtinIconPictures()) && complete;
  std::optional<Picture> banner = decodeBuiltin(builtinAboutBanner());
  sets.aboutBanner = banner ? std::move(*banner) : Picture{};
  return complete && banner.has_value();
}

int iconSize(std::int32_t code) {
  return code >= 0 && code < static_cast<std::int32_t>(kIconSizes.size()) ? kIconSizes[code] : kIconSizes[0];
}

}  // namespace qm
