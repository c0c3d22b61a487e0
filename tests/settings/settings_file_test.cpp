#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace qm {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::int64_t kUpdateDate = 1767225600;
constexpr std::int64_t kCustomTimestamp = 1700000000;

// What the settings file holds for the window-form defaults, written out
// key by key. kind: i integer, b 8-bit flag or code, d date, r real, t text.
struct Line {
  const char* group;
  const char* key;
  const char* value;
  char kind;
};

const std::vector<Line>& defaultLines() {
  static const std::vector<Line> lines = {
      {"General", "CFG", "17", 'i'},
      {"General", "Language", "en", 't'},
      {"General", "Update Range", "2", 'i'},
      {"General", "Update Date", "1767225600", 'd'},
      {"General", "Save Window Position", "1", 'b'},
      {"Window", "IsMaximized", "0", 'b'},
      {"Window", "Width", "510", 'i'},
      {"Window", "Height", "330", 'i'},
      {"Window", "X", "100", 'i'},
      {"Window", "Y", "100", 'i'},
      {"Interface", "UI Theme", "handdrawn", 't'},
      {"Interface", "UI Size", "2", 'i'},
      {"Input", "Format", "psd", 't'},
      {"Output", "Format", "bmp", 't'},
      {"Output", "BMP BPP", "0", 'i'},
      {"Output", "BMP Compression", "0", 'i'},
      {"Output", "BMP Color Table", "0", 'i'},
      {"Output", "DDS BPP", "0", 'i'},
      {"Output", "EXR BPP", "0", 'i'},
      {"Output", "EXR Compression", "0", 'i'},
      {"Output", "GIF BPP", "0", 'i'},
      {"Output", "HDR BPP", "0", 'i'},
      {"Output", "ICO BPP", "0", 'i'},
      {"Output", "J2K BPP", "0", 'i'},
      {"Output", "JNG BPP", "0", 'i'},
      {"Output", "JP2 BPP", "0", 'i'},
      {"Output", "JPG BPP", "0", 'i'},
      {"Output", "JPG Quality", "95", 'i'},
      {"Output", "JPG Chroma", "0", 'i'},
      {"Output", "JPG Save As", "0", 'i'},
      {"Output", "JXR BPP", "0", 'i'},
      {"Output", "PBM BPP", "0", 'i'},
      {"Output", "PCX BPP", "0", 'i'},
      {"Output", "PFM BPP", "0", 'i'},
      {"Output", "PGM BPP", "0", 'i'},
      {"Output", "PNG BPP", "0", 'i'},
      {"Output", "PNG Compression", "0", 'i'},
      {"Output", "PNG Interlaced", "0", 'b'},
      {"Output", "PPM BPP", "0", 'i'},
      {"Output", "PSD BPP", "0", 'i'},
      {"Output", "TGA BPP", "0", 'i'},
      {"Output", "TGA Compression", "0", 'i'},
      {"Output", "TIFF BPP", "0", 'i'},
      {"Output", "TIFF Compression", "0", 'i'},
      {"Output", "TIFF Color Model", "0", 'i'},
      {"Output", "WBMP BPP", "0", 'i'},
      {"Output", "WEBP BPP", "0", 'i'},
      {"Output", "XPM BPP", "0", 'i'},
      {"Transform", "Do Image Rotation", "0", 'b'},
      {"Transform", "Image Rotation Type", "0", 'b'},
      {"Transform", "Image Rotation", "0", 'i'},
      {"Transform", "Image Rotation Back Color", "000000", 't'},
      {"Transform", "Do Image Resize", "0", 'b'},
      {"Transform", "Image Width", "0", 'i'},
      {"Transform", "Image Width Unit", "0", 'b'},
      {"Transform", "Image Height", "0", 'i'},
      {"Transform", "Image Height Unit", "0", 'b'},
      {"Transform", "Keep Aspect Ratio", "1", 'b'},
      {"Transform", "Image Resize Type", "0", 'b'},
      {"Transform", "Image Resize Algorithm", "3", 'b'},
      {"Transform", "Do Image Flip Horizontal", "0", 'b'},
      {"Transform", "Do Image Flip Vertical", "0", 'b'},
      {"Adjustment", "Do Image Color Correction", "0", 'b'},
      {"Adjustment", "Image Brightness", "0", 'i'},
      {"Adjustment", "Image Contrast", "0", 'i'},
      {"Adjustment", "Image Gamma", "1.000000", 'r'},
      {"Adjustment", "Image Invert", "0", 'b'},
      {"Adjustment", "Do Image Greyscale", "0", 'b'},
      {"Adjustment", "Do Image Threshold", "0", 'b'},
      {"Adjustment", "Image Threshold", "0", 'i'},
      {"Frame", "Do Frame", "0", 'b'},
      {"Frame", "Solid Left", "0", 'i'},
      {"Frame", "Solid Right", "0", 'i'},
      {"Frame", "Solid Top", "0", 'i'},
      {"Frame", "Solid Bottom", "0", 'i'},
      {"Frame", "Solid Left Color", "000000", 't'},
      {"Frame", "Solid Right Color", "000000", 't'},
      {"Frame", "Solid Top Color", "000000", 't'},
      {"Frame", "Solid Bottom Color", "000000", 't'},
      {"Frame", "Solid Opacity", "255", 'i'},
      {"Watermark", "Do Watermark", "0", 'b'},
      {"Watermark", "Text", "(c) 2009-2026 Ferroval. All rights reserved.", 't'},
      {"Watermark", "Fonts", "Arial,Tahoma,Verdana", 't'},
      {"Watermark", "Font", "Arial", 't'},
      {"Watermark", "Font Size", "14", 'i'},
      {"Watermark", "Font Leading", "0", 'i'},
      {"Watermark", "Font Colors", "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF", 't'},
      {"Watermark", "Font Color", "FFFFFF", 't'},
      {"Watermark", "Font Style", "0", 'b'},
      {"Watermark", "Font Effect", "0", 'b'},
      {"Watermark", "Text Antialiasing", "0", 'b'},
      {"Watermark", "Text Alignment", "0", 'b'},
      {"Watermark", "Text Padding", "0", 'i'},
      {"Watermark", "Text Opacity", "255", 'i'},
      {"Watermark", "Back Colors", "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF", 't'},
      {"Watermark", "Back Color", "000000", 't'},
      {"Watermark", "Back Opacity", "1", 'i'},
      {"Watermark", "Text Boundary", "0", 'b'},
      {"Watermark", "Text Position", "8", 'b'},
      {"Watermark", "Text X Offset", "10", 'i'},
      {"Watermark", "Text Y Offset", "10", 'i'},
      {"Watermark", "Text Rotation", "0", 'i'},
      {"Watermark", "Text Size", "0", 'b'},
      {"Watermark", "Text Scale", "10", 'i'},
      {"Watermark", "Image", "", 't'},
      {"Watermark", "Image Greyscale", "0", 'b'},
      {"Watermark", "Image Opacity", "255", 'i'},
      {"Watermark", "Image Boundary", "0", 'b'},
      {"Watermark", "Image Position", "8", 'b'},
      {"Watermark", "Image X Offset", "10", 'i'},
      {"Watermark", "Image Y Offset", "10", 'i'},
      {"Watermark", "Image Rotation", "0", 'i'},
      {"Watermark", "Image Size", "0", 'b'},
      {"Watermark", "Image Scale", "10", 'i'},
      {"Advanced", "Filename Mask", "%filename%.%ext%", 't'},
      {"Advanced", "File Timestamp", "0", 'b'},
      {"Advanced", "Custom Timestamp", "1700000000", 'd'},
      {"Advanced", "Out Folders History", "1", 'b'},
      {"Advanced", "Out Folders Number", "5", 'b'},
      {"Advanced", "Keep Subfolders", "1", 'b'},
      {"File", "Recent Out Folders", "", 't'},
      {"File", "Recent Files", "", 't'},
      {"Privacy", "Clean Recent Files", "0", 'b'},
  };
  return lines;
}

