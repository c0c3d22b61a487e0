// The About and Find a File Converter windows, opened from the main
// window's menus with the keyboard, and the uninstall feedback window the
// uninstaller starts: their size and place, their keys, and what they hand
// to the desktop's opener.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "canvas/picture.h"
#include "support/program_runner.h"
#include "support/temp_folder.h"
#include "themes/image_sets.h"
#include "ui/side_window_support.h"

namespace qm::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kAboutItem = 5;
constexpr int kCustomConverterItem = 2;
// The window driver's own site for the program under test.
const std::string kSite = "http://127.0.0.1:9";

// Centres of two windows' inner areas, which must agree within a pixel or
// two (the toolkit rounds).
void expectCentredOn(const XGeometry& inner, const XGeometry& outer) {
  EXPECT_NEAR(inner.x + inner.width / 2, outer.x + outer.width / 2, 2);
  EXPECT_NEAR(inner.y + inner.height / 2, outer.y + outer.height / 2, 2);
}

// The share of the banner's pixels that the screen shows (near enough for
// the screen's colour depth) at the About window's top left.
double bannerMatch(const RunningWindow& window, const XGeometry& about, const TempFolder& scratch) {
  ImageSets sets;
  EXPECT_TRUE(loadBuiltinImages(sets));
  const Picture& banner = sets.aboutBanner;
  const std::string shot = scratch / "screen.png";
  if (!window.screenshot(shot)) return 0;
  const auto screen = readPicture(shot);
  if (!screen || banner.width != 360 || banner.height != 40) return 0;
  int matching = 0;
  for (int y = 0; y < banner.height; ++y)
    for (int x = 0; x < banner.width; ++x) {
      const Rgba want = banner.pixel(x, y);
      const Rgba got = screen->pixel(about.x + x, about.y + y);
      matching += std::abs(want.red - got.red) <= 8 && std::abs(want.green - got.green) <= 8 &&
                  std::abs(want.blue - got.blue) <= 8;
    }
  return static_cast<double>(matching) / (banner.width * banner.height);
}

TEST(SideWindows, AboutShowsTheBannerOpensItsLinksAndClosesOnEachKey) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  OpenerRecorder opener;
  TempFolder scratch;
  // A site a shell would act on: each link must reach the opener whole,
  // as one argument, and start nothing else.
  const std::string marker = opener.scratch() / "ran";
  const std::string site = kSite + "/$(touch " + marker + ");`touch " + marker + "`|touch " + marker + "&'q'";
  RunningWindow window(session, {{}, {}, settingsFile({}), {"QUILLMARK_SITE=" + site}});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const XGeometry main = window.geometry();

  menuItem(window, Menu::Help, kAboutItem);
  std::string about = windowTitled(window, "^About\\.\\.\\.$");
  ASSERT_FALSE(about.empty());
  const XGeometry g = RunningWindow::geometryOf(about, session.display());
  EXPECT_EQ(g.width, 360);
  EXPECT_EQ(g.height, 240);
  expectCentredOn(g, main);
  EXPECT_GT(bannerMatch(window, g, scratch), 0.95);
  keepShot(window, "about");

  // Web: the site's root; E-mail: the support address. The window stays.
  clickAt(window, about, 150, 110);
  EXPECT_EQ(callsWhen(opener, 1), (OpenerCalls{{site + "/"}}));
  clickAt(window, about, 150, 130);
  EXPECT_EQ(callsWhen(opener, 2), (OpenerCalls{{site + "/"}, {"mailto:support@ferroval.example"}}));
  EXPECT_FALSE(windowTitled(window, "^About\\.\\.\\.$", 2s).empty());
  EXPECT_FALSE(fs::exists(marker));

  // Escape, Return and the close box each close it, and the main window
  // has the focus again.
  for (const char* key : {"Escape", "Return", "alt+F4"}) {
    SCOPED_TRACE(key);
    if (std::string(key) != "Escape") {
      menuItem(window, Menu::Help, kAboutItem);
      about = windowTitled(window, "^About\\.\\.\\.$");
      ASSERT_FALSE(about.empty());
    }
    keysInto(window, about, {key});
    EXPECT_TRUE(windowGone(window, "^About\\.\\.\\.$"));
    EXPECT_TRUE(waitUntil([&] { return activeWindow(window) == window.window(); }, 5s));
  }
  EXPECT_EQ(opener.calls().size(), 2u);
  EXPECT_EQ(window.quit(), 0);
}

