#include "engine/list_import.h"

#include <fstream>
#include <iterator>
#include <optional>

#include "engine/folder_scan.h"
#include "platform/paths.h"

namespace qm {

namespace {

std::optional<std::string> readWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return std::nullopt;
  return bytes;
}

std::string_view trimBlanks(std::string_view text) {
  auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::vector<std::string> listFileLines(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::vector<std::string> lines;
  while (!bytes.empty()) {
    auto end = bytes.find_first_of("\r\n");
    std::string_view line = bytes.substr(0, end);
    if (end == std::string_view::npos) {
      bytes = {};
    } else {
      bool crlf = bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n';
      bytes.remove_prefix(end + (crlf ? 2 : 1));
    }
    line = trimBlanks(line);
    if (!line.empty()) lines.emplace_back(line);
  }
  return lines;
}

void listImportProcedure(InputList& inputs, const RunState& run, Progress& progress) {
  auto bytes = readWholeFile(run.inputFile);
  if (!bytes) return;
  int accepted = 0;
  int added = 0;
  for (const std::string& line : listFileLines(*bytes)) {
    progress.waitWhileHeld();
    if (!progress.running()) break;
    if (!platform::pathExists(line)) continue;
    progress.setIndex(++accepted);
    if (platform::isFolder(line))
      added += scanFolder(platform::withTrailingSlash(line), inputs, run);
    else
      added += inputs.admitFile(line, run.inputRoot, run.readableExtensions);
  }
  progress.addToSavedCount(added);
}

std::jthread startListImport(InputList& inputs, const RunState& run, Progress& progress) {
  return std::jthread([&inputs, &run, &progress] { listImportProcedure(inputs, run, progress); });
}

}  // namespace qm
