#include "platform/console.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace qm::platform {

void Console::setTitle(std::string_view title) {
  if (!isatty(STDOUT_FILENO)) return;
  std::fprintf(stdout, "\033]0;%.*s\007", static_cast<int>(title.size()), title.data());
  std::fflush(stdout);
}

void Console::writeLine(std::string_view line) {
  std::lock_guard guard(lock_);
  eraseLiveLine();
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  drawLiveLine();
}

void Console::writeErrorLine(std::string_view line) {
  std::lock_guard guard(lock_);
  eraseLiveLine();
  std::fflush(stdout);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  drawLiveLine();
}

void Console::setLiveLine(std::string_view line) {
  std::lock_guard guard(lock_);
  if (line == live_) return;
  eraseLiveLine();
  live_ = line;
  drawLiveLine();
}

// Back to the start of the line and clear it to its end.
void Console::eraseLiveLine() {
  if (live_.empty()) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
}

void Console::drawLiveLine() {
  if (live_.empty()) return;
  std::fwrite(live_.data(), 1, live_.size(), stderr);
  std::fflush(stderr);
}

bool Console::errorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

int Console::errorColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void Console::waitForKey() {
  char c = 0;
  if (isatty(STDIN_FILENO)) {
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) == 0) {
      termios raw = saved;
      raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
      raw.c_cc[VMIN] = 1;
      raw.c_cc[VTIME] = 0;
      tcsetattr(STDIN_FILENO, TCSANOW, &raw);
      [[maybe_unused]] ssize_t n = read(STDIN_FILENO, &c, 1);
      tcsetattr(STDIN_FILENO, TCSANOW, &saved);
      return;
    }
  }
  [[maybe_unused]] ssize_t n = read(STDIN_FILENO, &c, 1);
}

}  // namespace qm::platform
