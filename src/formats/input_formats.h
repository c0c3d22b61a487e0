// The input side of the format catalogue: the known image extensions
// grouped into families, the families this program reads (the Photoshop
// document "psd" and its large variant "psb"),
// the readable extension list derived from both, and the open-dialog
// filter.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct InputExtension {
  std::string_view extension;
  std::string_view family;
  std::string_view description;
};

// The 80 known input extensions.
std::span<const InputExtension> inputExtensionCatalogue();
// The families the program reads; the first is the default input type.
std::span<const std::string_view> inputTypeList();

// Every catalogue extension of each family of the type list, in order.
std::vector<std::string> deriveReadableExtensions(std::span<const std::string_view> typeList);
// The text after the last "." of the path's file name, lower-cased, is
// one of the readable extensions.
bool isReadable(std::string_view path, const std::vector<std::string>& readable);
// "All Supported Files|*.psd;*.psb|Adobe Photoshop File|*.psd|Adobe Photoshop
// Large Document|*.psb|All Files (*.*)|*.*"
// for the given texts of `Dialog`/`All Supported Files` and `All Files`.
std::string inputFileFilter(const std::vector<std::string>& readable, std::string_view allSupportedText,
                            std::string_view allFilesText);

// Lower-cases ASCII letters only.

}  // namespace qm
