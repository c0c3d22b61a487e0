#include "ui/main_window/recent_folders.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/text.h"

namespace qm {

namespace {

constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

std::uint32_t crc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) crc = kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// Folders are told apart by a checksum of their upper-cased text, so two
// spellings of one folder in different letter case count as one.
std::uint32_t folderIdentity(std::string_view folder) { return crc32(utf8Upper(folder)); }

}  // namespace

std::string recentFolder(const Settings& settings, int index) {
  std::string_view list = settings.recentOutFolders;
  for (int i = 0; i < index; ++i) {
    const std::size_t tab = list.find('\t');
    if (tab == std::string_view::npos) return {};
    list.remove_prefix(tab + 1);
  }
  return std::string(trim(list.substr(0, list.find('\t')), " "));
}

bool recordRecentFolder(Settings& settings, const std::string& folder) {
  if (folder.empty()) return false;
  const int limit = settings.outFoldersNumber;  // NOLINT(bugprone-signed-char-misuse): a number, not a letter
  const std::uint32_t identity = folderIdentity(folder);
  std::string list = folder;
  int count = 1;
  for (int j = 0; j < limit; ++j) {
    const std::string older = recentFolder(settings, j);
    if (older.empty() || count >= limit || folderIdentity(older) == identity) continue;
    list += '\t';
    list += older;
    ++count;
  }
  settings.recentOutFolders = std::move(list);
  return true;
}

}  // namespace qm
