#include "cli/progress_line.h"

#include <cstdio>

#include "platform/console.h"
#include "platform/text.h"

namespace qm {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

std::string clockText(std::chrono::seconds time) {
  const long long total = time.count();
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  return text;
}

bool continuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Characters, not bytes: a UTF-8 name takes one column per character.
std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += continuationByte(c) ? 0 : 1;
  return count;
}

// The first `count` characters.
std::string_view firstCharacters(std::string_view text, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t seen = 0; at < text.size(); ++at) {
    if (!continuationByte(text[at]) && seen++ == count) break;
  }
  return text.substr(0, at);
}

// The last `count` characters.
std::string_view lastCharacters(std::string_view text, std::size_t count) {
  std::size_t at = text.size();
  for (std::size_t seen = 0; at > 0 && seen < count;) {
    --at;
    if (!continuationByte(text[at])) ++seen;
  }
  return text.substr(at);
}

// The text in at most `width` characters, its middle given up first.
std::string shortenedInTheMiddle(std::string_view text, std::size_t width) {
  const std::size_t length = characterCount(text);
  if (length <= width) return std::string(text);
  if (width <= 1) return width == 1 ? std::string(kEllipsis) : std::string();
  const std::size_t kept = width - 1;
  const std::size_t tail = kept / 2;
  return std::string(firstCharacters(text, kept - tail)) + std::string(kEllipsis) +
         std::string(lastCharacters(text, tail));
}

}  // namespace

std::string progressLineText(int done, int total, std::chrono::seconds elapsed, std::string_view path, int columns) {
  std::string line = std::to_string(done) + " of " + std::to_string(total) + ", " + clockText(elapsed);
  if (done > 0 && done < total) line += ", about " + clockText(elapsed * (total - done) / done) + " left";
  const std::size_t width = columns > 1 ? static_cast<std::size_t>(columns - 1) : 0;
  if (path.empty() || characterCount(line) + 2 >= width) return shortenedInTheMiddle(line, width);
  return line + ": " + shortenedInTheMiddle(escapeControlCharacters(path), width - characterCount(line) - 2);
}

LiveProgress::LiveProgress(platform::Console& console, std::function<std::string(int columns)> text)
    : console_(console), text_(std::move(text)) {
  redraw();
  ticker_ = std::jthread([this](const std::stop_token& stop) {
    std::unique_lock guard(lock_);
    while (!wake_.wait_for(guard, stop, kRedrawInterval, [] { return false; }) && !stop.stop_requested()) {
      guard.unlock();
      redraw();
      guard.lock();
    }
  });
}

LiveProgress::~LiveProgress() {
  ticker_.request_stop();
  ticker_.join();
  console_.setLiveLine({});
}

void LiveProgress::redraw() { console_.setLiveLine(text_(platform::Console::errorColumns())); }

}  // namespace qm
