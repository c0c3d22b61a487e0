// The main window's update check, off the main thread: the site is asked on
// a thread of its own while the window goes on taking input, and a timer on
// the main thread collects the outcome. Ending the check (the window
// closing) stops the wait for the site at once. Private to the window face.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <string>

#include <wx/timer.h>

#include "net/update_check.h"
#include "platform/stream.h"

namespace qm {

class BackgroundUpdateCheck {
 public:
  // `mayAnswer` tells on each poll whether the outcome's box may come now
  // (no other dialog stands in front); `answer` receives the outcome, once,
  // on the main thread.
  BackgroundUpdateCheck(std::string site, std::chrono::milliseconds timeLimit, std::function<bool()> mayAnswer,
                        std::function<void(UpdateCheckOutcome)> answer);
  BackgroundUpdateCheck(const BackgroundUpdateCheck&) = delete;
  BackgroundUpdateCheck& operator=(const BackgroundUpdateCheck&) = delete;
  // Stops the wait for the site and waits for the thread, which then ends
  // at once; an outcome not yet handed on is dropped.
  ~BackgroundUpdateCheck();

 private:
  void poll();

  platform::StopFlag stop_;
  std::function<bool()> mayAnswer_;
  std::function<void(UpdateCheckOutcome)> answer_;
  std::future<UpdateCheckOutcome> outcome_;
  wxTimer timer_;
};

}  // namespace qm