// The file as the program writes it: mark, empty first line, each group
// line followed by its keys and an empty comment, all lines ending CR LF.
std::string fileText(const std::vector<Line>& lines, bool withWindowKeys = true) {
  std::string text(kBom);
  text += "\r\n";
  std::string group;
  for (const Line& line : lines) {
    if (line.group != group) {
      if (!group.empty()) text += "; \r\n";
      group = line.group;
      text += "[" + group + "]\r\n";
    }
    if (!withWindowKeys && group == "Window") continue;
    text += std::string(line.key) + " = " + line.value + "\r\n";
  }
  return text + "; \r\n";
}

// Every value different from every other and from its default, within
// the range of its kind.
std::vector<std::string> distinctValues() {
  std::vector<std::string> values;
  int index = 0;
  for (const Line& line : defaultLines()) {
    ++index;
    switch (line.kind) {
      case 'i': values.push_back(std::to_string(-1000 - index)); break;
      case 'b': values.push_back(std::to_string(index % 100 + 11)); break;
      case 'd': values.push_back(std::to_string(1600000000 + index)); break;
      case 'r': values.push_back(std::to_string(index) + ".250000"); break;
      default: values.push_back("text " + std::to_string(index) + " caf\xC3\xA9"); break;
    }
  }
  values.front() = "17";  // CFG is always written as 17
  return values;
}

