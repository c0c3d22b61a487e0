#include "engine/naming.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace qm {

namespace {

std::string baseName(const std::string& inputPath) {
  std::string name = platform::fileNamePart(inputPath);
  auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string twoDigits(int value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%02d", value);
  return text.data();
}

// Left-padded with "0" to five characters; a longer number keeps its first
// five.
std::string fiveCharacters(std::int32_t value) {
  std::string digits = std::to_string(value);
  if (digits.size() < 5) return std::string(5 - digits.size(), '0') + digits;
  return digits.substr(0, 5);
}

using ValueOf = std::string (*)(const NamingValues&);

struct Placeholder {
  std::string_view name;
  ValueOf value;
};

// The clock is read anew for each placeholder, as each one is expanded on
// its own.
constexpr std::array<Placeholder, 18> kValues = {{
    {"%filename%", [](const NamingValues& v) { return baseName(v.inputPath); }},
    {"%filename[u]%", [](const NamingValues& v) { return utf8Upper(baseName(v.inputPath)); }},
    {"%filename[l]%", [](const NamingValues& v) { return utf8Lower(baseName(v.inputPath)); }},
    {"%filename[t]%", [](const NamingValues& v) { return utf8Title(baseName(v.inputPath)); }},
    {"%ext%", [](const NamingValues& v) { return v.outputExtension; }},
    {"%ext[u]%", [](const NamingValues& v) { return asciiUpper(v.outputExtension); }},
    {"%ext[t]%", [](const NamingValues& v) { return asciiTitle(v.outputExtension); }},
    {"%yyyy%", [](const NamingValues&) { return std::to_string(platform::localTimeNow().tm_year + 1900); }},
    {"%mm%", [](const NamingValues&) { return twoDigits(platform::localTimeNow().tm_mon + 1); }},
    {"%dd%", [](const NamingValues&) { return twoDigits(platform::localTimeNow().tm_mday); }},
    {"%hh%", [](const NamingValues&) { return twoDigits(platform::localTimeNow().tm_hour); }},
    {"%ii%", [](const NamingValues&) { return twoDigits(platform::localTimeNow().tm_min); }},
    {"%ss%", [](const NamingValues&) { return twoDigits(platform::localTimeNow().tm_sec); }},
    {"%bpp%", [](const NamingValues& v) { return std::to_string(v.bitDepth); }},
    {"%width%", [](const NamingValues& v) { return std::to_string(v.width); }},
    {"%height%", [](const NamingValues& v) { return std::to_string(v.height); }},
    {"%rnd%", [](const NamingValues& v) { return fiveCharacters(v.randomNumber); }},
    {"%n%", [](const NamingValues& v) { return fiveCharacters(v.sequenceNumber); }},
}};

static_assert(
    [] {
      for (std::size_t i = 0; i < kValues.size(); ++i)
        if (kValues[i].name != kPlaceholders[i]) return false;
      return true;
    }(),
    "the value table follows the placeholder order");

}  // namespace

std::string placeholderValue(std::string_view placeholder, const NamingValues& values) {
  std::string wanted = asciiLower(placeholder);
  for (const Placeholder& entry : kValues)
    if (entry.name == wanted) return entry.value(values);
  return std::string(placeholder);
}

std::string expandPlaceholder(std::string text, std::string_view placeholder, const NamingValues& values) {
  std::size_t at = findIgnoringCase(text, placeholder, 0);
  if (at == std::string::npos) return text;
  const std::string value = placeholderValue(placeholder, values);
  while (at != std::string::npos) {
    text.replace(at, placeholder.size(), value);
    // The inserted value is not searched again for this placeholder.
    at = findIgnoringCase(text, placeholder, at + value.size());
  }
  return text;
}

std::string makeFileName(std::string_view mask, const NamingValues& values) {
  std::string name = utf8Lower(mask);
  if (name.empty()) name = "%filename%.%ext%";
  for (std::string_view placeholder : kPlaceholders) name = expandPlaceholder(std::move(name), placeholder, values);
  return name;
}

std::string fileNameEscapeProblem(std::string_view fileName) {
  bool outside = fileName.starts_with('/');
  std::size_t start = 0;
  while (!outside && start <= fileName.size()) {
    std::size_t slash = fileName.find('/', start);
    if (slash == std::string_view::npos) slash = fileName.size();
    outside = fileName.substr(start, slash - start) == "..";
    start = slash + 1;
  }
  if (!outside) return {};
  return "the file name mask leads outside the output folder: " + std::string(fileName);
}

std::string makeOutputPath(const Settings& settings, const std::string& outputFolder,
                           const std::string& relativeSubFolder, const NamingValues& values) {
  std::string path = outputFolder;
  if (settings.keepSubfolders) path += relativeSubFolder;
  return path + makeFileName(settings.filenameMask, values);
}

std::vector<std::string> createSubFolders(const std::string& outputFolder, const std::string& relativeSubFolder) {
  std::vector<std::string> made;
  if (platform::isFolder(outputFolder + relativeSubFolder)) return made;
  std::string path = outputFolder;
  std::size_t start = 0;
  while (start < relativeSubFolder.size()) {
    std::size_t slash = relativeSubFolder.find('/', start);
    if (slash == std::string::npos) slash = relativeSubFolder.size();
    if (slash > start) {
      path += relativeSubFolder.substr(start, slash - start);
      path += '/';
      // A level that cannot be made shows up as a failed write of the file.
      if (!platform::isFolder(path) && platform::createFolder(path)) made.push_back(path);
    }
    start = slash + 1;
  }
  return made;
}

void applyFileTimestamp(const Settings& settings, const std::string& inputPath, const std::string& outputPath) {
  switch (as<FileTimestamp>(settings.fileTimestamp)) {
    case FileTimestamp::Original:
      // The input's time goes over unchanged; a detour through local time
      // would shift it by an hour at daylight-saving changes.
      if (auto original = platform::modificationTime(inputPath)) platform::setModificationTime(outputPath, *original);
      break;
    case FileTimestamp::Custom:
      platform::setModificationTime(outputPath, platform::localDateToUtc(settings.customTimestamp));
      break;
    default: break;
  }
}

}  // namespace qm
