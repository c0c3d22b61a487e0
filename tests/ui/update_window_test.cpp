// The update check as the window runs it, against a real HTTP server on
// loopback: the menu's check with each of its three boxes, the time limit
// when the site never answers, and the scheduled check at start-up with
// the `Update Date` it leaves in the settings file.
#include <gtest/gtest.h>

#include <string>

#include "net/loopback_http_server.h"
#include "platform/clock.h"
#include "ui/side_window_support.h"

namespace qm::test {
namespace {

using namespace std::chrono_literals;

constexpr int kCheckForUpdatesItem = 4;
constexpr int kAboutItem = 5;
constexpr std::int64_t kDay = 86400;

const std::string kRequest =
    "GET /files/quillmark.dat HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n"
    "User-Agent: Quillmark 2.5\r\nConnection: close\r\n\r\n";
const std::string kNewUpdate =
    "New Update|A new version of Quillmark is available! Are you ready to download it right now?";
const std::string kNoUpdate = "No Update|There is no update of Quillmark yet. You're using the most recent version.";
const std::string kConnectionProblem = "Error|Internet connection problems!";
const std::string kAskCheck = "Check for Updates|Do you want to check for updates?";

std::string scheduleSettings(int updateRange, std::int64_t updateDate) {
  return "\xEF\xBB\xBF\r\n[General]\r\nCFG = 17\r\nUpdate Range = " + std::to_string(updateRange) +
         "\r\nUpdate Date = " + std::to_string(updateDate) +
         "\r\n[Interface]\r\nUI Theme = handdrawn\r\nUI Size = 2\r\n";
}

std::int64_t updateDate(const RunningWindow& window) {
  const auto value = iniValue(window.settingsText(), "General", "Update Date");
  return value ? std::stoll(*value) : -1;
}

TEST(UpdateWindow, MenuCheckShowsTheBoxOfTheSitesAnswer) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  OpenerRecorder opener;
  struct Case {
    const char* name;
    ServerScript answer;
    std::string box;
    const char* key;  // Return: Yes or OK; Escape: No
    bool opensHomePage;
  };
  const Case cases[] = {
      {"newer, yes", LoopbackHttpServer::answering("251"), kNewUpdate, "Return", true},
      {"newer in four digits, no", LoopbackHttpServer::answering(" 2510\r\n"), kNewUpdate, "Escape", false},
      {"the same", LoopbackHttpServer::answering("250"), kNoUpdate, "Return", false},
      {"an empty answer", {{"HTTP/1.0 200 OK\r\n\r\n"}, true}, kConnectionProblem, "Return", false},
  };
  std::vector<ServerScript> answers;
  for (const Case& c : cases) answers.push_back(c.answer);
  LoopbackHttpServer server(answers, 90s);
  RunningWindow window(session, {{}, {}, settingsFile({}), {"QUILLMARK_SITE=" + server.site()}});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();

  std::size_t opened = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    menuItem(window, Menu::Help, kCheckForUpdatesItem);
    const std::string title = c.box.substr(0, c.box.find('|'));
    const std::string box = windowTitled(window, "^" + title + "$");
    ASSERT_FALSE(box.empty());
    EXPECT_EQ(window.state().values("box").back(), c.box);
    keepShot(window, std::string("update-") + title);
    keysInto(window, box, {c.key});
    EXPECT_TRUE(windowGone(window, "^" + title + "$"));
    if (c.opensHomePage) ++opened;
    const OpenerCalls calls = callsWhen(opener, opened, 3s);
    EXPECT_EQ(calls, OpenerCalls(opened, {server.site() + "/quillmark/"}));
  }
  // Exactly one box each time.
  EXPECT_EQ(window.state().values("box").size(), std::size(cases));
  EXPECT_EQ(window.quit(), 0);
  EXPECT_EQ(server.requests(), std::vector<std::string>(std::size(cases), kRequest));
}

