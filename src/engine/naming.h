// Output naming: the filename mask with its 18 placeholders, the output
// path, the mirrored sub-folders and the output file's time stamp. The
// same placeholder values serve the text watermark.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"

namespace qm {

// The values placeholders expand to, for one file.
struct NamingValues {
  std::string inputPath;
  std::string outputExtension;
  int bitDepth = 0;  // %bpp%
  int width = 0;     // %width%
  int height = 0;    // %height%
  std::int32_t randomNumber = 0;
  std::int32_t sequenceNumber = 0;
};

// In the order they are replaced.
inline constexpr std::array<std::string_view, 18> kPlaceholders = {
    "%filename%", "%filename[u]%", "%filename[l]%", "%filename[t]%", "%ext%", "%ext[u]%", "%ext[t]%", "%yyyy%", "%mm%",
    "%dd%",       "%hh%",          "%ii%",          "%ss%",          "%bpp%", "%width%",  "%height%", "%rnd%",  "%n%"};

std::string placeholderValue(std::string_view placeholder, const NamingValues& values);
// Replaces every occurrence of one placeholder, matched without regard to
// case.
std::string expandPlaceholder(std::string text, std::string_view placeholder, const NamingValues& values);
// The mask, lower-cased, with all placeholders replaced in table order.
std::string makeFileName(std::string_view mask, const NamingValues& values);
// Why an expanded file name would lead out of the output folder (it
// starts with "/" or holds a ".." component); empty when it stays inside.
// Sub-folders below the output folder are fine.
std::string fileNameEscapeProblem(std::string_view fileName);
// Output folder + (sub-folder when kept) + file name.
std::string makeOutputPath(const Settings& settings, const std::string& outputFolder,
                           const std::string& relativeSubFolder, const NamingValues& values);
// Creates the relative sub-folder's levels under the output folder and
// returns the folders it made, outermost first.
std::vector<std::string> createSubFolders(const std::string& outputFolder, const std::string& relativeSubFolder);
// Current: nothing; Original: the input's time; Custom: `Custom Timestamp`.
void applyFileTimestamp(const Settings& settings, const std::string& inputPath, const std::string& outputPath);

}  // namespace qm
