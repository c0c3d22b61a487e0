// The update check and its schedule. The schedule only decides whether to
// ask; the exchange with the site and its boxes are the same as the menu's.
#include "net/update_check.h"

#include <limits>

#include "app/messages.h"
#include "app/version.h"
#include "net/links.h"

namespace qm {

namespace {

struct UpdateRangeEntry {
  std::int32_t code;
  std::optional<int> days;
};

constexpr UpdateRangeEntry kUpdateRanges[] = {
    {0, 1}, {1, 7}, {2, 30}, {3, 90}, {4, 180}, {5, std::nullopt},
};
constexpr int kUnknownRangeDays = 30;
constexpr std::int64_t kSecondsPerDay = 86400;

}  // namespace

int readVersionNumber(std::string_view text) {
  constexpr int kMax = std::numeric_limits<int>::max();
  int number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    const int digit = c - '0';
    number = number > (kMax - digit) / 10 ? kMax : number * 10 + digit;
  }
  return number;
}

UpdateCheckOutcome judgeRemoteVersion(int remoteVersion) {
  if (remoteVersion == 0) return UpdateCheckOutcome::ConnectionProblem;
  return remoteVersion > kVersionNumber ? UpdateCheckOutcome::NewVersion : UpdateCheckOutcome::NoUpdate;
}

UpdateCheckOutcome queryUpdate(std::string_view site, std::chrono::milliseconds timeLimit,
                               const platform::StopFlag* stop) {
  const std::string text = httpGetText(updateInformationUrl(site), titleLine(), timeLimit, stop);
  return judgeRemoteVersion(readVersionNumber(text));
}

void showUpdateOutcome(UpdateCheckOutcome outcome, MessageBoxes& boxes) {
  const MessageCatalogue& catalogue = messages();
  switch (outcome) {
    case UpdateCheckOutcome::ConnectionProblem:
      boxes.showError(catalogue.lookUpText("Msg", "Internet connection problems"));
      break;
    case UpdateCheckOutcome::NewVersion:
      if (boxes.askYesNo(catalogue.lookUpText("Msg", "New Update"), catalogue.lookUpText("Msg", "New Update Text"),
                         QuestionIcon::Question))
        openHomePage();
      break;
    case UpdateCheckOutcome::NoUpdate:
      boxes.showInformation(catalogue.lookUpText("Msg", "No Update"), catalogue.lookUpText("Msg", "No Update Text"));
      break;
  }
}

void checkForUpdates(MessageBoxes& boxes, std::chrono::milliseconds timeLimit) {
  showUpdateOutcome(queryUpdate(productSite(), timeLimit), boxes);
}

std::optional<int> updatePeriodDays(std::int32_t updateRange) {
  for (const UpdateRangeEntry& entry : kUpdateRanges)
    if (entry.code == updateRange) return entry.days;
  return kUnknownRangeDays;
}

ScheduledCheckDecision decideScheduledCheck(const Settings& settings, std::int64_t now) {
  const ScheduledCheckDecision keep{false, settings.updateDate};
  const std::optional<int> days = updatePeriodDays(settings.updateRange);
  if (!days) return keep;
  const std::int64_t period = *days * kSecondsPerDay;
  // `Update Date` comes from a file anyone can edit; a date so late that
  // adding the period overflows is simply never due.
  if (settings.updateDate > std::numeric_limits<std::int64_t>::max() - period) return keep;
  if (now > settings.updateDate + period) return {true, now};
  return keep;
}

bool askScheduledCheck(Settings& settings, MessageBoxes& boxes, std::int64_t now) {
  const ScheduledCheckDecision decision = decideScheduledCheck(settings, now);
  if (!decision.ask) return false;
  const MessageCatalogue& catalogue = messages();
  const bool yes = boxes.askYesNo(catalogue.lookUpText("Msg", "Check for Updates"),
                                  catalogue.lookUpText("Msg", "Ask check for updates"), QuestionIcon::Question);
  settings.updateDate = decision.updateDate;
  return yes;
}

void scheduledCheck(Settings& settings, MessageBoxes& boxes, std::int64_t now, std::chrono::milliseconds timeLimit) {
  if (askScheduledCheck(settings, boxes, now)) checkForUpdates(boxes, timeLimit);
}

}  // namespace qm
