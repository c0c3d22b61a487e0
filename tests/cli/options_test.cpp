#include "cli/options.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <set>
#include <string>

#include "cli/command_line_run.h"
#include "cli/keywords.h"
#include "cli/value_reading.h"
#include "formats/input_formats.h"
#include "formats/output_formats.h"
#include "platform/text.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

TEST(OptionValues, NumbersTakeWhatFits) {
  struct Case {
    const char* text;
    std::int32_t expected;
  } cases[] = {
      {"95", 95},
      {"95abc", 95},
      {"$1F", 31},
      {"$1fz", 31},
      {"%101", 5},
      {"%102", 2},
      {"-20", -20},
      {"+7", 7},
      {" \t12", 12},
      {"-$10", -16},
      {"abc", 0},
      {"", 0},
      {"$", 0},
      {"1.5", 1},
      {"4294967297", 1},
      {"$FFFFFFFF", -1},
      {"2147483648", std::numeric_limits<std::int32_t>::min()},
  };
  for (const Case& c : cases) EXPECT_EQ(readNumber(c.text), c.expected) << c.text;
}

TEST(OptionValues, DecimalsIgnoreTheLocale) {
  struct Case {
    const char* text;
    float expected;
  } cases[] = {
      {"1", 1.0f},  {"2.5", 2.5f}, {"2,5", 2.0f}, {" -0.5x", -0.5f}, {".25", 0.25f},
      {"abc", 0.f}, {"", 0.f},     {"nan", 0.f},  {"inf", 0.f},      {"1e1", 10.0f},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(readDecimal(c.text), c.expected) << c.text;
  EXPECT_TRUE(std::isinf(readDecimal("1e60")));
  // A locale with a decimal comma must not change the reading.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
    EXPECT_FLOAT_EQ(readDecimal("2.5"), 2.5f);
    std::setlocale(LC_NUMERIC, "C");
  }
}

TEST(OptionTable, NamesAreUniqueUpperCaseAndComplete) {
  std::set<std::string_view> names;
  int settingOptions = 0;
  for (const Option& option : commandLineOptions()) {
    EXPECT_TRUE(names.insert(option.longName).second) << option.longName;
    EXPECT_TRUE(option.longName.starts_with("--")) << option.longName;
    for (char c : option.longName) EXPECT_FALSE(c >= 'a' && c <= 'z') << option.longName;
    if (option.setsSetting()) {
      ++settingOptions;
      EXPECT_FALSE(std::holds_alternative<std::monostate>(option.target)) << option.longName;
      EXPECT_EQ(option.kind == ValueKind::Keyword, !option.keywords.empty()) << option.longName;
    }
  }
  EXPECT_EQ(settingOptions, 102);
  // One bits-per-pixel option per output format, each setting that
  // format's own field.
  for (std::string_view extension : outputExtensions()) {
    std::string name = "--" + asciiUpper(extension) + "-BPP";
    const Option* option = findSettingOption(name);
    ASSERT_NE(option, nullptr) << name;
    Settings settings;
    applyOption(settings, *option, "24", commandLineReaders());
    EXPECT_EQ(*bppField(settings, extension), 24) << name;
  }
  EXPECT_NE(findOption("-I"), nullptr);
  EXPECT_EQ(findSettingOption("--INPUT"), nullptr);
  EXPECT_EQ(findOption("-V"), nullptr);  // first-parameter modes are not options
}

TEST(OptionTable, ApplyingSwitchesStepsOn) {
  struct Case {
    const char* option;
    const char* value;
    std::int8_t Settings::*step;
    int stepValue;
  } cases[] = {
      {"--ROTATION", "90", &Settings::doImageRotation, 1},
      {"--WIDTH", "800", &Settings::doImageResize, 1},
      {"--HEIGHT", "600", &Settings::doImageResize, 1},
      {"--BRIGHTNESS", "-20", &Settings::doImageColorCorrection, 1},
      {"--CONTRAST", "5", &Settings::doImageColorCorrection, 1},
      {"--GAMMA", "1.5", &Settings::doImageColorCorrection, 1},
      {"--INVERT", "0", &Settings::doImageColorCorrection, 1},
      {"--THRESHOLD", "128", &Settings::doImageThreshold, 1},
      {"--FR-SOLID-LEFT", "3", &Settings::doFrame, 1},
      {"--FR-SOLID-BOTTOM", "3", &Settings::doFrame, 1},
      {"--WM-TEXT", "hello", &Settings::doWatermark, 1},
      {"--WM-IMAGE", "/x.png", &Settings::doWatermark, 2},
  };
  for (const Case& c : cases) {
    Settings settings;
    applyOption(settings, *findOption(c.option), c.value, commandLineReaders());
    EXPECT_EQ(settings.*c.step, c.stepValue) << c.option;
  }

  Settings settings;
  auto apply = [&](const char* name, const char* value) {
    applyOption(settings, *findOption(name), value, commandLineReaders());
  };
  apply("--INVERT", "0");
  EXPECT_EQ(settings.imageInvert, 1);
  apply("--NO-SUBFOLDERS", "1");
  EXPECT_EQ(settings.keepSubfolders, 0);
  apply("--PNG-COMPRESSION", "rle");
  EXPECT_EQ(settings.pngCompression, 1);
  apply("--RESIZE-ALGORITHM", "nonsense");
  EXPECT_EQ(settings.imageResizeAlgorithm, 0);
  apply("--RESIZE-ALGORITHM", "lanczos");
  EXPECT_EQ(settings.imageResizeAlgorithm, 5);
  apply("--FILE-TIMESTAMP-CUSTOM", "$7FFFFFFF");
  EXPECT_EQ(settings.customTimestamp, 0x7FFFFFFF);
  apply("--WM-TEXT", " kept as given ");
  EXPECT_EQ(settings.text, " kept as given ");
}

