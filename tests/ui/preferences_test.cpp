// The Preferences dialog driven as a user drives it: opened from the menu
// or the format button, pages chosen with the keys of the category list,
// values typed and clicked, and the settings file read back after OK.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "settings/settings_file.h"
#include "support/program_runner.h"
#include "ui/theme_test_support.h"
#include "ui/window_test_support.h"

namespace qm::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

void writeWholeFileForTest(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

const std::string kSamples = std::string(QM_SOURCE_DIR) + "/samples/";

// One control of the dialog as the hooks describe it.
struct Control {
  std::string value;
  bool enabled = false;
  bool shown = false;
  Box box;
};

Control control(const WindowState& state, const std::string& name) {
  const std::string line = state.value("pref:" + name);
  Control c;
  const std::size_t first = line.find('|');
  const std::size_t second = line.find('|', first + 1);
  const std::size_t third = line.find('|', second + 1);
  if (third == std::string::npos) return c;
  c.value = line.substr(0, first);
  c.enabled = line.substr(first + 1, second - first - 1) == "1";
  c.shown = line.substr(second + 1, third - second - 1) == "1";
  const WindowState boxLine("b=" + line.substr(third + 1) + "\n");
  c.box = boxLine.box("b");
  return c;
}

bool dialogOpen(const WindowState& state) { return state.value("preferences") == "1"; }

// Opens the Preferences from the Converter menu; the dialog's X id.
std::string openFromMenu(RunningWindow& window) {
  keysInto(window, window.window(), {"F10"});
  std::this_thread::sleep_for(300ms);
  window.xdotool({"key", "Right"});
  window.xdotool({"key", "Right"});
  for (int i = 0; i < 3; ++i) window.xdotool({"key", "Down"});
  window.xdotool({"key", "Return"});
  const std::string id = windowTitled(window, "^Preferences");
  stateWhen(window, dialogOpen);
  return id;
}

// Shows a page: a click on the first category gives the list the focus,
// then its arrow keys walk down to the page.
WindowState showPage(RunningWindow& window, const std::string& dialog, int page) {
  const Box list = control(window.state(), "categories").box;
  window.xdotool({"mousemove", "--window", dialog, std::to_string(list.x + 30), std::to_string(list.y + 6)});
  window.xdotool({"click", "1"});
  stateWhen(
      window, [](const WindowState& s) { return control(s, "categories").value == "0"; }, 5s);
  for (int i = 0; i < page; ++i) window.xdotool({"key", "Down"});
  return stateWhen(
      window, [page](const WindowState& s) { return control(s, "categories").value == std::to_string(page); }, 10s);
}

void click(RunningWindow& window, const std::string& dialog, const Box& box, int dx = -1, int dy = -1) {
  window.xdotool({"mousemove", "--window", dialog, std::to_string(box.x + (dx < 0 ? box.width / 2 : dx)),
                  std::to_string(box.y + (dy < 0 ? box.height / 2 : dy))});
  std::this_thread::sleep_for(100ms);
  window.xdotool({"click", "1"});
  std::this_thread::sleep_for(100ms);
}

// Turns the mouse wheel over the labels of a scrolling page until the
// control lies wholly inside the page's view.
void scrollTo(RunningWindow& window, const std::string& dialog, int page, const std::string& name) {
  for (int turn = 0; turn < 40; ++turn) {
    const WindowState state = window.state();
    const Box view = WindowState("b=" + state.value("page" + std::to_string(page)) + "\n").box("b");
    const Box box = control(state, name).box;
    const bool below = box.y + box.height > view.y + view.height;
    const bool above = box.y < view.y;
    if (!below && !above) return;
    window.xdotool(
        {"mousemove", "--window", dialog, std::to_string(view.x + 4), std::to_string(view.y + view.height / 2)});
    window.xdotool({"click", below ? "5" : "4"});
    std::this_thread::sleep_for(50ms);
  }
  ADD_FAILURE() << name << " never scrolled into view";
}

// Near the left edge: a check box without text answers only there, and a
// spin box has its text there and its buttons on the right.
void clickControl(RunningWindow& window, const std::string& dialog, const std::string& name) {
  click(window, dialog, control(window.state(), name).box, 8);
}

// Replaces a text field's or spin box's text by typing, then leaves it
// with Tab.
void typeInto(RunningWindow& window, const std::string& dialog, const std::string& name, const std::string& text) {
  clickControl(window, dialog, name);
  window.xdotool({"key", "ctrl+a"});
  // "--" keeps a leading minus sign from reading as an option.
  window.xdotool({"type", "--delay", "20", "--", text});
  std::this_thread::sleep_for(150ms);
}

// Chooses an item of a drop-down by its position. A click opens its list
// and Escape closes it again, leaving the focus on the drop-down; the keys
// of the closed drop-down then move its choice.
void chooseItem(RunningWindow& window, const std::string& dialog, const std::string& name, int position,
                std::string shows = {}) {
  if (shows.empty()) shows = std::to_string(position) + " ";
  clickControl(window, dialog, name);
  ASSERT_TRUE(waitUntil([&] { return window.state().value("preferencesListOpen") == "1"; }, 5s, 30ms)) << name;
  window.xdotool({"key", "Escape"});
  ASSERT_TRUE(waitUntil([&] { return window.state().value("preferencesListOpen") == "0"; }, 5s, 30ms)) << name;
  window.xdotool({"key", "Home"});
  for (int i = 0; i < position; ++i) window.xdotool({"key", "Down"});
  const WindowState state = stateWhen(
      window, [&](const WindowState& s) { return control(s, name).value.rfind(shows, 0) == 0; }, 5s);
  EXPECT_EQ(control(state, name).value.substr(0, shows.size()), shows) << name;
}

WindowState closed(RunningWindow& window) {
  return stateWhen(window, [](const WindowState& s) { return !dialogOpen(s) && !s.value("inner").empty(); });
}

std::string config(const std::string& more) { return settingsFile("", "", "") + more; }

TEST(Preferences, EveryPageShowsItsRowsInPlaceAndScrollsWhereTheyDoNotFit) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  // The longer of the two units, so that the unit boxes must fit it.
  RunningWindow window(session, {{}, {}, config("[Transform]\r\nImage Width Unit = 1\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty()) << window.command("state");
  const XGeometry geometry = RunningWindow::geometryOf(dialog, session.display());
  EXPECT_EQ(geometry.width, 600);
  EXPECT_EQ(geometry.height, 350);
  for (int page = 0; page < 9; ++page) {
    const WindowState state = showPage(window, dialog, page);
    keepShot(window, "preferences-page-" + std::to_string(page));
    EXPECT_EQ(state.values("preferencesNarrow"), std::vector<std::string>{}) << "page " << page;
    if (const char* folder = std::getenv("QM_WINDOW_SHOTS"))
      writeWholeFileForTest(std::string(folder) + "/preferences-page-" + std::to_string(page) + ".txt",
                            window.command("state"));
  }
  keysInto(window, dialog, {"Escape"});
  closed(window);
  EXPECT_EQ(window.quit(), 0);
}

// The frame and watermark rows show only for the type that uses them, and
// follow the type drop-down as the user changes it.
TEST(Preferences, FrameAndWatermarkRowsFollowTheirTypes) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  RunningWindow window(session, {{}, {}, config("")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty());

  WindowState state = showPage(window, dialog, 6);
  EXPECT_FALSE(control(state, "Frame/Left").shown);
  chooseItem(window, dialog, "Frame/Frame Type", 1);
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Frame/Left").shown; }, 5s);
  EXPECT_TRUE(control(state, "Frame/Left").shown);
  keepShot(window, "preferences-frame-solid");

  state = showPage(window, dialog, 7);
  EXPECT_FALSE(control(state, "Watermark/Text").shown);
  EXPECT_FALSE(control(state, "Watermark/Image").shown);
  chooseItem(window, dialog, "Watermark/Watermark Type", 1);
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Watermark/Text").shown; }, 5s);
  EXPECT_TRUE(control(state, "Watermark/Text").shown);
  EXPECT_FALSE(control(state, "Watermark/Image").shown);
  keepShot(window, "preferences-watermark-text");
  scrollTo(window, dialog, 7, "Watermark/Text Size");
  keepShot(window, "preferences-watermark-text-end");

  chooseItem(window, dialog, "Watermark/Watermark Type", 2);
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Watermark/Image").shown; }, 5s);
  EXPECT_TRUE(control(state, "Watermark/Image").shown);
  EXPECT_FALSE(control(state, "Watermark/Text").shown);
  keepShot(window, "preferences-watermark-image");

  // Cancel leaves both types as the file had them.
  keysInto(window, dialog, {"Escape"});
  closed(window);
  EXPECT_EQ(window.quit(), 0);
  const std::string after = window.settingsText();
  EXPECT_EQ(iniValue(after, "Frame", "Do Frame"), "0");
  EXPECT_EQ(iniValue(after, "Watermark", "Do Watermark"), "0");
}

// A settings file with fixed dates and window keys, so that the test can
// rebuild the exact record the program read.
std::string fullConfig(const std::string& adjustment, const std::string& output, const std::string& watermark,
                       const std::string& interface = "UI Theme = handdrawn\r\nUI Size = 2\r\n") {
  return "\xEF\xBB\xBF\r\n[General]\r\nCFG = 17\r\nUpdate Range = 5\r\nUpdate Date = 1700000000\r\n"
         "Save Window Position = 1\r\n[Window]\r\n" +
         windowKeys(100, 100, 510, 330) + "[Interface]\r\n" + interface + "[Output]\r\n" + output + "[Adjustment]\r\n" +
         adjustment + "[Watermark]\r\n" + watermark + "[Advanced]\r\nCustom Timestamp = 1600000000\r\n";
}

// The record the program read from a settings file, as this process reads it.
Settings recordOf(const TempFolder& data, const std::string& text) {
  Settings settings;
  settings.settingsFilePath = data.write("expected/config.ini", text);
  loadSettings(settings, {1280, 1024});
  return settings;
}

void pressOk(RunningWindow& window, const std::string& dialog) {
  clickControl(window, dialog, "OK");
  closed(window);
}

TEST(Preferences, ValuesAreShownAsStoredAndTypedValuesAreClamped) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  const std::string before = fullConfig("Image Gamma = 2.5\r\n", "Format = jpg\r\nPNG BPP = 7\r\nJPG Quality = 40\r\n",
                                        "Fonts = Arial,Tahoma,Verdana\r\nFont = Nosuch Sans\r\n");
  RunningWindow window(session, {{}, {}, before});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty()) << window.command("state");
  WindowState state = window.state();
  EXPECT_EQ(control(state, "categories").value, "0");
  EXPECT_EQ(control(state, "title").value, "General");
  EXPECT_EQ(control(state, "Adjustment/Image Gamma#track").value, "250");
  EXPECT_EQ(control(state, "Adjustment/Image Gamma").value, "2.50");
  EXPECT_EQ(control(state, "Output/png/Bits Per Pixel").value, "-1 ");
  EXPECT_EQ(control(state, "Output/tiff/Bits Per Pixel").value, "0 Auto");
  EXPECT_EQ(control(state, "Watermark/Font").value, "0 3 Arial");
  EXPECT_EQ(control(state, "Input/Format").value, "2 PSD");
  EXPECT_EQ(control(state, "Output/Format").value, "23 JPG");
  EXPECT_EQ(control(state, "Output/pcx/Compression").value, "0 RLE");

  state = showPage(window, dialog, 3);
  Control quality = control(state, "Output/jpg/Image Quality");
  EXPECT_TRUE(quality.shown);
  EXPECT_FALSE(control(state, "Output/png/Bits Per Pixel").shown);
  EXPECT_EQ(quality.value, "40");
  typeInto(window, dialog, "Output/jpg/Image Quality", "150");
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Output/jpg/Image Quality").value == "100"; }, 5s);
  EXPECT_EQ(control(state, "Output/jpg/Image Quality").value, "100");
  EXPECT_EQ(control(state, "Output/jpg/Image Quality#track").value, "100");

  state = showPage(window, dialog, 5);
  typeInto(window, dialog, "Adjustment/Image Brightness", "-500");
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Adjustment/Image Brightness").value == "-100"; }, 5s);
  EXPECT_EQ(control(state, "Adjustment/Image Brightness").value, "-100");
  EXPECT_EQ(control(state, "Adjustment/Image Brightness#track").value, "0");
  typeInto(window, dialog, "Adjustment/Image Brightness", "-5");
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Adjustment/Image Brightness#track").value == "95"; }, 5s);
  EXPECT_EQ(control(state, "Adjustment/Image Brightness").value, "-5");
  EXPECT_EQ(control(state, "Adjustment/Image Brightness#track").value, "95");
  // The threshold row follows its check box.
  EXPECT_FALSE(control(state, "Adjustment/Threshold Level").enabled);
  clickControl(window, dialog, "Adjustment/Image Threshold");
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Adjustment/Threshold Level").enabled; }, 5s);
  EXPECT_TRUE(control(state, "Adjustment/Threshold Level").enabled);

  // Cancel keeps the record; the run's end writes what the file held.
  keysInto(window, dialog, {"Escape"});
  state = closed(window);
  EXPECT_EQ(window.quit(), 0);
  const std::string after = window.settingsText();
  EXPECT_EQ(iniValue(after, "Output", "JPG Quality"), "40");
  EXPECT_EQ(iniValue(after, "Adjustment", "Image Brightness"), "0");
  EXPECT_EQ(iniValue(after, "Adjustment", "Image Gamma"), "2.500000");
}

TEST(Preferences, OkStoresTheControlsAndWritesTheSettingsFile) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string before = fullConfig(
      "Do Image Color Correction = 1\r\nImage Brightness = 0\r\nImage Contrast = 0\r\nImage Gamma = 1.0\r\n"
      "Image Invert = 0\r\n",
      "Format = bmp\r\nPNG BPP = 7\r\nTIFF BPP = 24\r\n",
      "Text = Quill\tmark\r\nFonts = Arial,Tahoma\r\nFont = Nosuch Sans\r\nFont Size = 12\r\n");
  RunningWindow window(session, {{}, {}, before});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty());
  pressOk(window, dialog);
  const std::string written = window.settingsText();

  Settings expected = recordOf(data, before);
  expected.doImageColorCorrection = 0;
  expected.pngBpp = 0;
  expected.font = "Arial";
  expected.text = "Quillmark";
  EXPECT_EQ(written, settingsFileText(expected));
  EXPECT_EQ(iniValue(written, "Adjustment", "Do Image Color Correction"), "0");
  EXPECT_EQ(iniValue(written, "Output", "TIFF BPP"), "24");
  EXPECT_EQ(window.quit(), 0);
}

