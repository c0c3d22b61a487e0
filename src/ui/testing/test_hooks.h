// The window tests' way into a running window. Only when the environment
// variable QUILLMARK_TEST_HOOKS names a folder does the window look there,
// every few milliseconds, for a file "command"; it takes the file away,
// carries the command out and writes its answer to "reply" in the same
// folder (whole, by a rename). Commands, one per file:
//
//   state                        the window's state as "key=value" lines
//   drop                         the lines that follow are dropped paths,
//                                handed to the very drop handler the
//                                desktop's drops reach
//   drop-later                   the same, carried out after the reply
//                                (so the hooks answer while the drop's
//                                progress dialog is open)
//   interface-change CODE THEME SIZE
//                                sets `UI Theme` and `UI Size` and applies
//                                the change as the Preferences do
//   update-time-limit MS         how long the window's update checks wait
//                                for the site from now on
//   message KIND                 shows the message box of that kind
//                                (warning, error, information, question,
//                                warning-question) and answers with the
//                                user's choice: ok, yes or no
//
// Drops from a real desktop need a drag source that the tests cannot
// drive; everything after the toolkit's drop callback is the same.
//
// Only a program built for the tests has the hooks (QM_WINDOW_TEST_HOOKS);
// the one that is installed and packaged has neither them nor the state
// lines they answer with.
#pragma once

#include <memory>
#include <string>

#include <wx/timer.h>

namespace qm {

class MainFrame;
struct WindowContext;

class TestHooks {
 public:
  // Nothing unless the environment asks for the hooks.
  static std::unique_ptr<TestHooks> fromEnvironment(MainFrame& frame, WindowContext& context);

  TestHooks(MainFrame& frame, WindowContext& context, std::string folder);
  TestHooks(const TestHooks&) = delete;
  TestHooks& operator=(const TestHooks&) = delete;
  ~TestHooks();

 private:
  void poll();
  std::string carryOut(const std::string& command);

  MainFrame& frame_;
  WindowContext& context_;
  std::string folder_;
  wxTimer timer_;
  // A message box runs a loop of its own, in which the timer fires again.
  bool busy_ = false;
};

}  // namespace qm
