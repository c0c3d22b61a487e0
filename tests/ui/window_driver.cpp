#include "ui/window_driver.h"

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "platform/whole_file.h"
#include "support/program_runner.h"

namespace qm::test {

WindowState::WindowState(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    lines_.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
}

std::string WindowState::value(const std::string& key) const {
  for (const auto& [k, v] : lines_)
    if (k == key) return v;
  return {};
}

std::vector<std::string> WindowState::values(const std::string& key) const {
  std::vector<std::string> found;
  for (const auto& [k, v] : lines_)
    if (k == key) found.push_back(v);
  return found;
}

int WindowState::number(const std::string& key) const {
  const std::string text = value(key);
  return text.empty() ? -1 : std::stoi(text);
}

Box WindowState::box(const std::string& key) const {
  Box b;
  std::istringstream in(value(key));
  in >> b.x >> b.y >> b.width >> b.height >> b.minimumWidth >> b.minimumHeight;
  return b;
}

std::pair<int, int> WindowState::pair(const std::string& key) const {
  std::pair<int, int> p{-1, -1};
  std::istringstream in(value(key));
  in >> p.first >> p.second;
  return p;
}

RunningWindow::RunningWindow(const XvfbSession& session, const WindowRun& run) : display_(session.display()) {
  hooks_ = folder_.makeFolder("hooks");
  const std::string config = folder_.makeFolder("config");
  const std::string runtime = folder_.makeFolder("runtime");
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
  settingsPath_ = config + "Ferroval/quillmark/config.ini";
  if (!run.settingsFile.empty()) folder_.write("config/Ferroval/quillmark/config.ini", run.settingsFile);

  ChildProcess::Options options;
  options.setEnvironment = {"DISPLAY=" + display_, "XDG_CONFIG_HOME=" + config, "XDG_RUNTIME_DIR=" + runtime,
                            "QUILLMARK_TEST_HOOKS=" + hooks_,
                            // No accessibility bus, no update site, no desktop opener.
                            "NO_AT_BRIDGE=1", "QUILLMARK_SITE=http://127.0.0.1:9"};
  for (const std::string& entry : run.environment) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    std::erase_if(options.setEnvironment, [&](const std::string& own) { return own.starts_with(name); });
    options.setEnvironment.push_back(entry);
  }
  options.unsetEnvironment = {"WAYLAND_DISPLAY"};
  options.outputFile = folder_ / "output.txt";
  std::vector<std::string> arguments{run.program.empty() ? programPath() : run.program};
  arguments.insert(arguments.end(), run.arguments.begin(), run.arguments.end());
  process_ = std::make_unique<ChildProcess>(arguments, options);
}

RunningWindow::~RunningWindow() { process_->stop(); }

std::string RunningWindow::waitForWindow(std::chrono::milliseconds limit) {
  waitUntil(
      [this] {
        auto found = runTool({"xdotool", "search", "--onlyvisible", "--name", "^Quillmark 2\\.5$"}, display_);
        if (found && !found->empty()) window_ = found->substr(0, found->find('\n'));
        return !window_.empty() || !process_->running();
      },
      limit, std::chrono::milliseconds(100));
  // Mapped is not yet drawn and laid out: the hooks answer only from the
  // running event loop, after the first relayout.
  if (!window_.empty()) command("state");
  return window_;
}

std::string RunningWindow::command(const std::string& text, std::chrono::milliseconds limit) {
  const std::string reply = hooks_ + "reply";
  ::unlink(reply.c_str());
  if (!replaceWholeFile(hooks_ + "command", text + "\n")) return {};
  std::string answer;
  waitUntil(
      [&] {
        auto read = readWholeFile(reply);
        if (read) answer = *read;
        return read.has_value() || !process_->running();
      },
      limit);
  ::unlink(reply.c_str());
  return answer;
}

WindowState RunningWindow::state() { return WindowState(command("state")); }

XGeometry RunningWindow::geometryOf(const std::string& window, const std::string& display) {
  XGeometry g;
  if (auto info = runTool({"xwininfo", "-id", window}, display)) {
    std::istringstream in(*info);
    std::string line;
    while (std::getline(in, line)) {
      const auto colon = line.find(':');
      if (colon == std::string::npos) continue;
      const std::string name = line.substr(0, colon);
      const std::string value = line.substr(colon + 1);
      if (name.find("Absolute upper-left X") != std::string::npos) g.x = std::stoi(value);
      if (name.find("Absolute upper-left Y") != std::string::npos) g.y = std::stoi(value);
      if (name == "  Width") g.width = std::stoi(value);
      if (name == "  Height") g.height = std::stoi(value);
    }
  }
  if (auto extents = runTool({"xprop", "-id", window, "_NET_FRAME_EXTENTS"}, display)) {
    const auto equals = extents->find('=');
    if (equals != std::string::npos) {
      std::string list = extents->substr(equals + 1);
      for (char& c : list)
        if (c == ',') c = ' ';
      std::istringstream in(list);
      in >> g.frameLeft >> g.frameRight >> g.frameTop >> g.frameBottom;
    }
  }
  return g;
}

bool RunningWindow::xdotool(const std::vector<std::string>& arguments) const {
  std::vector<std::string> all{"xdotool"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return runTool(all, display_).has_value();
}

bool RunningWindow::keys(const std::string& keys) const {
  const XGeometry g = geometry();
  // Over the status bar, where a pointer changes nothing.
  xdotool({"mousemove", std::to_string(g.x + 60), std::to_string(g.y + g.height - 8)});
  return xdotool({"key", "--clearmodifiers", keys});
}

bool RunningWindow::screenshot(const std::string& path) const {
  return runTool({"import", "-window", "root", "png:" + path}, display_).has_value();
}

std::optional<int> RunningWindow::quit(std::chrono::milliseconds limit) {
  keys("alt+x");
  return waitForExit(limit);
}

std::optional<int> RunningWindow::waitForExit(std::chrono::milliseconds limit) { return process_->waitForExit(limit); }

bool RunningWindow::sendSignal(int signal) const { return ::kill(process_->pid(), signal) == 0; }

std::string RunningWindow::output() const { return readWholeFile(folder_ / "output.txt").value_or(""); }

std::string RunningWindow::settingsText() const { return readWholeFile(settingsPath_).value_or(""); }

std::optional<std::string> iniValue(const std::string& text, const std::string& group, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  std::string current;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
      continue;
    }
    if (current != group) continue;
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string name = line.substr(0, equals);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name != key) continue;
    std::string value = line.substr(equals + 1);
    while (!value.empty() && value.front() == ' ') value.erase(value.begin());
    return value;
  }
  return std::nullopt;
}

std::string programCopy(const TempFolder& folder) {
  const std::string copy = folder / "quillmark";
  std::error_code error;
  std::filesystem::create_hard_link(programPath(), copy, error);
  if (error) std::filesystem::copy_file(programPath(), copy, error);
  return copy;
}

}  // namespace qm::test
