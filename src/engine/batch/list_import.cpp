#include "engine/batch/list_import.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <utility>

#include "engine/batch/folder_scan.h"
#include "engine/batch/worker_thread.h"
#include "platform/file_descriptor.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/whole_file.h"

namespace qm {

namespace {

enum class Encoding { Utf8, Utf16Little, Utf16Big };

// Without a mark, UTF-16 shows itself by its zero bytes: paths are mostly
// ASCII, whose high byte is 0, so at least a quarter of the pairs have a
// zero on one side and hardly any on the other. Random bytes and UTF-8
// have few zeros on either side.
Encoding guessEncoding(std::string_view bytes) {
  const std::size_t pairs = std::min(bytes.size(), std::size_t{65536}) / 2;
  std::size_t evenZeros = 0, oddZeros = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    evenZeros += bytes[2 * i] == '\0';
    oddZeros += bytes[2 * i + 1] == '\0';
  }
  if (pairs == 0) return Encoding::Utf8;
  if (oddZeros * 4 >= pairs && evenZeros * 8 <= oddZeros) return Encoding::Utf16Little;
  if (evenZeros * 4 >= pairs && oddZeros * 8 <= evenZeros) return Encoding::Utf16Big;
  return Encoding::Utf8;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// A lone surrogate becomes U+FFFD: no file is named with one.
std::string utf16ToUtf8(std::string_view bytes, bool little) {
  auto unit = [&](std::size_t i) -> std::uint32_t {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    return little ? (b << 8 | a) : (a << 8 | b);
  };
  const std::size_t units = bytes.size() / 2;
  std::string out;
  out.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000)
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(++i) - 0xDC00);
    else if (cp >= 0xD800 && cp < 0xE000)
      cp = 0xFFFD;
    appendUtf8(out, cp);
  }
  return out;
}

bool holdsControlCharacter(std::string_view line) {
  return std::any_of(line.begin(), line.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && byte != '\t') || byte == 0x7F;
  });
}

}  // namespace

std::string listFileText(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) return utf16ToUtf8(bytes.substr(2), true);
  if (bytes.starts_with("\xFE\xFF")) return utf16ToUtf8(bytes.substr(2), false);
  switch (guessEncoding(bytes)) {
    case Encoding::Utf16Little: return utf16ToUtf8(bytes, true);
    case Encoding::Utf16Big: return utf16ToUtf8(bytes, false);
    case Encoding::Utf8: break;
  }
  return std::string(bytes);
}

std::vector<std::string> listFileLines(std::string_view bytes) {
  const std::string text = listFileText(bytes);
  std::string_view rest = text;
  std::vector<std::string> lines;
  while (!rest.empty()) {
    auto end = rest.find_first_of("\r\n");
    std::string_view line = rest.substr(0, end);
    if (end == std::string_view::npos) {
      rest = {};
    } else {
      bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
      rest.remove_prefix(end + (crlf ? 2 : 1));
    }
    line = trim(line);
    if (!line.empty()) lines.emplace_back(line);
  }
  return lines;
}

bool canNameAPath(std::string_view line) { return line.find('\0') == std::string_view::npos && line.size() < PATH_MAX; }

bool looksBinary(const std::vector<std::string>& lines) {
  const auto odd = static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), holdsControlCharacter));
  return odd >= 8 && odd * 2 > lines.size();
}

ListFile readListFile(const std::string& path) {
  ListFile list;
  if (auto size = platform::fileSize(path); size && *size > kLargestListFile) {
    list.problem = "larger than " + std::to_string(kLargestListFile >> 20) + " MiB, too large for a list file";
    return list;
  }
  auto bytes = readWholeFile(path, kLargestListFile);
  if (!bytes) {
    list.problem = platform::pathExists(path) ? "cannot be read" : "no such file";
    return list;
  }
  list.lines = listFileLines(*bytes);
  if (looksBinary(list.lines)) {
    list.lines.clear();
    list.problem = "not a text file, so not a list of paths";
  }
  return list;
}

std::int64_t countLineFeeds(const std::string& path) {
  platform::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return 0;
  std::array<char, 65536> block;
  std::int64_t count = 0;
  for (;;) {
    const ssize_t got = ::read(fd.get(), block.data(), block.size());
    if (got <= 0) break;
    count += std::count(block.data(), block.data() + got, '\n');
  }
  return count;
}

void listImportProcedure(InputList& inputs, const RunState& run, Progress& progress) {
  const ListFile list = readListFile(run.inputFile);
  if (!list.problem.empty()) progress.noteRefusal(run.inputFile, list.problem);
  int accepted = 0;
  int added = 0;
  for (const std::string& line : list.lines) {
    progress.waitWhileHeld();
    if (!progress.running()) break;
    if (!canNameAPath(line)) continue;
    if (line.front() != '/') {
      progress.noteRefusal(line, "a relative path; list files name absolute paths");
      continue;
    }
    if (!platform::pathExists(line)) {
      progress.noteRefusal(line, "no such file");
      continue;
    }
    progress.setIndex(++accepted);
    if (platform::isFolder(line)) {
      added += scanFolder(platform::withTrailingSlash(line), inputs, run, &progress);
      continue;
    }
    const Admission admission = inputs.admit(line, run.inputRoot, run.readableExtensions);
    if (admission == Admission::Added)
      ++added;
    else if (std::string reason = refusalReason(admission, run.readableExtensions); !reason.empty())
      progress.noteRefusal(line, std::move(reason));
  }
  progress.addToSavedCount(added);
}

std::jthread startListImport(InputList& inputs, const RunState& run, Progress& progress) {
  return startWorkerThread(progress, [&inputs, &run, &progress] { listImportProcedure(inputs, run, progress); });
}

}  // namespace qm