TEST(Preferences, IconSizeChangeRebuildsTheToolbarAndTheGammaKeepsTwoDecimals) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string before = fullConfig("Image Gamma = 1.234\r\n", "Format = png\r\n", "");
  RunningWindow window(session, {{}, {}, before});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const std::string toolBitmap = window.state().value("toolBitmap");
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty());
  WindowState state = showPage(window, dialog, 1);
  keepShot(window, "preferences-interface");
  EXPECT_EQ(control(state, "Interface/UI Theme").value, "0 Hand-drawn");
  chooseItem(window, dialog, "Interface/UI Size", 0);
  state = showPage(window, dialog, 3);
  chooseItem(window, dialog, "Output/Format", 9, "23 JPG");
  pressOk(window, dialog);
  state = window.state();
  EXPECT_NE(state.value("toolBitmap"), toolBitmap);
  EXPECT_EQ(state.value("formatText"), "JPG (JPEG File Format)");
  const std::string written = window.settingsText();
  Settings expected = recordOf(data, before);
  expected.uiSize = 0;
  expected.imageGamma = 1.23f;
  // A gamma away from 1 turns the colour correction on.
  expected.doImageColorCorrection = 1;
  expected.outputFormat = "jpg";
  EXPECT_EQ(written, settingsFileText(expected));
  EXPECT_EQ(iniValue(written, "Adjustment", "Image Gamma"), "1.230000");
  EXPECT_EQ(window.quit(), 0);
}

