#include "ui/main_window/background_update_check.h"

#include <utility>

namespace qm {

namespace {

// As often as the progress dialogs look at their workers.
constexpr int kPollMilliseconds = 15;

}  // namespace

BackgroundUpdateCheck::BackgroundUpdateCheck(std::string site, std::chrono::milliseconds timeLimit,
                                             std::function<bool()> mayAnswer,
                                             std::function<void(UpdateCheckOutcome)> answer)
    : mayAnswer_(std::move(mayAnswer)), answer_(std::move(answer)) {
  // The thread sees only its own copy of the site and the stop flag, which
  // outlives it: the destructor waits for it before the flag goes.
  outcome_ = std::async(std::launch::async, [site = std::move(site), timeLimit, stop = &stop_] {
    return queryUpdate(site, timeLimit, stop);
  });
  timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { poll(); });
  timer_.Start(kPollMilliseconds);
}

BackgroundUpdateCheck::~BackgroundUpdateCheck() {
  timer_.Stop();
  stop_.raise();
  if (outcome_.valid()) outcome_.wait();
}

void BackgroundUpdateCheck::poll() {
  if (!outcome_.valid() || outcome_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
  if (!mayAnswer_()) return;
  timer_.Stop();
  answer_(outcome_.get());
}

}  // namespace qm
