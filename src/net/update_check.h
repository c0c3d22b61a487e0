// The update check: on demand from the menu, and on a schedule when the main
// window starts. The remote version number is a three-digit integer in a
// small text file on the product web site; a higher one than ours means a
// newer release exists.
//
// Two layers: functions that decide (an outcome, a schedule decision) for
// window code that shows its own boxes, and functions that run the whole
// exchange through the MessageBoxes interface.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/message_boxes.h"
#include "net/http_get.h"
#include "settings/settings.h"

namespace qm {

// The leading decimal digits of the text; 0 when there are none.
int readVersionNumber(std::string_view text);

enum class UpdateCheckOutcome {
  ConnectionProblem,  // error box `Msg`/`Internet connection problems`
  NewVersion,         // question `Msg`/`New Update`; Yes opens the home page
  NoUpdate,           // information `Msg`/`No Update`
};

// 0 is no answer at all; only a number above ours is newer.
UpdateCheckOutcome judgeRemoteVersion(int remoteVersion);

// Fetches the update information file from `site` with the title line as
// user agent. Blocks for up to `timeLimit`, or until `stop` is raised (the
// outcome then means nothing).
UpdateCheckOutcome queryUpdate(std::string_view site, std::chrono::milliseconds timeLimit = kHttpTimeLimit,
                               const platform::StopFlag* stop = nullptr);

// Shows exactly the one box that belongs to the outcome; on Yes to the new
// version it opens the home page.
void showUpdateOutcome(UpdateCheckOutcome outcome, MessageBoxes& boxes);

// The interactive check: queryUpdate on productSite(), then its box.
void checkForUpdates(MessageBoxes& boxes, std::chrono::milliseconds timeLimit = kHttpTimeLimit);

// Days between scheduled checks for an `Update Range` code; none for 5
// ("Never"); codes outside the list count as 30 days.
std::optional<int> updatePeriodDays(std::int32_t updateRange);

struct ScheduledCheckDecision {
  bool ask = false;             // ask "Do you want to check for updates?"
  std::int64_t updateDate = 0;  // the `Update Date` to keep afterwards
};

// `now` is a date (local seconds, platform::nowLocalDate()). The check is
// due once `now` is strictly later than `Update Date` plus the period; when
// it is, `Update Date` moves to `now` whatever the answer will be.
ScheduledCheckDecision decideScheduledCheck(const Settings& settings, std::int64_t now);

// The start-up question: asks when due and stores the new `Update Date` in
// the settings; true when the user wants the check now.
bool askScheduledCheck(Settings& settings, MessageBoxes& boxes, std::int64_t now);

// The start-up check: askScheduledCheck, then checkForUpdates on Yes.
// Screenshot mode must not call it.
void scheduledCheck(Settings& settings, MessageBoxes& boxes, std::int64_t now,
                    std::chrono::milliseconds timeLimit = kHttpTimeLimit);

}  // namespace qm