TEST(Preferences, DefaultsAsksFirstAndYesResetsEverySetting) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  RunningWindow window(session, {{}, {}, fullConfig("", "Format = jpg\r\nJPG Quality = 40\r\n", "")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty());
  showPage(window, dialog, 3);
  typeInto(window, dialog, "Output/jpg/Image Quality", "77");
  stateWhen(
      window, [](const WindowState& s) { return control(s, "Output/jpg/Image Quality#track").value == "77"; }, 5s);

  clickControl(window, dialog, "Defaults");
  std::string question = windowTitled(window, "^Reset to Defaults$");
  ASSERT_FALSE(question.empty());
  keysInto(window, question, {"Escape"});
  WindowState state = stateWhen(
      window, [](const WindowState& s) { return s.values("box").size() == 1; }, 5s);
  std::this_thread::sleep_for(300ms);
  state = window.state();
  EXPECT_TRUE(dialogOpen(state));
  EXPECT_EQ(control(state, "Output/jpg/Image Quality").value, "77");
  EXPECT_EQ(state.values("box").back(),
            "Reset to Defaults|Are you sure you want to reset all your settings to the default values?");

  clickControl(window, dialog, "Defaults");
  question = windowTitled(window, "^Reset to Defaults$");
  ASSERT_FALSE(question.empty());
  keysInto(window, question, {"Return"});
  closed(window);
  const std::string written = window.settingsText();
  EXPECT_EQ(iniValue(written, "Output", "JPG Quality"), "95");
  EXPECT_EQ(iniValue(written, "Output", "Format"), "bmp");
  EXPECT_EQ(iniValue(written, "General", "Update Range"), "2");
  EXPECT_EQ(window.state().value("formatText"), "BMP (Windows or OS/2 Bitmap)");
  EXPECT_EQ(window.quit(), 0);
}

