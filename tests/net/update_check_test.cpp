#include "net/update_check.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <limits>
#include <optional>

#include "loopback_http_server.h"
#include "opener_recorder.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpServer;

constexpr std::int64_t kDay = 86400;

// Records every box and answers questions from a queue (No when it runs out).
class RecordingBoxes : public MessageBoxes {
 public:
  struct Shown {
    std::string kind;
    std::string title;
    std::string text;
    bool operator==(const Shown&) const = default;
  };
  std::vector<Shown> shown;
  std::deque<bool> answers;

  void showWarning(const std::string& text) override { shown.push_back({"warning", "Warning", text}); }
  void showError(const std::string& text) override { shown.push_back({"error", "Error", text}); }
  void showInformation(const std::string& title, const std::string& text) override {
    shown.push_back({"information", title, text});
  }
  bool askYesNo(const std::string& title, const std::string& text, QuestionIcon icon) override {
    shown.push_back({icon == QuestionIcon::Question ? "question" : "warning question", title, text});
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

const RecordingBoxes::Shown kConnectionProblem{"error", "Error", "Internet connection problems!"};
const RecordingBoxes::Shown kNewUpdate{
    "question", "New Update", "A new version of Quillmark is available! Are you ready to download it right now?"};
const RecordingBoxes::Shown kNoUpdate{"information", "No Update",
                                      "There is no update of Quillmark yet. You're using the most recent version."};
const RecordingBoxes::Shown kAskCheck{"question", "Check for Updates", "Do you want to check for updates?"};

TEST(UpdateCheck, ReadsTheVersionNumber) {
  const std::pair<std::string_view, int> cases[] = {
      {"251", 251}, {"25a", 25}, {"abc", 0}, {"", 0}, {"-25", 0}, {" 25", 0}, {"99999999999999", 2147483647},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(readVersionNumber(text), number) << text;
}

TEST(UpdateCheck, JudgesTheSiteAnswer) {
  const std::pair<std::string_view, UpdateCheckOutcome> cases[] = {
      {"251", UpdateCheckOutcome::NewVersion},        {"250", UpdateCheckOutcome::NoUpdate},
      {"249", UpdateCheckOutcome::NoUpdate},          {"1", UpdateCheckOutcome::NoUpdate},
      {"2510", UpdateCheckOutcome::NewVersion},       {"2499", UpdateCheckOutcome::NoUpdate},
      {"   251\r\n", UpdateCheckOutcome::NewVersion}, {"000", UpdateCheckOutcome::ConnectionProblem},
      {"abc", UpdateCheckOutcome::ConnectionProblem}, {"", UpdateCheckOutcome::ConnectionProblem},
  };
  for (const auto& [body, outcome] : cases) {
    SCOPED_TRACE(body);
    LoopbackHttpServer server(LoopbackHttpServer::answering(body));
    EXPECT_EQ(queryUpdate(server.site(), 1s), outcome);
    EXPECT_EQ(server.request(),
              "GET /files/quillmark.dat HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n"
              "User-Agent: Quillmark 2.5\r\nConnection: close\r\n\r\n");
  }

  test::RefusingPort refusing;
  EXPECT_EQ(queryUpdate("http://127.0.0.1:" + std::to_string(refusing.port), 1s),
            UpdateCheckOutcome::ConnectionProblem);
  EXPECT_EQ(queryUpdate("https://127.0.0.1", 1s), UpdateCheckOutcome::ConnectionProblem);
}

TEST(UpdateCheck, ShowsExactlyOneBoxAndOpensTheHomePageOnYes) {
  struct Case {
    const char* name;
    std::optional<std::string> body;  // none: the connection is refused
    std::deque<bool> answers;
    RecordingBoxes::Shown expectedBox;
    bool opensHomePage;
  };
  const Case cases[] = {
      {"newer, yes", "251", {true}, kNewUpdate, true},
      {"newer, no", "251", {false}, kNewUpdate, false},
      {"same", "250", {true}, kNoUpdate, false},
      {"refused", std::nullopt, {true}, kConnectionProblem, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::OpenerRecorder opener;
    test::RefusingPort refusing;
    std::optional<LoopbackHttpServer> server;
    if (c.body) server.emplace(LoopbackHttpServer::answering(*c.body));
    const std::string site = server ? server->site() : "http://127.0.0.1:" + std::to_string(refusing.port);
    test::ScopedEnvironment siteOverride("QUILLMARK_SITE", site);

    RecordingBoxes boxes;
    boxes.answers = c.answers;
    checkForUpdates(boxes, 1s);
    EXPECT_EQ(boxes.shown, std::vector<RecordingBoxes::Shown>{c.expectedBox});
    using Calls = std::vector<std::vector<std::string>>;
    EXPECT_EQ(opener.calls(), c.opensHomePage ? Calls{{site + "/quillmark/"}} : Calls{});
  }
}

TEST(UpdateCheck, DecidesWhenTheScheduledCheckIsDue) {
  constexpr std::int64_t kNow = 1'700'000'000;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  struct Case {
    std::int32_t range;
    std::int64_t updateDate;
    bool ask;
  };
  const Case cases[] = {
      {1, kNow - 6 * kDay, false},
      {1, kNow - 8 * kDay, true},
      {1, kNow - 7 * kDay, false},  // due, but not yet later than due
      {1, kNow - 7 * kDay - 1, true},
      {0, kNow - kDay - 1, true},
      {0, kNow - kDay + 60, false},
      {2, kNow - 29 * kDay, false},
      {2, kNow - 31 * kDay, true},
      {3, kNow - 89 * kDay, false},
      {3, kNow - 91 * kDay, true},
      {4, kNow - 179 * kDay, false},
      {4, kNow - 181 * kDay, true},
      {5, 0, false},
      {5, kMin, false},
      {6, kNow - 29 * kDay, false},  // unknown codes count as 30 days
      {6, kNow - 31 * kDay, true},
      {-1, kNow - 31 * kDay, true},
      {1, kNow + 30 * kDay, false},
      {1, kMax, false},  // would overflow when the period is added
      {1, kMax - kDay, false},
      {1, kMin, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "range " << c.range << ", date " << c.updateDate);
    Settings settings;
    settings.updateRange = c.range;
    settings.updateDate = c.updateDate;
    const ScheduledCheckDecision decision = decideScheduledCheck(settings, kNow);
    EXPECT_EQ(decision.ask, c.ask);
    EXPECT_EQ(decision.updateDate, c.ask ? kNow : c.updateDate);
  }
  EXPECT_EQ(updatePeriodDays(5), std::nullopt);
}

TEST(UpdateCheck, ScheduledCheckAsksOnceAndMovesTheDateWhateverTheAnswer) {
  constexpr std::int64_t kNow = 1'700'000'000;
  struct Case {
    const char* name;
    std::int64_t daysAgo;
    std::deque<bool> answers;
    std::vector<RecordingBoxes::Shown> expected;
    std::int64_t expectedDate;
  };
  const Case cases[] = {
      {"six days", 6, {true}, {}, kNow - 6 * kDay},
      {"eight days, no", 8, {false}, {kAskCheck}, kNow},
      {"eight days, yes", 8, {true}, {kAskCheck, kNoUpdate}, kNow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::OpenerRecorder opener;
    LoopbackHttpServer server(LoopbackHttpServer::answering("250"));
    test::ScopedEnvironment siteOverride("QUILLMARK_SITE", server.site());
    Settings settings;
    settings.updateRange = 1;
    settings.updateDate = kNow - c.daysAgo * kDay;
    RecordingBoxes boxes;
    boxes.answers = c.answers;
    scheduledCheck(settings, boxes, kNow, 1s);
    EXPECT_EQ(boxes.shown, c.expected);
    EXPECT_EQ(settings.updateDate, c.expectedDate);
    EXPECT_TRUE(opener.calls().empty());
  }
}

}  // namespace
}  // namespace qm