Settings defaultRecord(const std::string& path) {
  Settings settings;
  settings.settingsFilePath = path;
  resetSettings(settings, SettingsForm::Window, DesktopSize{});
  settings.updateDate = kUpdateDate;
  settings.customTimestamp = kCustomTimestamp;
  return settings;
}

Settings loadFile(const std::string& path, DesktopSize desktop = {}) {
  Settings settings;
  settings.settingsFilePath = path;
  loadSettings(settings, desktop);
  return settings;
}

std::vector<std::string> folderEntries(const test::TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SettingsFile, SavesTheDefaultsInTheFixedLayout) {
  test::TempFolder folder;
  Settings settings = defaultRecord(folder / "config.ini");
  ASSERT_TRUE(saveSettings(settings));

  const std::string expected = fileText(defaultLines());
  EXPECT_EQ(test::readFileBytes(settings.settingsFilePath), expected);
  EXPECT_EQ(settingsFileText(settings), expected);
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"config.ini"});

  Settings loaded = loadFile(settings.settingsFilePath, DesktopSize{1024, 768});
  EXPECT_EQ(settingsFileText(loaded), expected);
  EXPECT_EQ(loaded.cfg, 17);
  EXPECT_EQ(loaded.x, 100);
  EXPECT_EQ(loaded.updateDate, kUpdateDate);
  EXPECT_EQ(loaded.customTimestamp, kCustomTimestamp);
  EXPECT_EQ(loaded.settingsFilePath, settings.settingsFilePath);
}

TEST(SettingsFile, ALinkedFileIsWrittenThroughItsLink) {
  test::TempFolder folder;
  const std::string target = folder.write("dotfiles/quillmark.ini", "old");
  std::filesystem::create_directories(folder / "config");
  // A relative link, then a link to that link.
  std::filesystem::create_symlink("../dotfiles/quillmark.ini", folder / "config/linked.ini");
  std::filesystem::create_symlink(folder / "config/linked.ini", folder / "config/config.ini");
  Settings settings = defaultRecord(folder / "config/config.ini");
  ASSERT_TRUE(saveSettings(settings));
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "config/config.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "config/linked.ini"));
  EXPECT_EQ(test::readFileBytes(target), fileText(defaultLines()));
  // No temporary file stayed behind in either folder.
  for (const char* sub : {"config", "dotfiles"})
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / sub), std::filesystem::directory_iterator()),
              std::string_view(sub) == "config" ? 2 : 1)
        << sub;
}

