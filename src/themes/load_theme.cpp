// Loading a theme package over the image sets. A zip archive can only be
// read front to back, so the package is read twice: once to list its
// entries and read theme.cfg, once to unpack just the pictures theme.cfg
// asks for (entries in between are passed over by seeking).
#include "themes/themes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "platform/paths.h"
#include "themes/theme_config.h"
#include "themes/zip_reader.h"

namespace qm {

namespace {

// Four times the largest icon. The same entry may stand behind every key
// of all three sets, so a huge picture would be copied dozens of times;
// such pictures are refused before any pixel memory is taken.
constexpr std::uint32_t kMaxThemePictureSide = 256;
// Entry names of the large set and the menu set are formed with this size
// whatever the pictures' real sizes; only the toolbar follows `UI Size`.
constexpr int kNamedPictureSize = 16;

struct SetSource {
  ImageSet* set = nullptr;  // nullptr when not chosen
  std::string_view section;
  int size = 0;
};

struct PackageListing {
  std::set<std::string> entries;  // files with something in them
  std::string config;
  std::uint64_t unpackedBytes = 0;
};

// Folders and empty entries hold no picture; a size the archive does not
// state is given the benefit of the doubt.
bool mayHoldPicture(const ZipReader& package) { return package.isFile() && package.declaredSize().value_or(1) > 0; }

// Nothing when the package cannot be opened or turns out damaged while
// listing: then the theme changes nothing at all.
std::optional<PackageListing> listPackage(const std::string& path) {
  std::optional<ZipReader> package = ZipReader::open(path);
  if (!package) return std::nullopt;
  PackageListing listing;
  bool configSeen = false;
  while (package->next()) {
    if (!mayHoldPicture(*package)) continue;
    listing.entries.insert(package->name());
    if (!configSeen && package->name() == kThemeConfigEntry) {
      configSeen = true;
      if (std::optional<std::vector<std::uint8_t>> bytes = package->read())
        listing.config.assign(bytes->begin(), bytes->end());
    }
  }
  if (package->damaged()) return std::nullopt;
  listing.unpackedBytes = package->unpackedBytes();
  return listing;
}

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 | std::uint32_t{bytes[at + 2]} << 8 |
         std::uint32_t{bytes[at + 3]};
}

// A PNG file states its size in the IHDR chunk, which must come first
// right after the 8-byte signature: length, "IHDR", width, height.
bool pngSizeAcceptable(std::span<const std::uint8_t> bytes) {
  constexpr std::array<std::uint8_t, 4> kHeaderChunk = {'I', 'H', 'D', 'R'};
  if (bytes.size() < 24 || !std::equal(kHeaderChunk.begin(), kHeaderChunk.end(), bytes.begin() + 12)) return false;
  const std::uint32_t width = bigEndian32(bytes, 16);
  const std::uint32_t height = bigEndian32(bytes, 20);
  return width > 0 && height > 0 && width <= kMaxThemePictureSide && height <= kMaxThemePictureSide;
}

std::optional<Picture> decodeThemePicture(std::span<const std::uint8_t> bytes) {
  if (!pngSizeAcceptable(bytes)) return std::nullopt;
  std::optional<Picture> picture = decodePng(bytes);
  if (!picture || picture->width > static_cast<int>(kMaxThemePictureSide) ||
      picture->height > static_cast<int>(kMaxThemePictureSide))
    return std::nullopt;
  return picture;
}

// Entry name -> the pictures it replaces. One entry may serve several
// keys: a ".png" value serves every size, and at `UI Size` 0 the menu and
// the toolbar ask for the same 16-pixel file.
using WantedEntries = std::map<std::string, std::vector<Picture*>>;

WantedEntries wantedEntries(const PackageListing& listing, std::span<const SetSource> sources) {
  WantedEntries wanted;
  for (const SetSource& source : sources) {
    if (!source.set) continue;
    for (KeyedPicture& entry : source.set->entries()) {
      const std::string value = readThemeValue(listing.config, source.section, entry.key);
      if (value.empty()) continue;
      std::string name = themeEntryName(value, source.size);
      if (listing.entries.contains(name)) wanted[std::move(name)].push_back(&entry.picture);
    }
  }
  return wanted;
}

int unpackPictures(const std::string& path, const ZipLimits& limits, WantedEntries wanted) {
  std::optional<ZipReader> package = ZipReader::open(path, limits);
  if (!package) return 0;
  int replaced = 0;
  while (!wanted.empty() && package->next()) {
    if (!mayHoldPicture(*package)) continue;
    // Of several entries with one name, the first is the one used.
    const auto found = wanted.find(package->name());
    if (found == wanted.end()) continue;
    std::optional<std::vector<std::uint8_t>> bytes = package->read();
    std::optional<Picture> picture = bytes ? decodeThemePicture(*bytes) : std::nullopt;
    if (picture) {
      for (Picture* target : found->second) *target = *picture;
      replaced += static_cast<int>(found->second.size());
    }
    wanted.erase(found);
  }
  return replaced;
}

}  // namespace

int loadTheme(ImageSets& sets, Settings& settings, const ThemeList& themes, const std::string& programFolder,
              ThemedSets which) {
  std::string path = themePackagePath(programFolder, settings.uiTheme);
  if ((path.empty() || !platform::pathExists(path)) && !themes.empty()) {
    settings.uiTheme = themes.current;
    path = themePackagePath(programFolder, settings.uiTheme);
  }
  if (path.empty()) return 0;

  const std::optional<PackageListing> listing = listPackage(path);
  if (!listing) return 0;

  const std::array<SetSource, 3> sources = {
      SetSource{which.large ? &sets.large : nullptr, "Buttons", kNamedPictureSize},
      SetSource{which.menu ? &sets.menu : nullptr, "Icons", kNamedPictureSize},
      SetSource{which.toolbar ? &sets.toolbar : nullptr, "Icons", iconSize(settings.uiSize)}};
  WantedEntries wanted = wantedEntries(*listing, sources);
  if (wanted.empty()) return 0;

  // One budget for the whole load: what listing unpacked counts against it.
  ZipLimits limits;
  limits.totalBytes -= std::min(limits.totalBytes, listing->unpackedBytes);
  return unpackPictures(path, limits, std::move(wanted));
}

}  // namespace qm