TEST(UpdateWindow, ASiteThatNeverAnswersCostsTheTimeLimit) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  // Listening but never accepting: the connection is made and the request
  // sent, and no answer ever comes.
  const OwnedFd listener = loopbackSocket(true);
  const std::string site = "http://127.0.0.1:" + std::to_string(boundPort(listener));
  RunningWindow window(session, {{}, {}, settingsFile({}), {"QUILLMARK_SITE=" + site}});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();

  menuItem(window, Menu::Help, kCheckForUpdatesItem);
  const auto asked = std::chrono::steady_clock::now();
  const std::string box = windowTitled(window, "^Error$", 30s);
  const auto waited = std::chrono::steady_clock::now() - asked;
  ASSERT_FALSE(box.empty());
  EXPECT_GE(waited, 9500ms);
  EXPECT_LT(waited, 14s);
  EXPECT_EQ(window.state().values("box"), std::vector<std::string>{kConnectionProblem});
  keysInto(window, box, {"Return"});
  EXPECT_TRUE(windowGone(window, "^Error$"));
  EXPECT_EQ(window.quit(), 0);
}

// A check waiting for a silent site leaves the window working, shows that
// it waits, and ends with the window: with a time limit of an hour, only a
// wait that closing the window stops lets the program end.
TEST(UpdateWindow, AWaitingCheckKeepsTheWindowWorkingAndEndsWithIt) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  const OwnedFd listener = loopbackSocket(true);
  const std::string site = "http://127.0.0.1:" + std::to_string(boundPort(listener));
  RunningWindow window(session, {{}, {}, settingsFile({}), {"QUILLMARK_SITE=" + site}});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  ASSERT_EQ(window.command("update-time-limit 3600000"), "done\n");

  menuItem(window, Menu::Help, kCheckForUpdatesItem);
  WindowState state = stateWhen(
      window, [](const WindowState& s) { return s.value("updateCheck") == "1"; }, 10s);
  ASSERT_EQ(state.value("updateCheck"), "1");
  const Box busy = state.box("updateBusy");
  EXPECT_GT(busy.width, 0);
  EXPECT_GT(busy.height, 0);
  EXPECT_EQ(state.value("pointerBusy"), "1");
  keepShot(window, "update-waiting");
  // Asking again while one check waits starts no second one.
  menuItem(window, Menu::Help, kCheckForUpdatesItem);
  // The window still takes its commands: the About window opens and closes.
  menuItem(window, Menu::Help, kAboutItem);
  const std::string about = windowTitled(window, "^About");
  ASSERT_FALSE(about.empty());
  keysInto(window, about, {"Escape"});
  EXPECT_TRUE(windowGone(window, "^About"));
  state = window.state();
  EXPECT_EQ(state.value("updateCheck"), "1");
  EXPECT_TRUE(state.values("box").empty());

  // Closed by its close box while the site keeps silent.
  keysInto(window, window.window(), {"alt+F4"});
  EXPECT_EQ(window.waitForExit(120s), 0);
  EXPECT_FALSE(window.settingsText().empty());
}

TEST(UpdateWindow, ScheduledCheckAsksOnlyWhenDueAndMovesTheDate) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  RefusingPort refusing;
  const std::string site = "http://127.0.0.1:" + std::to_string(refusing.port);
  struct Case {
    const char* name;
    int daysAgo;
    const char* answer;  // to the question; none when nothing is asked
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"six days", 6, nullptr, {}},
      {"eight days, no", 8, "Escape", {kAskCheck}},
      {"eight days, yes, refused", 8, "Return", {kAskCheck, kConnectionProblem}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::int64_t before = platform::nowLocalDate();
    const std::int64_t written = before - c.daysAgo * kDay;
    RunningWindow window(session, {{}, {}, scheduleSettings(1, written), {"QUILLMARK_SITE=" + site}});
    ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
    if (c.answer) {
      const std::string question = windowTitled(window, "^Check for Updates$");
      ASSERT_FALSE(question.empty());
      keepShot(window, "update-scheduled-question");
      keysInto(window, question, {c.answer});
      EXPECT_TRUE(windowGone(window, "^Check for Updates$"));
      if (c.boxes.size() > 1) {
        const std::string error = windowTitled(window, "^Error$");
        ASSERT_FALSE(error.empty());
        keysInto(window, error, {"Return"});
        EXPECT_TRUE(windowGone(window, "^Error$"));
      }
    } else {
      EXPECT_TRUE(windowTitled(window, "^Check for Updates$", 3s).empty());
    }
    EXPECT_EQ(window.state().values("box"), c.boxes);
    EXPECT_EQ(window.quit(), 0);
    if (c.answer) {
      EXPECT_GE(updateDate(window), before);
      EXPECT_LE(updateDate(window), platform::nowLocalDate());
    } else {
      EXPECT_EQ(updateDate(window), written);
    }
  }
}

}  // namespace
}  // namespace qm::test
