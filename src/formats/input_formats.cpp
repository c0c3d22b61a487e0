#include "formats/input_formats.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/text.h"

namespace qm {

namespace {

constexpr std::string_view kRawFamily = "Camera RAW Image";

constexpr std::array<InputExtension, 80> kCatalogue = {{
    {"bmp", "bmp", "Windows or OS/2 Bitmap"},
    {"rle", "bmp", "Windows or OS/2 Bitmap"},
    {"dib", "bmp", "Windows or OS/2 Bitmap"},
    {"dds", "dds", "DirectDraw Surface File"},
    {"emf", "emf", "Enhanced Metafile Format"},
    {"emz", "emf", "Enhanced Metafile Format"},
    {"gif", "gif", "GIF File"},
    {"hdr", "hdr", "High Dynamic Range File"},
    {"hdri", "hdr", "High Dynamic Range File"},
    {"ico", "ico", "Windows Icon"},
    {"jpg", "jpg", "JPEG File"},
    {"jpeg", "jpg", "JPEG File"},
    {"jpe", "jpg", "JPEG File"},
    {"jif", "jpg", "JPEG File"},
    {"pcd", "pcd", "Kodak PhotoCD File"},
    {"pcd1", "pcd", "Kodak PhotoCD File"},
    {"pcds", "pcd", "Kodak PhotoCD File"},
    {"ppcd", "pcd", "Kodak PhotoCD File"},
    {"pcx", "pcx", "ZSoft Paintbrush File"},
    {"pic", "pic", "Macintosh PICT"},
    {"pict", "pic", "Macintosh PICT"},
    {"pct", "pic", "Macintosh PICT"},
    {"png", "png", "Portable Network Graphics"},
    {"psd", "psd", "Adobe Photoshop File"},
    {"psb", "psb", "Adobe Photoshop Large Document"},
    {"tga", "tga", "Truevision Targa"},
    {"targa", "tga", "Truevision Targa"},
    {"tiff", "tiff", "Tagged Image File Format"},
    {"tif", "tiff", "Tagged Image File Format"},
    {"wmf", "wmf", "Windows Metafile Format"},
    {"wmz", "wmf", "Windows Metafile Format"},
    {"apm", "wmf", "Aldus Placeable Metafile"},
    {"raw", "raw", kRawFamily},
    {"raw1", "raw", kRawFamily},
    {"raw2", "raw", kRawFamily},
    {"3fr", "raw", "Hasselblad Camera RAW Image"},
    {"arw", "raw", "Sony Camera RAW Image"},
    {"sr2", "raw", "Sony Camera RAW Image"},
    {"srf", "raw", "Sony Camera RAW Image"},
    {"bay", "raw", "Casio Camera RAW Image"},
    {"bmq", "raw", "NuCore RAW Image"},
    {"cap", "raw", "Phase One Camera RAW Image"},
    {"iiq", "raw", "Phase One Camera RAW Image"},
    {"eip", "raw", "Phase One Camera RAW Image"},
    {"cine", "raw", "Phantom RAW Image"},
    {"cr2", "raw", "Canon Camera RAW Image"},
    {"crw", "raw", "Canon Camera RAW Image"},
    {"cs1", "raw", "Capture Shop RAW Image"},
    {"dc2", "raw", "Kodak Camera RAW Image"},
    {"dcr", "raw", "Kodak Camera RAW Image"},
    {"drf", "raw", "Kodak Camera RAW Image"},
    {"dsc", "raw", "Kodak Camera RAW Image"},
    {"k25", "raw", "Kodak Camera RAW Image"},
    {"kc2", "raw", "Kodak Camera RAW Image"},
    {"kdc", "raw", "Kodak Camera RAW Image"},
    {"dcs", "raw", "Kodak Camera RAW Image"},
    {"dng", "raw", "Adobe Digital Negative Image"},
    {"erf", "raw", "Epson Camera RAW Image"},
    {"fff", "raw", "Imacon Camera RAW Image"},
    {"ia", "raw", "Sinar RAW Image"},
    {"sti", "raw", "Sinar RAW Image"},
    {"mdc", "raw", "Minolta Camera RAW Image"},
    {"mrw", "raw", "Minolta Camera RAW Image"},
    {"mef", "raw", "Mamiya Camera RAW Image"},
    {"mos", "raw", "Mamiya Camera RAW Image"},
    {"nef", "raw", "Nikon Camera RAW Image"},
    {"nrw", "raw", "Nikon Camera RAW Image"},
    {"orf", "raw", "Olympus Camera RAW Image"},
    {"pef", "raw", "Pentax Camera RAW Image"},
    {"ptx", "raw", "Pentax Camera RAW Image"},
    {"pxn", "raw", "Logitech Camera RAW Image"},
    {"qtk", "raw", "Apple Quicktake Camera RAW Image"},
    {"raf", "raw", "Fuji Camera RAW Image"},
    {"rdc", "raw", "Digital Foto Maker RAW Image"},
    {"rw2", "raw", "Panasonic Camera RAW Image"},
    {"rwz", "raw", "Rawzor Camera RAW Image"},
    {"x3f", "raw", "Sigma Camera RAW Image"},
    {"ari", "raw", "ARRI RAW Image"},
    {"r3d", "raw", "RED RAW Image"},
    {"rwl", "raw", "Leica Camera RAW Image"},
}};

constexpr std::array<std::string_view, 2> kInputTypes = {"psd", "psb"};

std::string_view descriptionOf(std::string_view extension) {
  for (const InputExtension& entry : kCatalogue)
    if (entry.extension == extension) return entry.description;
  return {};
}

}  // namespace

std::span<const InputExtension> inputExtensionCatalogue() { return kCatalogue; }
std::span<const std::string_view> inputTypeList() { return kInputTypes; }

std::vector<std::string> deriveReadableExtensions(std::span<const std::string_view> typeList) {
  std::string joined;
  for (std::string_view family : typeList)
    for (const InputExtension& entry : kCatalogue)
      if (entry.family == family) {
        joined += entry.extension;
        joined += ',';
      }
  if (!joined.empty() && joined.back() == ',') joined.pop_back();

  std::vector<std::string> list;
  std::string_view rest = joined;
  for (;;) {
    auto comma = rest.find(',');
    list.emplace_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  // An empty type list would leave one empty entry, which matches every
  // name without an extension; keep the list free of it.
  if (list.size() == 1 && list.front().empty()) list.clear();
  return list;
}

bool isReadable(std::string_view path, const std::vector<std::string>& readable) {
  std::string_view name = path;
  if (auto slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
  auto dot = name.rfind('.');
  std::string extension = dot == std::string_view::npos ? std::string() : asciiLower(name.substr(dot + 1));
  if (extension.empty()) return false;
  for (const std::string& candidate : readable)
    if (candidate == extension) return true;
  return false;
}

std::string inputFileFilter(const std::vector<std::string>& readable, std::string_view allSupportedText,
                            std::string_view allFilesText) {
  std::string allPatterns;
  std::vector<std::pair<std::string, std::string>> groups;  // description, patterns
  for (const std::string& extension : readable) {
    std::string pattern = "*." + extension;
    allPatterns += pattern + ";";
    std::string description(descriptionOf(extension));
    auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == description; });
    if (group == groups.end())
      groups.emplace_back(description, pattern);
    else
      group->second = pattern + ";" + group->second;
  }
  if (!allPatterns.empty() && allPatterns.back() == ';') allPatterns.pop_back();

  std::string filter = std::string(allSupportedText) + "|" + allPatterns + "|";
  for (const auto& [description, patterns] : groups)
    filter.append(description).append("|").append(patterns).append("|");
  filter += std::string(allFilesText) + " (*.*)|*.*";
  return filter;
}

}  // namespace qm