// The custom time stamp is a date picker (the C locale's mm/dd/yyyy here)
// and a time picker typed field by field; the seconds come along.
TEST(Preferences, CustomTimestampIsADatePickerAndATimePicker) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  RunningWindow window(session, {{}, {}, fullConfig("", "Format = jpg\r\n", ""), {"LC_ALL=C"}});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty());
  WindowState state = showPage(window, dialog, 8);
  const Control date = control(state, "Advanced/Custom Timestamp");
  const Control time = control(state, "Advanced/Custom Timestamp#time");
  EXPECT_EQ(date.value, "2020/09/13 12:26");
  EXPECT_FALSE(date.enabled);
  EXPECT_FALSE(time.enabled);
  // Side by side on the row, the time picker after the date picker.
  EXPECT_EQ(date.box.x, control(state, "Advanced/File Timestamp").box.x);
  EXPECT_GE(time.box.x, date.box.right());
  EXPECT_EQ(time.box.y, date.box.y);
  chooseItem(window, dialog, "Advanced/File Timestamp", 2);
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Advanced/Custom Timestamp#time").enabled; }, 5s);
  ASSERT_TRUE(control(state, "Advanced/Custom Timestamp").enabled);
  keepShot(window, "preferences-custom-timestamp");

  // A click on the time's first field, then its hours and minutes typed,
  // each field taking two digits; the date and the seconds stay.
  clickControl(window, dialog, "Advanced/Custom Timestamp#time");
  window.xdotool({"type", "--delay", "20", "2359"});
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Advanced/Custom Timestamp").value == "2020/09/13 23:59"; },
      5s);
  EXPECT_EQ(control(state, "Advanced/Custom Timestamp").value, "2020/09/13 23:59");
  keepShot(window, "preferences-custom-timestamp-typed");
  pressOk(window, dialog);
  const std::string written = window.settingsText();
  EXPECT_EQ(iniValue(written, "Advanced", "File Timestamp"), "2");
  // 2020-09-13 23:59, with the 40 seconds it had.
  EXPECT_EQ(iniValue(written, "Advanced", "Custom Timestamp"), "1600041580");
  EXPECT_EQ(window.quit(), 0);
}

