// Reading theme.cfg the way existing packages expect (including the quirks
// of the simple search they were written against), the entry names a value
// gives for each picture size, and the toolbar icon sizes.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "themes/image_sets.h"
#include "themes/theme_config.h"

namespace qm {
namespace {

TEST(ThemeConfig, ReadsValuesByTheSearchRules) {
  struct Case {
    const char* what;
    std::string text;
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"plain", "[Theme]\r\nName=Hand drawn\r\n", "Theme", "Name", "Hand drawn"},
      {"section and key in any letter case", "[THEME]\r\nnAmE=X\r\n", "theme", "Name", "X"},
      {"blanks, tabs trimmed at both ends", "[Theme]\r\nName = \t Hand \t \r\n", "Theme", "Name", "Hand"},
      {"value ends at the second =", "[Icons]\r\nNew=icons/a=b\r\n", "Icons", "New", "icons/a"},
      {"nothing before the second =", "[Icons]\r\nNew==b\r\n", "Icons", "New", ""},
      {"key matches as a line prefix", "[Icons]\r\nNewer=x\r\nNew=y\r\n", "Icons", "New", "x"},
      {"key line first after header", "[Icons]\r\nNew=y\r\n[Buttons]\r\n", "Icons", "New", "y"},
      {"last line without CR LF reads empty", "[Theme]\r\nName=X", "Theme", "Name", ""},
      {"LF alone is no line break", "[Theme]\nName=X\n", "Theme", "Name", ""},
      {"key of the next section", "[Theme]\r\nOther=1\r\n[Icons]\r\nName=X\r\n", "Theme", "Name", ""},
      {"key before the section", "[A]\r\nName=X\r\n[Theme]\r\nOther=Y\r\n", "Theme", "Name", ""},
      {"a [ inside a value ends the section", "[Icons]\r\nAdd=x[1]\r\nNew=y\r\n", "Icons", "New", ""},
      {"missing section", "[Icons]\r\nNew=y\r\n", "Buttons", "New", ""},
      {"line without =", "[Theme]\r\nName X\r\n", "Theme", "Name", ""},
      {"header text on the key's line", "[Theme]Name=X\r\n", "Theme", "Name", ""},
      {"CR LF kept out of the value", "[Theme]\r\nName=X\r\r\n", "Theme", "Name", "X"},
      // ASCII case folding only: these are two different letters.
      {"non-ASCII letters keep their case", "[\xC3\x84]\r\nName=X\r\n", "\xC3\xA4", "Name", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(readThemeValue(c.text, c.section, c.key), c.expected) << c.what;
}

TEST(ThemeConfig, FormsEntryNamesPerSize) {
  struct Case {
    const char* value;
    int size;
    const char* expected;
  };
  const Case cases[] = {
      {"icons/new", 16, "icons/new_16.png"},  {"icons/new", 48, "icons/new_48.png"},
      {"icons/New.PNG", 48, "icons/New.PNG"}, {"icons/New.PNG", 16, "icons/New.PNG"},
      {"a.png.old", 32, "a.png.old"},         {"png", 24, "png_24.png"},
  };
  for (const Case& c : cases) EXPECT_EQ(themeEntryName(c.value, c.size), c.expected) << c.value << " " << c.size;
}

TEST(ThemeConfig, IconSizeCodes) {
  const std::pair<std::int32_t, int> cases[] = {{0, 16}, {1, 24},  {2, 32},       {3, 48},      {4, 64},
                                                {5, 16}, {-1, 16}, {INT_MIN, 16}, {INT_MAX, 16}};
  for (const auto& [code, pixels] : cases) EXPECT_EQ(iconSize(code), pixels) << code;
}

}  // namespace
}  // namespace qm