// A file holding a different value for every key loads into the right
// fields: saving the loaded record gives the file back.
TEST(SettingsFile, EveryKeyLoadsIntoItsOwnField) {
  std::vector<Line> lines = defaultLines();
  std::vector<std::string> values = distinctValues();
  for (std::size_t i = 0; i < lines.size(); ++i) lines[i].value = values[i].c_str();
  const std::string text = fileText(lines);

  test::TempFolder folder;
  Settings loaded = loadFile(folder.write("config.ini", text));
  EXPECT_EQ(settingsFileText(loaded), text);

  // The keys whose names occur in two groups.
  auto valueOf = [&](std::string_view group, std::string_view key) {
    for (const Line& line : lines)
      if (line.group == group && line.key == key) return std::string(line.value);
    return std::string();
  };
  EXPECT_EQ(std::to_string(loaded.watermarkImageRotation), valueOf("Watermark", "Image Rotation"));
  EXPECT_EQ(std::to_string(loaded.imageRotation), valueOf("Transform", "Image Rotation"));
  EXPECT_NE(loaded.imageRotation, loaded.watermarkImageRotation);
  EXPECT_EQ(loaded.inputFormat, valueOf("Input", "Format"));
  EXPECT_EQ(loaded.outputFormat, valueOf("Output", "Format"));
  EXPECT_NE(loaded.inputFormat, loaded.outputFormat);
}

TEST(SettingsFile, WindowKeysOnlyWhileTheWindowPositionIsKept) {
  test::TempFolder folder;
  Settings settings = defaultRecord(folder / "config.ini");
  settings.saveWindowPosition = 0;
  settings.isMaximized = 1;
  settings.width = 800;
  settings.height = 600;
  settings.x = 40;
  settings.y = 50;
  ASSERT_TRUE(saveSettings(settings));

  std::vector<Line> lines = defaultLines();
  lines[4].value = "0";
  const std::string saved = test::readFileBytes(settings.settingsFilePath);
  EXPECT_EQ(saved, fileText(lines, false));
  EXPECT_NE(saved.find("[Window]\r\n; \r\n[Interface]\r\n"), std::string::npos);

  Settings loaded = loadFile(settings.settingsFilePath, DesktopSize{1024, 768});
  EXPECT_EQ(loaded.saveWindowPosition, 0);
  EXPECT_EQ(loaded.isMaximized, 0);
  EXPECT_EQ(loaded.width, 510);
  EXPECT_EQ(loaded.height, 330);
  EXPECT_EQ(loaded.x, 100);
  EXPECT_EQ(loaded.y, 100);
}

TEST(SettingsFile, MissingFileGivesTheWindowDefaults) {
  test::TempFolder folder;
  Settings loaded = loadFile(folder / "config.ini", DesktopSize{1024, 768});
  EXPECT_EQ(loaded.cfg, 17);
  EXPECT_EQ(loaded.x, 257);
  EXPECT_EQ(loaded.y, 219);
  EXPECT_EQ(loaded.keepAspectRatio, 1);
  EXPECT_EQ(loaded.filenameMask, "%filename%.%ext%");
  EXPECT_EQ(loaded.text, kDefaultWatermarkText);
  EXPECT_EQ(loaded.settingsFilePath, folder / "config.ini");
  EXPECT_FALSE(std::filesystem::exists(folder / "config.ini"));
}

