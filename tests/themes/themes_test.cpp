// Theme packages end to end: real zip files in a program folder's gfx/,
// listed by scanThemes and loaded over the image sets by loadTheme, with
// every picture checked pixel for pixel against what the test put in.
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "support/temp_folder.h"
#include "themes/image_sets.h"
#include "themes/theme_packages.h"
#include "themes/themes.h"

namespace qm {
namespace {

using test::hasPixels;
using test::PackageEntry;
using test::testPicture;
using test::testPng;

// theme.cfg text: the lines with CR LF after each.
std::string config(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// "set/key" of every picture that differs between the two.
std::vector<std::string> changedPictures(const ImageSets& now, const ImageSets& before) {
  std::vector<std::string> changed;
  const std::pair<const char*, const ImageSet ImageSets::*> sets[] = {
      {"large", &ImageSets::large}, {"menu", &ImageSets::menu}, {"toolbar", &ImageSets::toolbar}};
  for (const auto& [name, member] : sets)
    for (const KeyedPicture& entry : (now.*member).entries())
      if (!test::samePicture(entry.picture, *(before.*member).find(entry.key)))
        changed.push_back(std::string(name) + "/" + std::string(entry.key));
  return changed;
}

class ThemeLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(loadBuiltinImages(builtins));
    sets = builtins;
    gfx = folder.makeFolder("gfx");
  }

  std::string program() const { return folder.str(); }
  std::string addPackage(const std::string& identifier, const std::vector<PackageEntry>& entries) {
    const std::string path = gfx + identifier + ".zip";
    test::writePackage(path, entries);
    return path;
  }
  int load(ThemedSets which = kAllImageSets) { return loadTheme(sets, settings, themes, program(), which); }

