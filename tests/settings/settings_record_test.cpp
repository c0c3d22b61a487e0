#include <gtest/gtest.h>

#include "platform/clock.h"
#include "settings/settings.h"

namespace qm {
namespace {

TEST(SettingsRecord, ColourText) {
  EXPECT_EQ(colourFromText("FF8000"), (Rgb{255, 128, 0}));
  EXPECT_EQ(colourFromText("ff8000"), (Rgb{255, 128, 0}));
  EXPECT_EQ(colourFromText("F80"), Rgb{});
  EXPECT_EQ(colourFromText(""), Rgb{});
  EXPECT_EQ(colourFromText("FF80001"), Rgb{});
  // A pair is read up to its first non-hexadecimal character.
  EXPECT_EQ(colourFromText("zz1g0A"), (Rgb{0, 1, 10}));
  EXPECT_EQ(colourToText({255, 128, 0}), "FF8000");
  EXPECT_EQ(colourToText({0, 10, 171}), "000AAB");
}

TEST(SettingsRecord, DefaultWindowPosition) {
  EXPECT_EQ(defaultWindowX({1024, 768}), 257);
  EXPECT_EQ(defaultWindowY({1024, 768}), 219);
  EXPECT_EQ(defaultWindowX({500, 768}), 100);
  EXPECT_EQ(defaultWindowX({510, 768}), 100);
  EXPECT_EQ(defaultWindowY({1024, 330}), 100);
  EXPECT_EQ(defaultWindowX({511, 331}), 0);
  EXPECT_EQ(defaultWindowX({}), 100);
}

TEST(SettingsRecord, ResetForms) {
  Settings s;
  s.settingsFilePath = "/home/u/.config/Ferroval/quillmark/config.ini";
  s.jpgQuality = 12;
  s.doFrame = 1;
  s.text.clear();

  resetSettings(s, SettingsForm::CommandLine, {});
  EXPECT_EQ(s.keepAspectRatio, 0);
  EXPECT_EQ(s.x, 100);
  EXPECT_EQ(s.y, 100);
  EXPECT_EQ(s.jpgQuality, 95);
  EXPECT_EQ(s.doFrame, 0);
  EXPECT_FALSE(s.text.empty());
  EXPECT_EQ(s.settingsFilePath, "/home/u/.config/Ferroval/quillmark/config.ini");
  EXPECT_EQ(s.outputFormat, "bmp");
  EXPECT_EQ(s.inputFormat, "psd");
  std::int64_t now = platform::nowLocalDate();
  EXPECT_LE(std::llabs(s.customTimestamp - now), 5);
  EXPECT_LE(std::llabs(s.updateDate - now), 5);

  resetSettings(s, SettingsForm::Window, {1024, 768});
  EXPECT_EQ(s.keepAspectRatio, 1);
  EXPECT_EQ(s.x, 257);
  EXPECT_EQ(s.y, 219);
  EXPECT_EQ(s.imageResizeAlgorithm, 3);
  EXPECT_EQ(s.textPosition, 8);
  EXPECT_EQ(s.backOpacity, 1);
  EXPECT_EQ(s.filenameMask, "%filename%.%ext%");
}

TEST(SettingsRecord, EightBitFieldsWrap) {
  // Flags and small codes hold 8 bits, as the settings file stores them.
  Settings s;
  s.outFoldersNumber = static_cast<SmallCode>(300);
  EXPECT_EQ(s.outFoldersNumber, 44);
  s.keepSubfolders = static_cast<Flag>(256);
  EXPECT_EQ(s.keepSubfolders, 0);
}

TEST(SettingsRecord, BppFieldByExtension) {
  Settings s;
  *bppField(s, "tiff") = 48;
  EXPECT_EQ(s.tiffBpp, 48);
  *bppField(s, "xpm") = 24;
  EXPECT_EQ(s.xpmBpp, 24);
  EXPECT_EQ(bppField(s, "TIFF"), nullptr);
}

}  // namespace
}  // namespace qm