// A colour made in the toolkit's colour dialog joins the colour history at
// once, and the history keeps it even when the Preferences are cancelled.
TEST(Preferences, ColourMadeInTheColourDialogJoinsTheHistory) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  RunningWindow window(session, {{}, {}, fullConfig("", "Format = jpg\r\n", "Do Watermark = 1\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty());
  const WindowState page = showPage(window, dialog, 7);
  // White, the stored colour, stands out from the light list by a grey
  // frame; every swatch has a frame of a darker shade of its colour.
  EXPECT_EQ(control(page, "Watermark/Font Color").value, "1 FFFFFF 9 White");
  EXPECT_EQ(control(page, "Watermark/Font Color#swatch").value, "999999 FFFFFF");
  keepShot(window, "preferences-white-swatch");
  clickControl(window, dialog, "Watermark/Font Color#more");
  const std::string chooser = windowTitled(window, "[Cc]olou?r");
  ASSERT_FALSE(chooser.empty());
  std::this_thread::sleep_for(500ms);
  keepShot(window, "colour-dialog");
  // The dialog's colour-name field takes a typed colour; its Select button
  // closes the dialog with it.
  const auto at = [&](int x, int y) {
    window.xdotool({"mousemove", "--window", chooser, std::to_string(x), std::to_string(y)});
    std::this_thread::sleep_for(100ms);
    window.xdotool({"click", "1"});
  };
  at(368, 155);
  window.xdotool({"key", "ctrl+a"});
  window.xdotool({"type", "--delay", "20", "#123456"});
  window.xdotool({"key", "Tab"});
  std::this_thread::sleep_for(200ms);
  keepShot(window, "colour-dialog-typed");
  at(600, 275);
  WindowState state = stateWhen(
      window,
      [](const WindowState& s) { return control(s, "Watermark/Font Color").value.rfind("9 123456 10 ", 0) == 0; }, 10s);
  EXPECT_EQ(control(state, "Watermark/Font Color").value.substr(0, 12), "9 123456 10 ");
  EXPECT_EQ(control(state, "Watermark/Font Color#swatch").value, "0A1F33 123456");

  keysInto(window, dialog, {"Escape"});
  closed(window);
  EXPECT_EQ(window.quit(), 0);
  const std::string after = window.settingsText();
  EXPECT_EQ(iniValue(after, "Watermark", "Font Color"), "FFFFFF");
  EXPECT_EQ(iniValue(after, "Watermark", "Font Colors"),
            "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF,123456");
}

// Settings edited in the dialog convert the same documents to the same
// bytes as the command line given the same options.
TEST(Preferences, EditedSettingsConvertLikeTheCommandLine) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const std::string windowIn = data.makeFolder("window");
  const std::string lineIn = data.makeFolder("line");
  const std::string lineOut = data.makeFolder("line-out");
  for (const auto& entry : fs::recursive_directory_iterator(kSamples))
    if (entry.path().extension() == ".psd") {
      fs::copy_file(entry.path(), windowIn + entry.path().filename().string());
      fs::copy_file(entry.path(), lineIn + entry.path().filename().string());
    }
  RunningWindow window(session, {{}, {}, fullConfig("", "Format = jpg\r\n", "")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  // The format button opens the dialog on the Output page.
  click(window, window.window(), window.state().box("formatButton"));
  const std::string dialog = windowTitled(window, "^Preferences");
  ASSERT_FALSE(dialog.empty());
  WindowState state = stateWhen(window, dialogOpen);
  EXPECT_EQ(control(state, "categories").value, "3");
  typeInto(window, dialog, "Output/jpg/Image Quality", "70");
  chooseItem(window, dialog, "Output/jpg/Save As", 3);
  state = showPage(window, dialog, 4);
  scrollTo(window, dialog, 4, "Transform/Flip Horizontal");
  clickControl(window, dialog, "Transform/Flip Horizontal");
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Transform/Flip Horizontal").value == "1"; }, 5s);
  state = showPage(window, dialog, 5);
  typeInto(window, dialog, "Adjustment/Image Brightness", "-20");
  clickControl(window, dialog, "Adjustment/Image Greyscale");
  state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Adjustment/Image Greyscale").value == "1"; }, 5s);
  pressOk(window, dialog);
  const std::string written = window.settingsText();
  EXPECT_EQ(iniValue(written, "Output", "JPG Quality"), "70");
  EXPECT_EQ(iniValue(written, "Output", "JPG Save As"), "3");
  EXPECT_EQ(iniValue(written, "Transform", "Do Image Flip Horizontal"), "1");
  EXPECT_EQ(iniValue(written, "Adjustment", "Image Brightness"), "-20");
  EXPECT_EQ(iniValue(written, "Adjustment", "Do Image Color Correction"), "1");

  ASSERT_EQ(window.command("drop\n" + windowIn), "done\n");
  window.keys("F5");
  const std::string done = windowTitled(window, "^Conversion complete");
  ASSERT_FALSE(done.empty()) << window.command("state");
  keysInto(window, done, {"Return"});
  EXPECT_EQ(window.quit(), 0);

  const ProgramResult line =
      runProgram({"-i", lineIn, "-o", lineOut, "-c", "jpg", "--JPG-QUALITY=70", "--JPG-SAVE-AS=PROGRESSIVE",
                  "--FLIP-HORIZONTAL", "--BRIGHTNESS=-20", "--GREYSCALE", "--KEEP-ASPECT-RATIO"});
  ASSERT_EQ(line.exitCode, 0) << line.err;
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(lineOut)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(readFileBytes(windowIn + name) == readFileBytes(lineOut + name)) << name << " differs";
    ++compared;
  }
  EXPECT_EQ(compared, 6);
}

// A font found only through a fontconfig file of the test's own: a copy of
// a system font whose family name, as fontconfig scans it, holds a comma.
struct CommaFont {
  explicit CommaFont(const TempFolder& folder) {
    fs::create_directories(folder / "fonts");
    fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", folder / "fonts/quill.ttf");
    config = folder / "fonts.conf";
    writeWholeFileForTest(config,
                          "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n"
                          "  <cachedir>" +
                              (folder / "cache") +
                              "</cachedir>\n"
                              "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n"
                              "  <dir>" +
                              (folder / "fonts") +
                              "</dir>\n"
                              "  <match target=\"scan\">\n"
                              "    <test name=\"file\"><string>" +
                              (folder / "fonts/quill.ttf") +
                              "</string></test>\n"
                              "    <edit name=\"family\" mode=\"assign_replace\"><string>Quill, Sans</string></edit>\n"
                              "  </match>\n</fontconfig>\n");
  }
  std::string config;
};

// The toolkit's font dialog: a face whose name holds a comma joins the
// font list without it, and a size in tenths of a point comes back whole.
TEST(Preferences, FontChosenInTheFontDialogJoinsTheFonts) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder data;
  const CommaFont font(data);
  RunningWindow window(session,
                       {{},
                        {},
                        fullConfig("", "Format = jpg\r\n",
                                   "Do Watermark = 1\r\nFonts = Arial,Tahoma\r\nFont = Tahoma\r\nFont Size = 12\r\n"),
                        {"FONTCONFIG_FILE=" + font.config}});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty());
  showPage(window, dialog, 7);
  clickControl(window, dialog, "Watermark/Font#more");
  const std::string chooser = windowTitled(window, "[Ff]ont");
  ASSERT_FALSE(chooser.empty());
  std::this_thread::sleep_for(500ms);
  // The search field has the focus: the face is found by its name.
  window.xdotool({"type", "--delay", "20", "Quill"});
  std::this_thread::sleep_for(300ms);
  // Tab goes on to the faces, the sample text, the size's slider and its
  // field, where the size is typed; Shift+Tab comes back to the faces,
  // Down chooses the bold one and Return takes it.
  for (int i = 0; i < 4; ++i) window.xdotool({"key", "Tab"});
  window.xdotool({"key", "ctrl+a"});
  window.xdotool({"type", "--delay", "20", "10.5"});
  for (int i = 0; i < 3; ++i) window.xdotool({"key", "shift+Tab"});
  window.xdotool({"key", "Down"});
  window.xdotool({"key", "Down"});
  std::this_thread::sleep_for(300ms);
  keepShot(window, "font-dialog");
  window.xdotool({"key", "Return"});
  WindowState state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Watermark/Font").value == "2 3 Quill Sans"; }, 10s);
  EXPECT_EQ(control(state, "Watermark/Font").value, "2 3 Quill Sans");
  EXPECT_EQ(control(state, "Watermark/Font Size").value, "10");
  EXPECT_EQ(control(state, "Watermark/Font Style").value, "1 Bold");
  keepShot(window, "preferences-font-chosen");
  pressOk(window, dialog);
  const std::string written = window.settingsText();
  EXPECT_EQ(iniValue(written, "Watermark", "Fonts"), "Arial,Tahoma,Quill Sans");
  EXPECT_EQ(iniValue(written, "Watermark", "Font"), "Quill Sans");
  EXPECT_EQ(iniValue(written, "Watermark", "Font Size"), "10");
  EXPECT_EQ(iniValue(written, "Watermark", "Font Style"), "1");
  EXPECT_EQ(window.quit(), 0);
}