  test::TempFolder folder;
  std::string gfx;
  ImageSets builtins;
  ImageSets sets;
  Settings settings;
  ThemeList themes;
};

TEST_F(ThemeLoading, BuiltinPicturesFillEveryKey) {
  for (const KeyedPicture& entry : sets.large.entries()) {
    const int side = entry.key == "Convert" ? 64 : 48;
    EXPECT_EQ(entry.picture.width, side) << entry.key;
    EXPECT_EQ(entry.picture.height, side) << entry.key;
  }
  ASSERT_EQ(sets.menu.entries().size(), 22u);
  for (const KeyedPicture& entry : sets.menu.entries()) {
    EXPECT_EQ(entry.picture.width, 16) << entry.key;
    EXPECT_EQ(entry.picture.height, 16) << entry.key;
    EXPECT_EQ(entry.picture.rgba.size(), 16u * 16 * 4) << entry.key;
    EXPECT_TRUE(test::samePicture(entry.picture, *sets.toolbar.find(entry.key))) << entry.key;
  }
  EXPECT_EQ(sets.aboutBanner.width, 360);
  EXPECT_EQ(sets.aboutBanner.height, 40);
  EXPECT_EQ(sets.menu.find("NoSuchKey"), nullptr);
}

TEST_F(ThemeLoading, WithoutPackagesTheBuiltinPicturesStay) {
  settings.uiSize = 3;
  folder.write("gfx/readme.txt", "not a theme");
  folder.makeFolder("gfx/folder.zip");
  themes = scanThemes(program());
  EXPECT_TRUE(themes.empty());
  EXPECT_EQ(load(), 0);

  std::filesystem::remove_all(gfx);
  themes = scanThemes(program());
  EXPECT_TRUE(themes.empty());
  EXPECT_EQ(load(), 0);
  EXPECT_EQ(changedPictures(sets, builtins), std::vector<std::string>{});
  EXPECT_EQ(settings.uiTheme, "handdrawn");
}

TEST_F(ThemeLoading, MissingThemeFallsBackToTheLastPackageListed) {
  addPackage("alpha", {{"theme.cfg", config({"[Theme]", "Name=Alpha", "[Icons]", "New=icons/new"})},
                       {"icons/new_16.png", testPng(16, 1)}});
  addPackage("beta", {{"theme.cfg", config({"[Theme]", "Name=Beta", "[Icons]", "New=icons/new"})},
                      {"icons/new_16.png", testPng(16, 2)}});
  themes = scanThemes(program());
  EXPECT_EQ(themes.displayNames, (std::map<std::string, std::string>{{"alpha", "Alpha"}, {"beta", "Beta"}}));
  std::string lastListed;
  for (const auto& entry : std::filesystem::directory_iterator(gfx)) lastListed = entry.path().stem().string();
  EXPECT_EQ(themes.current, lastListed);

  const std::string other = lastListed == "alpha" ? "beta" : "alpha";
  settings.uiSize = 0;
  // A name with a folder in it names no package, even where the path
  // it would make leads to one.
  for (const std::string& missing : {std::string("deleted"), "../gfx/" + other}) {
    sets = builtins;
    settings.uiTheme = missing;
    EXPECT_EQ(load(), 2) << missing;
    EXPECT_EQ(settings.uiTheme, lastListed);
    EXPECT_TRUE(hasPixels(*sets.menu.find("New"), testPicture(16, lastListed == "alpha" ? 1 : 2))) << missing;
  }

  // A theme that exists is loaded as named, not replaced by the last one.
  settings.uiTheme = other;
  EXPECT_EQ(load(), 2);
  EXPECT_EQ(settings.uiTheme, other);
  EXPECT_TRUE(hasPixels(*sets.toolbar.find("New"), testPicture(16, other == "alpha" ? 1 : 2)));
}

TEST_F(ThemeLoading, StemsNameOnePicturePerSize) {
  addPackage("sizes", {{"theme.cfg", config({"[Buttons]", "Convert=big/convert", "[Icons]", "New=icons/new"})},
                       {"icons/new_16.png", testPng(16, 16)},
                       {"icons/new_32.png", testPng(32, 32)},
                       {"icons/new_48.png", testPng(48, 48)},
                       {"big/convert_16.png", testPng(64, 5)},
                       {"big/convert_64.png", testPng(64, 6)}});
  settings.uiTheme = "sizes";
  settings.uiSize = 3;
  EXPECT_EQ(load(), 3);
  EXPECT_TRUE(hasPixels(*sets.menu.find("New"), testPicture(16, 16)));
  EXPECT_TRUE(hasPixels(*sets.toolbar.find("New"), testPicture(48, 48)));
  // The large set's names are formed with 16 whatever its pictures' sizes.
  EXPECT_TRUE(hasPixels(*sets.large.find("Convert"), testPicture(64, 5)));
  EXPECT_EQ(changedPictures(sets, builtins), (std::vector<std::string>{"large/Convert", "menu/New", "toolbar/New"}));

  // An icon-size change reloads the toolbar alone.
  settings.uiSize = 2;
  EXPECT_EQ(load({.toolbar = true}), 1);
  EXPECT_TRUE(hasPixels(*sets.toolbar.find("New"), testPicture(32, 32)));
  EXPECT_TRUE(hasPixels(*sets.menu.find("New"), testPicture(16, 16)));

  // No new_64.png: the toolbar keeps what it has.
  settings.uiSize = 4;
  EXPECT_EQ(load({.toolbar = true}), 0);
  EXPECT_TRUE(hasPixels(*sets.toolbar.find("New"), testPicture(32, 32)));
}

TEST_F(ThemeLoading, PngValueIsUsedForEverySize) {
  addPackage("png", {{"theme.cfg", config({"[Buttons]", "Convert=icons/New.PNG", "[Icons]", "Copy=icons/New.PNG"})},
                     {"icons/New.PNG", testPng(24, 1)},
                     {"icons/new.png", testPng(24, 2)},
                     {"icons/New.PNG_64.png", testPng(24, 3)}});
  settings.uiTheme = "png";
  settings.uiSize = 4;
  EXPECT_EQ(load(), 3);
  for (const ImageSet* set : {&sets.large, &sets.menu, &sets.toolbar}) {
    const Picture* picture = set->find(set == &sets.large ? "Convert" : "Copy");
    EXPECT_TRUE(hasPixels(*picture, testPicture(24, 1)));
  }
}

TEST_F(ThemeLoading, DisplayNameComesFromTheFirst255BytesOfThemeCfg) {
  const std::string head = "[Theme]\r\nPad=";
  const std::string nameLine = "\r\nName=Edge\r\n";
  const std::string fitting = head + std::string(255 - head.size() - nameLine.size(), 'p') + nameLine;
  ASSERT_EQ(fitting.size(), 255u);
  addPackage("named", {{"theme.cfg", config({"[Theme]", "Name=Hand Drawn"})}});
  addPackage("late", {{"theme.cfg", config({"[Theme]", "Comment=" + std::string(260, 'c'), "Name=Late"})}});
  addPackage("fits", {{"theme.cfg", fitting}});
  addPackage("cut", {{"theme.cfg", head + "p" + fitting.substr(head.size())}});
  addPackage("unnamed", {{"icons/new_16.png", testPng(16, 1)}});
  std::mt19937 random(3);
  std::string noise(2000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  folder.write("gfx/noise.zip", noise);
  folder.write("gfx/empty.zip", "");
  folder.write("gfx/UPPER.ZIP", test::readFileBytes(gfx + "named.zip"));
  std::filesystem::create_symlink(gfx + "named.zip", gfx + "link.zip");

  themes = scanThemes(program());
  EXPECT_EQ(themes.displayNames, (std::map<std::string, std::string>{{"named", "Hand Drawn"},
                                                                     {"late", ""},
                                                                     {"fits", "Edge"},
                                                                     {"cut", ""},
                                                                     {"unnamed", ""},
                                                                     {"noise", "noise"},
                                                                     {"empty", "empty"},
                                                                     {"link", "Hand Drawn"}}));
  EXPECT_EQ(themeDisplayName(program(), "missing"), "missing");
}

TEST_F(ThemeLoading, DamagedPackagesChangeNothing) {
  const std::string real =
      addPackage("real", {{"theme.cfg", config({"[Icons]", "New=icons/new"})}, {"icons/new_16.png", testPng(16, 1)}});
  const std::string zip = test::readFileBytes(real);
  std::filesystem::remove(real);
  std::mt19937 random(11);
  std::string noise(3000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  folder.write("gfx/noise.zip", noise);
  folder.write("gfx/truncated.zip", zip.substr(0, zip.size() - 30));
  folder.write("gfx/empty.zip", "");
  folder.makeFolder("gfx/folder.zip");
  themes = scanThemes(program());

  for (const char* identifier : {"noise", "truncated", "empty", "folder"}) {
    settings.uiTheme = identifier;
    EXPECT_EQ(load(), 0) << identifier;
    EXPECT_EQ(settings.uiTheme, identifier);
    EXPECT_EQ(changedPictures(sets, builtins), std::vector<std::string>{}) << identifier;
  }
}

TEST_F(ThemeLoading, SwitchingThemesKeepsPicturesTheNewOneLacks) {
  addPackage("first", {{"theme.cfg", config({"[Icons]", "New=a/new", "Copy=a/copy"})},
                       {"a/new_16.png", testPng(16, 1)},
                       {"a/copy_16.png", testPng(16, 2)}});
  addPackage("second", {{"theme.cfg", config({"[Icons]", "New=b/new"})}, {"b/new_16.png", testPng(16, 3)}});
  settings.uiSize = 0;
  settings.uiTheme = "first";
  EXPECT_EQ(load(), 4);
  settings.uiTheme = "second";
  EXPECT_EQ(load(), 2);
  for (const ImageSet* set : {&sets.menu, &sets.toolbar}) {
    EXPECT_TRUE(hasPixels(*set->find("New"), testPicture(16, 3)));
    EXPECT_TRUE(hasPixels(*set->find("Copy"), testPicture(16, 2)));
  }
}

TEST_F(ThemeLoading, UnusablePicturesKeepTheCurrentOnes) {
  addPackage("mixed",
             {{"theme.cfg", config({"[Icons]", "New=icons/garbage.png", "Add=icons/missing.png",
                                    "Copy=", "Delete=icons/huge.png", "Exit=icons/empty.png", "Web=icons/photo.png",
                                    "Help=icons/help", "SelectAll=icons/largest.png", "Error=ICONS/HELP_16.PNG"})},
              {"icons/garbage.png", "\x89PNG\r\n\x1a\n but nothing after"},
              {"icons/huge.png", testPng(300, 1)},
              {"icons/empty.png", ""},
              {"icons/photo.png", test::asText(test::encodeJpeg(testPicture(16, 2)))},
              {"icons/help_16.png", testPng(16, 9)},
              {"icons/largest.png", testPng(256, 4)}});
  settings.uiTheme = "mixed";
  EXPECT_EQ(load({.menu = true}), 2);
  EXPECT_EQ(changedPictures(sets, builtins), (std::vector<std::string>{"menu/SelectAll", "menu/Help"}));
  EXPECT_TRUE(hasPixels(*sets.menu.find("Help"), testPicture(16, 9)));
  EXPECT_TRUE(hasPixels(*sets.menu.find("SelectAll"), testPicture(256, 4)));
}

TEST_F(ThemeLoading, HostilePackagesCostLittleAndChangeLittle) {
  test::ZipWriter bomb(gfx + "bomb.zip");
  bomb.add("theme.cfg", config({"[Icons]", "New=icons/zeros.png", "Copy=icons/copy.png", "Help=../../etc/passwd.png"}));
  bomb.addZeros("icons/zeros.png", std::uint64_t{64} << 20);
  bomb.add("icons/copy.png", testPng(16, 1));
  bomb.add("../../etc/passwd.png", testPng(16, 2));
  bomb.close();
  settings.uiTheme = "bomb";
  EXPECT_EQ(load({.menu = true}), 2);
  EXPECT_EQ(changedPictures(sets, builtins), (std::vector<std::string>{"menu/Copy", "menu/Help"}));
  EXPECT_TRUE(hasPixels(*sets.menu.find("Copy"), testPicture(16, 1)));
  EXPECT_TRUE(hasPixels(*sets.menu.find("Help"), testPicture(16, 2)));

  // More entries than any theme needs: the package counts as damaged.
  test::ZipWriter crowd(gfx + "crowd.zip");
  crowd.add("theme.cfg", config({"[Icons]", "Exit=icons/exit.png"}));
  crowd.add("icons/exit.png", testPng(16, 3));
  for (int i = 0; i < 5000; ++i) crowd.add("filler/" + std::to_string(i), "x");
  crowd.close();
  settings.uiTheme = "crowd";
  EXPECT_EQ(load(), 0);
  EXPECT_EQ(changedPictures(sets, builtins), (std::vector<std::string>{"menu/Copy", "menu/Help"}));
}

}  // namespace
}  // namespace qm
