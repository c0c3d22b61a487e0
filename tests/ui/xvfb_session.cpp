#include "ui/xvfb_session.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <chrono>

namespace qm::test {

namespace {

// Reads the display number Xvfb writes once it accepts connections.
std::string readDisplayNumber(int fd, std::chrono::milliseconds limit) {
  std::string text;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd wanted{fd, POLLIN, 0};
    if (poll(&wanted, 1, static_cast<int>(left.count())) <= 0) return {};
    char buffer[32];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return {};
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text.substr(0, text.find('\n'));
}

}  // namespace

XvfbSession::XvfbSession(WindowManager manager) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  ChildProcess::Options options;
  options.keepDescriptor = ends[1];
  // -noreset: the server must not restart between two clients, when a
  // test's next program may be connecting.
  server_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(ends[1]), "-screen", "0",
                               std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24", "-nolisten",
                               "tcp", "-noreset"},
      options);
  close(ends[1]);
  const std::string number = readDisplayNumber(ends[0], std::chrono::seconds(20));
  close(ends[0]);
  if (number.empty()) return;
  display_ = ":" + number;

  if (manager == WindowManager::Openbox) {
    ChildProcess::Options wm;
    wm.setEnvironment = {"DISPLAY=" + display_};
    manager_ = std::make_unique<ChildProcess>(std::vector<std::string>{"openbox", "--sm-disable"}, wm);
    // The manager is ready once it has announced itself on the root window.
    const bool ready = waitUntil(
        [this] {
          auto out = runTool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, display_);
          return out && out->find("window id") != std::string::npos;
        },
        std::chrono::seconds(20), std::chrono::milliseconds(50));
    if (!ready) manager_.reset();
  }
}

XvfbSession::~XvfbSession() {
  manager_.reset();
  server_.reset();
}

const XvfbSession& sharedXvfbSession(WindowManager manager) {
  static std::array<std::unique_ptr<XvfbSession>, 2> sessions;
  std::unique_ptr<XvfbSession>& session = sessions[manager == WindowManager::Openbox ? 1 : 0];
  // A session whose server did not come up is tried again by the next test.
  if (!session || session->display().empty()) session = std::make_unique<XvfbSession>(manager);
  return *session;
}

}  // namespace qm::test