// The font dialog opens on the stored font: Arial, which the desktop does
// not have, as the family it stands for, in the stored style and size, so
// that Return at once takes that font.
TEST(Preferences, FontDialogOpensOnTheStoredFontOrTheFamilyItStandsFor) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  RunningWindow window(session, {{},
                                 {},
                                 fullConfig("", "Format = jpg\r\n",
                                            "Do Watermark = 1\r\nFonts = Arial,Tahoma\r\nFont = Arial\r\n"
                                            "Font Size = 14\r\nFont Style = 2\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty());
  showPage(window, dialog, 7);
  clickControl(window, dialog, "Watermark/Font#more");
  const std::string chooser = windowTitled(window, "[Ff]ont");
  ASSERT_FALSE(chooser.empty());
  std::this_thread::sleep_for(500ms);
  keepShot(window, "font-dialog-preselected");
  keysInto(window, chooser, {"Return"});
  const WindowState state = stateWhen(
      window, [](const WindowState& s) { return control(s, "Watermark/Font").value == "2 3 Liberation Sans"; }, 10s);
  EXPECT_EQ(control(state, "Watermark/Font").value, "2 3 Liberation Sans");
  EXPECT_EQ(control(state, "Watermark/Font Size").value, "14");
  EXPECT_EQ(control(state, "Watermark/Font Style").value, "2 Italic");
  keysInto(window, dialog, {"Escape"});
  closed(window);
  EXPECT_EQ(window.quit(), 0);
}

// A theme chosen in the dialog replaces the pictures of the menus and the
// toolbar at once; the icon size alone only rebuilds the toolbar.
TEST(Preferences, ThemeChosenInTheDialogRedrawsTheMenusAndTheToolbar) {
  const XvfbSession& session = sharedXvfbSession(WindowManager::Openbox);
  QM_REQUIRE_DISPLAY(session);
  TempFolder program;
  fs::create_directories(program.path() / "gfx");
  writeTheme(program / "gfx/first.zip", "First", {{"New", 1}, {"Copy", 2}});
  writeTheme(program / "gfx/second.zip", "Second", {{"New", 3}});
  RunningWindow window(
      session,
      {{}, programCopy(program), fullConfig("", "Format = jpg\r\n", "", "UI Theme = first\r\nUI Size = 1\r\n")});
  ASSERT_FALSE(window.waitForWindow().empty()) << window.output();
  WindowState state = window.state();
  ASSERT_EQ(menuIcon(state, "0"), checksumOf(16, 1));
  const std::string dialog = openFromMenu(window);
  ASSERT_FALSE(dialog.empty());
  state = showPage(window, dialog, 1);
  EXPECT_EQ(control(state, "Interface/UI Theme").value, "0 First");
  chooseItem(window, dialog, "Interface/UI Theme", 1, "1 Second");
  pressOk(window, dialog);
  state = window.state();
  EXPECT_EQ(state.value("uiTheme"), "second");
  EXPECT_EQ(menuIcon(state, "0"), checksumOf(16, 3));
  EXPECT_EQ(menuIcon(state, "11"), checksumOf(16, 2));
  EXPECT_EQ(toolIcon(state, "0"), checksumOf(24, 3));
  keepShot(window, "preferences-theme-chosen");
  EXPECT_EQ(iniValue(window.settingsText(), "Interface", "UI Theme"), "second");
  EXPECT_EQ(window.quit(), 0);
}

}  // namespace
}  // namespace qm::test
