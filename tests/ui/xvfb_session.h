// A private X display for the window tests: Xvfb on a free display number
// (it picks one itself and says which), 1280 x 1024, and, where a test
// needs one, a small window manager. Both end with the session.
#pragma once

#include <memory>
#include <string>

#include "ui/child_process.h"

namespace qm::test {

enum class WindowManager { None, Openbox };

class XvfbSession {
 public:
  static constexpr int kScreenWidth = 1280;
  static constexpr int kScreenHeight = 1024;

  explicit XvfbSession(WindowManager manager = WindowManager::None);
  XvfbSession(const XvfbSession&) = delete;
  XvfbSession& operator=(const XvfbSession&) = delete;
  ~XvfbSession();

  // ":N"; empty when the server did not come up.
  const std::string& display() const { return display_; }
  bool hasWindowManager() const { return manager_ != nullptr; }

 private:
  std::string display_;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<ChildProcess> manager_;
};

}  // namespace qm::test
