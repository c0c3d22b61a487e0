#include "ui/main_window/layout.h"

#include <gtest/gtest.h>

#include "ui/main_window/recent_folders.h"
#include "ui/screenshots.h"

namespace qm {
namespace {

TEST(WindowLayout, ControlsKeepTheirDistanceToTheRightAndBottomEdges) {
  // The places of a fresh 510 x 330 window with a 38-pixel toolbar, a
  // 25-pixel menu bar and a 22-pixel status bar (B = 245).
  const MainLayout start = initialLayout(510, 330, 38);
  EXPECT_EQ(start.container, (Rect{0, 38, 510, 200}));
  EXPECT_EQ(start.folderSelector, (Rect{10, 130, 380, 21}));
  struct Case {
    int width, body;
    Rect list, folderLabel, folderSelector, folderButton, formatLabel, formatSelector, formatButton, convert;
    int column;
  };
  const Case cases[] = {
      {510,
       245,
       {10, 10, 380, 136},
       {10, 151, 380, 20},
       {10, 166, 380, 21},
       {396, 165, 24, 24},
       {10, 191, 380, 20},
       {10, 206, 380, 21},
       {396, 205, 24, 24},
       {400, 10, 100, 100},
       350},
      {900,
       600,
       {10, 10, 770, 491},
       {10, 506, 380, 20},
       {10, 521, 770, 21},
       {786, 520, 24, 24},
       {10, 546, 380, 20},
       {10, 561, 770, 21},
       {786, 560, 24, 24},
       {790, 10, 100, 100},
       740},
  };
  MainLayout layout = start;
  for (const Case& c : cases) {
    layout = relayout(layout, c.width, c.body, 38);
    EXPECT_EQ(layout.container, (Rect{0, 38, c.width, c.body - 10}));
    EXPECT_EQ(layout.inputList, c.list);
    EXPECT_EQ(layout.columnWidth, c.column);
    EXPECT_EQ(layout.folderLabel, c.folderLabel);
    EXPECT_EQ(layout.folderSelector, c.folderSelector);
    EXPECT_EQ(layout.folderButton, c.folderButton);
    EXPECT_EQ(layout.formatLabel, c.formatLabel);
    EXPECT_EQ(layout.formatSelector, c.formatSelector);
    EXPECT_EQ(layout.formatButton, c.formatButton);
    EXPECT_EQ(layout.convertButton, c.convert);
  }
  // What the layout does not govern it keeps: a selector the toolkit made
  // taller stays taller.
  layout.folderSelector.height = 27;
  EXPECT_EQ(relayout(layout, 600, 300, 38).folderSelector.height, 27);
}

TEST(WindowLayout, StoredGeometryIsKeptOnTheDesktop) {
  struct Case {
    Rect stored;
    int desktopWidth, desktopHeight;
    Rect opened;
  };
  const Case cases[] = {
      {{150, 120, 700, 450}, 1920, 1080, {150, 120, 700, 450}},
      {{5000, 4000, 700, 450}, 1920, 1080, {1220, 630, 700, 450}},
      {{-300, -50, 700, 450}, 1920, 1080, {0, 0, 700, 450}},
      {{100, 100, 9000, 7000}, 1920, 1080, {0, 0, 1920, 1080}},
      {{100, 100, 10, 10}, 1920, 1080, {100, 100, 510, 330}},
      {{100, 100, 700, 450}, 400, 300, {0, 0, 510, 330}},
      {{5000, 4000, 9000, 7000}, 0, 0, {5000, 4000, 9000, 7000}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(keepOnDesktop(c.stored, c.desktopWidth, c.desktopHeight), c.opened)
        << c.stored.x << "," << c.stored.y << " " << c.stored.width << "x" << c.stored.height;
}

TEST(RecentFolders, NewestFirstWithoutTheSameFolderTwice) {
  Settings settings;
  settings.outFoldersNumber = 3;
  struct Step {
    std::string folder;
    bool recorded;
    std::string list;
  };
  const Step steps[] = {
      {"", false, ""},
      {"/out/a/", true, "/out/a/"},
      {"/out/b/", true, "/out/b/\t/out/a/"},
      {"/out/c/", true, "/out/c/\t/out/b/\t/out/a/"},
      // A fourth drops the oldest.
      {"/out/d/", true, "/out/d/\t/out/c/\t/out/b/"},
      // The same folder in other letters moves to the front, once.
      {"/OUT/B/", true, "/OUT/B/\t/out/d/\t/out/c/"},
      {"", false, "/OUT/B/\t/out/d/\t/out/c/"},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(recordRecentFolder(settings, step.folder), step.recorded) << step.folder;
    EXPECT_EQ(settings.recentOutFolders, step.list) << step.folder;
  }
  // Entries are read with their blanks trimmed; past the end there is none.
  settings.recentOutFolders = "  /x/ \t\t/y/";
  EXPECT_EQ(recentFolder(settings, 0), "/x/");
  EXPECT_EQ(recentFolder(settings, 1), "");
  EXPECT_EQ(recentFolder(settings, 2), "/y/");
  EXPECT_EQ(recentFolder(settings, 3), "");
}

TEST(Screenshots, ReducedCopyAveragesEachTwoByTwoBlock) {
  Picture picture;
  picture.width = 3;
  picture.height = 2;
  picture.rgba = {0,   0, 0, 255, 100, 0, 0, 255, 7, 7, 7, 255,  //
                  200, 0, 0, 255, 100, 0, 0, 255, 9, 9, 9, 255};
  const Picture half = halfSize(picture);
  EXPECT_EQ(half.width, 1);
  EXPECT_EQ(half.height, 1);
  EXPECT_EQ(half.rgba, (std::vector<std::uint8_t>{100, 0, 0, 255}));

  // The picture survives a JPEG round trip at its size, close in colour.
  Picture grey;
  grey.width = 33;
  grey.height = 17;
  grey.rgba.assign(33 * 17 * 4, 128);
  for (std::size_t i = 3; i < grey.rgba.size(); i += 4) grey.rgba[i] = 255;
  const auto bytes = encodeJpeg(grey, 90);
  ASSERT_TRUE(bytes.has_value());
  const auto back = decodeJpeg(*bytes);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->width, 33);
  EXPECT_EQ(back->height, 17);
  EXPECT_NEAR(back->rgba[0], 128, 2);
  EXPECT_FALSE(encodeJpeg(Picture{}, 90).has_value());
}

}  // namespace
}  // namespace qm