TEST(SettingsFile, MigratesOlderLayouts) {
  struct Case {
    std::string file;
    std::string mask;
    std::int32_t rawLoadAs;
    std::int32_t cfg;
  };
  const Case cases[] = {
      {"[Advanced]\nFilename Mask = %filename%\n", "%filename%.%ext%", 0, 0},
      {"[General]\nCFG = 17\n[Advanced]\nFilename Mask = %filename%\n", "%filename%", 0, 17},
      {"[General]\nCFG = 10\n[Advanced]\nFilename Mask = %filename%.%EXT%\n", "%filename%.%EXT%.%ext%", 0, 10},
      {"[General]\nCFG = 10\n[Advanced]\nFilename Mask = %ext%-%filename%\n", "%ext%-%filename%", 0, 10},
      {"[General]\nCFG = 11\n[Advanced]\nFilename Mask = %filename%\n", "%filename%", 0, 11},
      {"[General]\nCFG = 13\n[Input]\nRAW Load As = 2\n", "%filename%.%ext%", 4, 13},
      {"[General]\nCFG = 13\n[Input]\nRAW Load As = 0\n", "%filename%.%ext%", 0, 13},
      {"[General]\nCFG = 14\n[Input]\nRAW Load As = 2\n", "%filename%.%ext%", 2, 14},
      {"[Input]\nRAW Load As = 1\n", "%filename%.%ext%", 3, 0},
  };
  test::TempFolder folder;
  for (const Case& c : cases) {
    Settings loaded = loadFile(folder.write("config.ini", c.file));
    EXPECT_EQ(loaded.filenameMask, c.mask) << c.file;
    EXPECT_EQ(loaded.rawLoadAs, c.rawLoadAs) << c.file;
    EXPECT_EQ(loaded.cfg, c.cfg) << c.file;
  }
}

TEST(SettingsFile, ReadsValuesByTheTextRules) {
  test::TempFolder folder;
  const std::string path = folder.write("config.ini",
                                        "[output]\r\n"
                                        "jpg quality = 80\r\n"
                                        "PNG BPP =\r\n"
                                        "TGA BPP = 24 bits\r\n"
                                        "[ADVANCED]\n"
                                        "Out Folders Number = 300\n"
                                        "Out Folders History = 256\n"
                                        "Keep Subfolders = -1\n"
                                        "Custom Timestamp = 99999999999\n"
                                        "[Adjustment]\n"
                                        "Image Gamma = 2,5\n"
                                        "Image Brightness = 4294967297\n"
                                        "[Watermark]\n"
                                        "Text =   padded  \t\n"
                                        "[General]\n"
                                        "Update Range = 1\n"
                                        "[General]\n"
                                        "Update Range = 5\n");
  Settings loaded = loadFile(path);
  EXPECT_EQ(loaded.jpgQuality, 80);
  EXPECT_EQ(loaded.pngBpp, 0);  // present but empty: 0, not the default
  EXPECT_EQ(loaded.tgaBpp, 24);
  EXPECT_EQ(loaded.jxrBpp, 0);
  EXPECT_EQ(loaded.outFoldersNumber, 44);
  EXPECT_EQ(loaded.outFoldersHistory, 0);
  EXPECT_EQ(loaded.keepSubfolders, -1);
  EXPECT_EQ(loaded.customTimestamp, 99999999999);
  EXPECT_EQ(loaded.imageGamma, 2.0f);
  EXPECT_EQ(loaded.imageBrightness, 1);
  EXPECT_EQ(loaded.text, "padded");
  EXPECT_EQ(loaded.updateRange, 1);
  EXPECT_EQ(loaded.cfg, 0);

  Settings empty = loadFile(folder.write("empty.ini", "[Output]\r\nJPG Quality =\r\n"));
  EXPECT_EQ(empty.jpgQuality, 0);
  Settings without = loadFile(folder.write("without.ini", "[Output]\r\nJPG Chroma = 1\r\n"));
  EXPECT_EQ(without.jpgQuality, 95);
}