TEST(SideWindows, FindAFileConverterSearchesTheCleanedExtensionsOrWarns) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  OpenerRecorder opener;
  RunningWindow window(session, {{}, {}, settingsFile({})});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const XGeometry main = window.geometry();

  auto open = [&] {
    menuItem(window, Menu::Converter, kCustomConverterItem);
    return windowTitled(window, "^Find a File Converter$");
  };
  // The From field has the focus; Tab leads to To.
  auto fill = [&](const std::string& id, const std::string& from, const std::string& to) {
    window.xdotool({"windowactivate", "--sync", id});
    window.xdotool({"type", "--delay", "20", from});
    window.xdotool({"key", "Tab"});
    window.xdotool({"type", "--delay", "20", to});
  };

  std::string finder = open();
  ASSERT_FALSE(finder.empty());
  const XGeometry g = RunningWindow::geometryOf(finder, session.display());
  EXPECT_EQ(g.width, 370);
  EXPECT_EQ(g.height, 60);
  expectCentredOn(g, main);
  fill(finder, "P.S.D", "jpeg!");
  keepShot(window, "converter-finder");
  keysInto(window, finder, {"Return"});
  EXPECT_TRUE(windowGone(window, "^Find a File Converter$"));
  EXPECT_EQ(callsWhen(opener, 1), (OpenerCalls{{kSite + "/find/psd-jpeg/"}}));
  EXPECT_EQ(window.state().value("searchFrom"), "psd");

  // Fourteen letters: only the first twelve count. Search by the button.
  finder = open();
  ASSERT_FALSE(finder.empty());
  fill(finder, "ABCDEFGHIJKLMN", "Png");
  clickAt(window, finder, 320, 30);
  EXPECT_TRUE(windowGone(window, "^Find a File Converter$"));
  EXPECT_EQ(callsWhen(opener, 2), (OpenerCalls{{kSite + "/find/psd-jpeg/"}, {kSite + "/find/abcdefghijkl-png/"}}));

  // Punctuation only: the warning, over the window, which stays open.
  finder = open();
  ASSERT_FALSE(finder.empty());
  fill(finder, ".,;:!?", "png");
  keysInto(window, finder, {"Return"});
  const std::string warning = windowTitled(window, "^Warning$");
  ASSERT_FALSE(warning.empty());
  const WindowState warned = window.state();
  EXPECT_EQ(warned.values("box").back(), "Warning|Please, fill all required fields and try again!");
  // The cleaned texts are kept, the empty one too.
  EXPECT_EQ(warned.value("searchFrom"), "");
  EXPECT_EQ(warned.value("searchTo"), "png");
  keepShot(window, "converter-finder-warning");
  keysInto(window, warning, {"Return"});
  EXPECT_TRUE(windowGone(window, "^Warning$"));
  EXPECT_FALSE(windowTitled(window, "^Find a File Converter$", 2s).empty());
  // An empty To field warns the same way.
  keysInto(window, finder, {"shift+Tab", "ctrl+a"});
  window.xdotool({"type", "--delay", "20", "psd"});
  keysInto(window, finder, {"Tab", "ctrl+a", "BackSpace", "Return"});
  ASSERT_FALSE(windowTitled(window, "^Warning$").empty());
  EXPECT_EQ(window.state().values("box").size(), 2u);
  keysInto(window, windowTitled(window, "^Warning$"), {"Return"});
  EXPECT_TRUE(windowGone(window, "^Warning$"));

  // Escape closes without searching; the main window has the focus again.
  keysInto(window, finder, {"Escape"});

  EXPECT_TRUE(windowGone(window, "^Find a File Converter$"));
  EXPECT_TRUE(waitUntil([&] { return activeWindow(window) == window.window(); }, 5s));
  EXPECT_EQ(window.state().values("box").size(), 2u);
  // So does the close box.
  finder = open();
  ASSERT_FALSE(finder.empty());
  keysInto(window, finder, {"alt+F4"});
  EXPECT_TRUE(windowGone(window, "^Find a File Converter$"));
  EXPECT_EQ(opener.calls().size(), 2u);
  EXPECT_EQ(window.quit(), 0);
}