TEST(OptionTable, EchoShowsKeywordsOfTheFormatsOwnSet) {
  Settings settings;
  settings.pngCompression = 1;
  settings.tiffCompression = 1;
  settings.exrCompression = 1;
  settings.bmpCompression = 1;
  settings.tgaCompression = 1;
  EXPECT_EQ(optionValueText(settings, *findOption("--PNG-COMPRESSION")), "ZLIB1");
  EXPECT_EQ(optionValueText(settings, *findOption("--TIFF-COMPRESSION")), "CCITTFAX3");
  EXPECT_EQ(optionValueText(settings, *findOption("--EXR-COMPRESSION")), "ZIP");
  EXPECT_EQ(optionValueText(settings, *findOption("--BMP-COMPRESSION")), "RLE");
  EXPECT_EQ(optionValueText(settings, *findOption("--TGA-COMPRESSION")), "RLE");
  settings.pngCompression = 7;  // no word for it in the PNG set
  EXPECT_EQ(optionValueText(settings, *findOption("--PNG-COMPRESSION")), "");
  settings.imageGamma = 1.0f;
  EXPECT_EQ(optionValueText(settings, *findOption("--GAMMA")), "1.00");
  settings.keepAspectRatio = 5;
  EXPECT_EQ(optionValueText(settings, *findOption("--KEEP-ASPECT-RATIO")), "1");

  // Every word of every single-code table comes back as itself.
  for (KeywordTable table : {keywords::rawLoad, keywords::position, keywords::fontEffect, keywords::timestamp,
                             keywords::tiffCompression, keywords::exrCompression})
    for (const Keyword& keyword : table) EXPECT_EQ(codeToKeyword(table, keyword.code), keyword.word);
  EXPECT_EQ(keywordToCode(keywords::compression, "zlib9"), 3);
  EXPECT_EQ(keywordToCode(keywords::compression, "LOGLUV"), 8);
}

TEST(CommandLineInput, FileOrFolderByExtension) {
  struct Case {
    const char* input;
    bool file;
  } cases[] = {
      {"a.psd", true},   {"/in/a.psd", true}, {"list.TXT", true},     {"/in/", false}, {"/in", false},
      {"/in.d/", false}, {"/in.d/x", false},  {"/in/.hidden", false}, {".psd", false}, {"/in/a b", false},
      {"a.b c", false},  {"/in/x.", false},   {"/my.folder", true},   {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(namesFile(c.input), c.file) << c.input;
}

TEST(CommandLineInput, FolderRules) {
  test::TempFolder program;
  program.makeFolder("beside");
  test::TempFolder other;
  struct Case {
    std::string folder;
    FolderCheck check;
    std::string path;
  } cases[] = {
      {"beside", FolderCheck::Valid, program.str() + "beside/"},
      {"./beside/", FolderCheck::Valid, program.str() + "beside/"},
      {"", FolderCheck::Valid, program.str()},
      {other.path().string(), FolderCheck::Valid, other.str()},
      {"../beside", FolderCheck::Incorrect, ""},
      {"..", FolderCheck::Incorrect, ""},
      {"missing", FolderCheck::Invalid, ""},
      {other / "missing", FolderCheck::Invalid, ""},
  };
  for (const Case& c : cases) {
    ResolvedFolder resolved = resolveFolder(c.folder, program.str());
    EXPECT_EQ(resolved.check, c.check) << c.folder;
    EXPECT_EQ(resolved.path, c.path) << c.folder;
  }
}

}  // namespace
}  // namespace qm
