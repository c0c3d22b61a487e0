#include "cli/profile.h"

#include <string_view>

#include "cli/options.h"
#include "formats/input_formats.h"
#include "settings/ini.h"

namespace qm {

namespace {

std::string_view trimmed(std::string_view text, std::string_view characters) {
  auto first = text.find_first_not_of(characters);
  if (first == std::string_view::npos) return {};
  auto last = text.find_last_not_of(characters);
  return text.substr(first, last - first + 1);
}

constexpr ValueReaders kProfileReaders{readIniInteger, readIniReal};

}  // namespace

bool applyProfile(Settings& settings, const std::string& path) {
  if (path.empty()) return false;
  auto document = IniDocument::readFile(path);
  if (!document) return false;
  const IniGroup* group = document->group("CLI");
  if (!group) return true;
  for (const auto& [key, rawValue] : group->entries) {
    const Option* option = findSettingOption(asciiUpper(key));
    if (!option) continue;
    std::string_view value = trimmed(rawValue, " \t");
    if (option->longName == "--FILENAME-MASK") value = trimmed(value, "\"");
    applyOption(settings, *option, value, kProfileReaders);
  }
  return true;
}

}  // namespace qm
