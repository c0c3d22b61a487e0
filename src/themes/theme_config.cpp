#include "themes/theme_config.h"

#include <algorithm>

#include "platform/text.h"

namespace qm {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kValueSpace = " \t\r\n";

}  // namespace

std::string readThemeValue(std::string_view text, std::string_view section, std::string_view key) {
  const std::string header = "[" + std::string(section) + "]";
  const std::size_t headerAt = findIgnoringCase(text, header);
  if (headerAt == std::string_view::npos) return {};
  const std::size_t bodyAt = headerAt + header.size();
  const std::size_t sectionEnd = std::min(text.find('[', bodyAt), text.size());

  const std::size_t keyAt = findIgnoringCase(text, std::string(kLineBreak) + std::string(key), bodyAt);
  if (keyAt == std::string_view::npos || keyAt >= sectionEnd) return {};
  const std::size_t lineAt = keyAt + kLineBreak.size();
  const std::size_t lineEnd = text.find(kLineBreak, lineAt);
  if (lineEnd == std::string_view::npos) return {};

  const std::string_view line = text.substr(lineAt, lineEnd - lineAt);
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {};
  std::string_view value = line.substr(equals + 1);
  value = value.substr(0, value.find('='));
  return std::string(trim(value, kValueSpace));
}

std::string themeEntryName(std::string_view value, int size) {
  if (containsIgnoringCase(value, ".png")) return std::string(value);
  return std::string(value) + "_" + std::to_string(size) + ".png";
}

}  // namespace qm