// The options of input families the program does not read are taken from
// the file but not written back.
TEST(SettingsFile, InputFamilyOptionsAreReadButNotWritten) {
  test::TempFolder folder;
  const std::string path = folder.write("config.ini",
                                        "[Input]\nFormat = psd\nDDS Load As = 2\nGIF Frame Loading = 3\n"
                                        "ICO Frame Loading = 4\nTIFF Frame Loading = 1\nRAW Header Size = 16\n"
                                        "RAW Image Width = 640\nRAW Image Height = 480\nRAW Tone Mapping = 4\n");
  Settings loaded = loadFile(path);
  EXPECT_EQ(loaded.ddsLoadAs, 2);
  EXPECT_EQ(loaded.gifFrameLoading, 3);
  EXPECT_EQ(loaded.icoFrameLoading, 4);
  EXPECT_EQ(loaded.tiffFrameLoading, 1);
  EXPECT_EQ(loaded.rawHeaderSize, 16);
  EXPECT_EQ(loaded.rawImageWidth, 640);
  EXPECT_EQ(loaded.rawImageHeight, 480);
  EXPECT_EQ(loaded.rawToneMapping, 4);
  EXPECT_NE(settingsFileText(loaded).find("[Input]\r\nFormat = psd\r\n; \r\n[Output]\r\n"), std::string::npos);
}

TEST(SettingsFile, Latin1FileIsSavedBackAsUtf8) {
  test::TempFolder folder;
  const std::string path = folder.write("config.ini", "[Watermark]\r\nText = caf\xE9 \xA9 2026\r\n");
  Settings loaded = loadFile(path);
  EXPECT_EQ(loaded.text, "caf\xC3\xA9 \xC2\xA9 2026");

  ASSERT_TRUE(saveSettings(loaded));
  const std::string saved = test::readFileBytes(path);
  EXPECT_EQ(saved.substr(0, 5), std::string(kBom) + "\r\n");
  EXPECT_NE(saved.find("\r\nText = caf\xC3\xA9 \xC2\xA9 2026\r\n"), std::string::npos);
  EXPECT_EQ(loadFile(path).text, loaded.text);
}

TEST(SettingsFile, RealsAreWrittenWithSixDecimals) {
  struct Case {
    float gamma;
    const char* written;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {1.0f, "1.000000"},   {2.25f, "2.250000"}, {0.01f, "0.010000"}, {9.99f, "9.990000"},
      {-0.5f, "-0.500000"}, {inf, "+Infinity"},  {-inf, "-Infinity"}, {std::nanf(""), "NaN"},
  };
  test::TempFolder folder;
  for (const Case& c : cases) {
    Settings settings = defaultRecord(folder / "config.ini");
    settings.imageGamma = c.gamma;
    ASSERT_TRUE(saveSettings(settings));
    EXPECT_NE(
        test::readFileBytes(settings.settingsFilePath).find(std::string("\r\nImage Gamma = ") + c.written + "\r\n"),
        std::string::npos)
        << c.written;
    float loaded = loadFile(settings.settingsFilePath).imageGamma;
    if (std::isnan(c.gamma)) {
      EXPECT_TRUE(std::isnan(loaded));
    } else {
      EXPECT_EQ(loaded, c.gamma) << c.written;
    }
  }
}

