#include "cli/profile.h"

#include <set>

#include <string_view>

#include "cli/options.h"
#include "formats/input_formats.h"
#include "platform/text.h"
#include "settings/ini.h"

namespace qm {

namespace {

constexpr ValueReaders kProfileReaders{readIniInteger, readIniReal};

}  // namespace

bool applyProfile(Settings& settings, const std::string& path) {
  if (path.empty()) return false;
  auto document = IniDocument::readFile(path);
  if (!document) return false;
  const IniGroup* group = document->group("CLI");
  if (!group) return true;
  // As everywhere in the settings text, the first occurrence of a key is
  // the one that counts.
  std::set<const Option*> applied;
  for (const auto& [key, rawValue] : group->entries) {
    const Option* option = findSettingOption(asciiUpper(key));
    if (!option || !applied.insert(option).second) continue;
    std::string_view value = trim(rawValue, " \t");
    if (option->longName == "--FILENAME-MASK") value = trim(value, "\"");
    applyOption(settings, *option, value, kProfileReaders);
  }
  return true;
}

}  // namespace qm