TEST(SideWindows, HelpMenuOpensTheManualTheFeedbackMailAndTheHomePage) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  OpenerRecorder opener;
  TempFolder working;
  std::optional<ScopedWorkingFolder> inWorking(std::in_place, working.path());
  RunningWindow window(session, {{}, {}, settingsFile({})});
  inWorking.reset();
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();

  // The HTML manual the build wrote beside the program, whatever folder
  // the program was started in: a local file that exists.
  keysInto(window, window.window(), {"F1"});
  const std::string manual = (fs::path(programPath()).parent_path() / "html" / "index.html").string();
  EXPECT_EQ(callsWhen(opener, 1), (OpenerCalls{{manual}}));
  EXPECT_TRUE(fs::is_regular_file(manual));
  EXPECT_NE(readFileBytes(manual).find("USING THE WINDOW"), std::string::npos);
  menuItem(window, Menu::Help, 2);
  EXPECT_EQ(callsWhen(opener, 2).back(),
            std::vector<std::string>{"mailto:support@ferroval.example?subject=Quillmark 2.5 Feedback"});
  menuItem(window, Menu::Help, 3);
  EXPECT_EQ(callsWhen(opener, 3).back(), std::vector<std::string>{kSite + "/quillmark/"});
  EXPECT_EQ(window.quit(), 0);
  EXPECT_EQ(opener.calls().size(), 3u);
}

TEST(SideWindows, UninstallFeedbackOpensItsPageOnlyWithTheBoxTicked) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  struct Case {
    const char* name;
    bool untick;
    const char* endKey;  // Return presses Next, which has the focus
    bool opensPage;
  };
  const Case cases[] = {
      {"ticked, Next", false, "Return", true},
      {"unticked, Next", true, "Return", false},
      {"close box", false, "alt+F4", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenerRecorder opener;
    RunningWindow window(session, {{"-U"}, {}, {}});
    const std::string id = windowTitled(window, "^Uninstall$");
    ASSERT_FALSE(id.empty()) << window.output();
    // The window centres itself again once the frame's size is known, so
    // its place is read after that has happened.
    XGeometry g = RunningWindow::geometryOf(id, session.display());
    waitUntil(
        [&] {
          g = RunningWindow::geometryOf(id, session.display());
          return std::abs(g.outerY() + (g.frameTop + g.height + g.frameBottom) / 2 - XvfbSession::kScreenHeight / 2) <=
                 2;
        },
        5s);
    EXPECT_EQ(g.width, 300);
    EXPECT_EQ(g.height, 100);
    // The window with its frame is what stands in the middle.
    EXPECT_NEAR(g.outerX() + (g.frameLeft + g.width + g.frameRight) / 2, XvfbSession::kScreenWidth / 2, 2);
    EXPECT_NEAR(g.outerY() + (g.frameTop + g.height + g.frameBottom) / 2, XvfbSession::kScreenHeight / 2, 2);
    // Escape is no answer: the window stays.
    keysInto(window, id, {"Escape"});
    EXPECT_FALSE(windowTitled(window, "^Uninstall$", 1s).empty());
    if (c.untick) {
      clickAt(window, id, 40, 30);
      window.xdotool({"windowactivate", "--sync", id});
      // The click moved the focus to the box; Tab takes it back to Next.
      window.xdotool({"key", "Tab"});
    }
    keepShot(window, std::string("uninstall-") + (c.untick ? "unticked" : "ticked"));
    keysInto(window, id, {c.endKey});
    EXPECT_EQ(window.waitForExit(15s), 0) << window.output();
    EXPECT_EQ(opener.calls(), c.opensPage ? OpenerCalls{{kSite + "/quillmark/uninstall.html"}} : OpenerCalls{});
    // Nothing of the settings is read or written.
    EXPECT_FALSE(fs::exists(window.settingsPath()));
  }
}

}  // namespace
}  // namespace qm::test