TEST(SettingsFile, DamagedFilesLoadWithDefaultsWhereKeysAreMissing) {
  test::TempFolder folder;
  const std::string complete = fileText(defaultLines());

  // Cut in the middle of the key line of JPG Quality: the keys before it are
  // read, it and the ones after take their defaults (CFG was read).
  std::string truncated = complete.substr(0, complete.find("JPG Quality") + 6);
  auto widthAt = truncated.find("Width = 510");
  truncated.replace(widthAt, 11, "Width = 640");
  Settings cut = loadFile(folder.write("cut.ini", truncated));
  EXPECT_EQ(cut.width, 640);
  EXPECT_EQ(cut.cfg, 17);
  EXPECT_EQ(cut.jpgQuality, 95);
  EXPECT_EQ(cut.filenameMask, "%filename%.%ext%");

  std::mt19937 random(7);
  std::string garbage(256 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  Settings noise = loadFile(folder.write("garbage.ini", garbage));
  EXPECT_EQ(noise.jpgQuality, 95);
  EXPECT_EQ(noise.x, 100);

  // 10 MB: the settings in the middle of a flood of other lines.
  std::string large(5 << 20, 'x');
  large += "\n[Output]\nJPG Quality = 33\n";
  large += std::string(5 << 20, '[');
  Settings big = loadFile(folder.write("large.ini", large));
  EXPECT_EQ(big.jpgQuality, 33);
  EXPECT_EQ(big.cfg, 0);

  // A folder where the file should be cannot be read: the plain defaults.
  Settings notAFile = loadFile(folder.makeFolder("folder.ini"), DesktopSize{1024, 768});
  EXPECT_EQ(notAFile.x, 257);
  EXPECT_EQ(notAFile.cfg, 17);
}

TEST(SettingsFile, FailedSavesLeaveThePreviousFileAlone) {
  test::TempFolder folder;
  const std::string blocker = folder.write("not-a-folder", "plain file");
  Settings settings = defaultRecord(blocker + "/config.ini");
  EXPECT_FALSE(saveSettings(settings));
  EXPECT_EQ(test::readFileBytes(blocker), "plain file");

  settings.settingsFilePath.clear();
  EXPECT_FALSE(saveSettings(settings));

  // A folder in the way of the file: it stays, and no temporary file is left.
  settings.settingsFilePath = folder.makeFolder("config.ini");
  settings.settingsFilePath.pop_back();
  EXPECT_FALSE(saveSettings(settings));
  EXPECT_TRUE(std::filesystem::is_directory(settings.settingsFilePath));
  EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"config.ini", "not-a-folder"}));
}

// A write that fails half-way (here the file-size limit, as a full disk
// would) keeps the old file whole and removes the partial one.
TEST(SettingsFile, WriteFailingHalfWayKeepsTheOldFile) {
  test::TempFolder folder;
  const std::string path = folder.write("config.ini", "old settings");
  Settings settings = defaultRecord(path);

  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 512;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool saved = saveSettings(settings);
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saved);
  EXPECT_EQ(test::readFileBytes(path), "old settings");
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"config.ini"});

  EXPECT_TRUE(saveSettings(settings));
  EXPECT_EQ(test::readFileBytes(path), fileText(defaultLines()));
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// The record text carries everything, also what the file leaves out, and
// reads back to an equal record: the same file text, and the values the
// file would round (reals, texts with line breaks) kept exactly.
TEST(SettingsRecordText, ReadsBackToAnEqualRecord) {
  std::vector<Line> lines = defaultLines();
  std::vector<std::string> values = distinctValues();
  for (std::size_t i = 0; i < lines.size(); ++i) lines[i].value = values[i].c_str();
  test::TempFolder folder;
  Settings original = loadFile(folder.write("config.ini", fileText(lines)));
  original.imageGamma = 1.2345678f;
  original.text = "two\r\nlines \\ and a backslash=";
  original.saveWindowPosition = 0;  // the file would leave the geometry out
  original.width = 777;

  Settings copy;
  resetSettings(copy, SettingsForm::CommandLine, DesktopSize{});
  ASSERT_TRUE(readSettingsRecordText(copy, settingsRecordText(original)));
  EXPECT_EQ(settingsFileText(copy), settingsFileText(original));
  EXPECT_EQ(copy.imageGamma, original.imageGamma);
  EXPECT_EQ(copy.text, original.text);
  EXPECT_EQ(copy.width, 777);
  EXPECT_EQ(settingsRecordText(copy), settingsRecordText(original));
}

TEST(SettingsRecordText, RefusesWhatItDidNotWrite) {
  for (const char* text : {"General/No Such Key=1\n", "General/CFG\n", "General/CFG=12x\n",
                           "Watermark/Text=ends in \\\n", "Watermark/Text=\\t\n"}) {
    Settings settings;
    EXPECT_FALSE(readSettingsRecordText(settings, text)) << text;
  }
}

}  // namespace
}  // namespace qm
