// A private X display for the window tests: Xvfb on a free display number
// (it picks one itself and says which), 1280 x 1024, and, where a test
// needs one, a small window manager. Both end with the session.
//
// Starting a server and a manager costs a second or two, so the tests of
// one suite share them: each window suite runs as one test process, and
// its tests take the process's session of the kind they need.
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

// The process's session with `manager`, started on first use and ended
// when the process ends. Each test's programs end with the test, so the
// next test finds the screen empty.
const XvfbSession& sharedXvfbSession(WindowManager manager = WindowManager::None);

}  // namespace qm::test
