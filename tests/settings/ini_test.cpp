#include "settings/ini.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "support/temp_folder.h"

namespace qm {
namespace {

TEST(IniDocument, ReadsGroupsKeysAndValuesByTheTextRules) {
  IniDocument doc = IniDocument::parse(
      "\xEF\xBB\xBF\r\n"
      "; a comment = not a key\r\n"
      "  \t[General]  trailing words\r\n"
      "\r\n"
      "CFG = 17\r"
      "\tLanguage\t =\t en \t\n"
      "no equals sign here\n"
      "Empty =\n"
      "Two = a = b\n"
      "cfg = 99\n"
      "[Output]\n"
      "JPG Quality=80\n"
      "[general]\n"
      "Language = de\n");

  ASSERT_EQ(doc.groups().size(), 3u);
  const IniGroup* general = doc.group("GENERAL");
  ASSERT_NE(general, nullptr);
  EXPECT_EQ(general->name, "General");
  ASSERT_NE(general->find("cfg"), nullptr);
  EXPECT_EQ(*general->find("cfg"), "17");       // the first of two keys wins
  EXPECT_EQ(*general->find("LANGUAGE"), "en");  // the first of two groups wins
  EXPECT_EQ(*general->find("Empty"), "");
  EXPECT_EQ(*general->find("Two"), "a = b");
  EXPECT_EQ(general->find("no equals sign here"), nullptr);
  EXPECT_EQ(general->find("; a comment"), nullptr);
  EXPECT_EQ(general->find("Missing"), nullptr);

  ASSERT_NE(doc.group("output"), nullptr);
  EXPECT_EQ(*doc.group("output")->find("jpg quality"), "80");
  EXPECT_EQ(doc.group("Window"), nullptr);
}

TEST(IniDocument, KeysBeforeAnyGroupAndUnclosedGroupLines) {
  IniDocument doc = IniDocument::parse("Stray = 1\n[Open\nKey = v\n[]\nNameless = 2\n");
  ASSERT_EQ(doc.groups().size(), 2u);
  EXPECT_EQ(doc.groups()[0].name, "Open");
  EXPECT_EQ(*doc.group("open")->find("key"), "v");
  ASSERT_NE(doc.group(""), nullptr);
  EXPECT_EQ(*doc.group("")->find("Nameless"), "2");
  for (const IniGroup& group : doc.groups()) EXPECT_EQ(group.find("Stray"), nullptr);
}

TEST(IniDocument, ByteOrderMarkDecidesBetweenUtf8AndLatin1) {
  struct Case {
    std::string bytes;
    std::string text;  // value of [G] K
  };
  const Case cases[] = {
      {"[G]\nK = caf\xE9", "caf\xC3\xA9"},
      {"\xEF\xBB\xBF[G]\nK = caf\xC3\xA9", "caf\xC3\xA9"},
      // Without the mark, UTF-8 bytes are taken one by one as Latin-1.
      {"[G]\nK = \xC3\xA9", "\xC3\x83\xC2\xA9"},
      {"[G]\nK = \xFF\x80", "\xC3\xBF\xC2\x80"},
  };
  for (const Case& c : cases) {
    IniDocument doc = IniDocument::parse(c.bytes);
    ASSERT_NE(doc.group("G"), nullptr) << c.bytes;
    ASSERT_NE(doc.group("G")->find("K"), nullptr) << c.bytes;
    EXPECT_EQ(*doc.group("G")->find("K"), c.text) << c.bytes;
  }
  // A lone mark, or its first two bytes, leaves no groups behind.
  EXPECT_TRUE(IniDocument::parse("\xEF\xBB\xBF").groups().empty());
  EXPECT_TRUE(IniDocument::parse("\xEF\xBB").groups().empty());
  EXPECT_TRUE(IniDocument::parse("").groups().empty());
}

TEST(IniDocument, GroupAndKeyMatchingFoldsOnlyAsciiLetters) {
  IniDocument doc = IniDocument::parse("\xEF\xBB\xBF[Caf\xC3\xA9]\n\xC3\xA9t\xC3\xA9 = summer\n");
  EXPECT_NE(doc.group("CAF\xC3\xA9"), nullptr);
  EXPECT_EQ(doc.group("CAF\xC3\x89"), nullptr);  // É is not folded to é
  ASSERT_NE(doc.group("caf\xC3\xA9"), nullptr);
  EXPECT_NE(doc.group("caf\xC3\xA9")->find("\xC3\xA9T\xC3\xA9"), nullptr);
}

TEST(IniNumbers, IntegersReadLikeAtoi) {
  struct Case {
    const char* text;
    std::int64_t value;
  };
  const Case cases[] = {
      {"17", 17},
      {"-5", -5},
      {"+42", 42},
      {"  12", 12},
      {"300 pixels", 300},
      {"12abc", 12},
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {"- 5", 0},
      {"1.9", 1},
      {"0x10", 0},
      {"4294967296", 4294967296},
      {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
      {"99999999999999999999999", std::numeric_limits<std::int64_t>::max()},
      {"-99999999999999999999999", std::numeric_limits<std::int64_t>::min()},
  };
  for (const Case& c : cases) EXPECT_EQ(readIniInteger(c.text), c.value) << c.text;
}

TEST(IniNumbers, RealsReadLikeAtofWithoutTheLocale) {
  struct Case {
    const char* text;
    float value;
  };
  const Case cases[] = {
      {"1.000000", 1.0f},
      {"2,5", 2.0f},
      {"2.5", 2.5f},
      {"-0.25", -0.25f},
      {"+3", 3.0f},
      {" 7.5x", 7.5f},
      {"1e2", 100.0f},
      {".5", 0.5f},
      {"", 0.0f},
      {"gamma", 0.0f},
      {"0x10", 16.0f},
      {"1e-999", 0.0f},
      {"0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
       "000000000000000000000000000000000000000000000000000000000000000000000000000000001",
       0.0f},
  };
  for (const Case& c : cases) EXPECT_EQ(readIniReal(c.text), c.value) << c.text;

  const float inf = std::numeric_limits<float>::infinity();
  for (const char* text : {"+Infinity", "+INFINITY", "infinity", "inf", "1e999", "1e40"})
    EXPECT_EQ(readIniReal(text), inf) << text;
  for (const char* text : {"-Infinity", "-infinity", "-1e999"}) EXPECT_EQ(readIniReal(text), -inf) << text;
  for (const char* text : {"NaN", "nan", "NAN"}) EXPECT_TRUE(std::isnan(readIniReal(text))) << text;
}

TEST(IniDocument, ReadFileReportsWhatCannotBeOpened) {
  test::TempFolder folder;
  EXPECT_FALSE(IniDocument::readFile(folder / "missing.ini").has_value());
  EXPECT_FALSE(IniDocument::readFile(folder.makeFolder("a-folder")).has_value());
  EXPECT_FALSE(IniDocument::readFile("").has_value());

  std::optional<IniDocument> doc = IniDocument::readFile(folder.write("p.ini", "[CLI]\r\n--JPG-QUALITY=80\r\n"));
  ASSERT_TRUE(doc.has_value());
  ASSERT_NE(doc->group("cli"), nullptr);
  EXPECT_EQ(*doc->group("cli")->find("--jpg-quality"), "80");
}

TEST(IniDocument, SurvivesGarbageAndLargeFiles) {
  std::mt19937 random(12345);
  std::string garbage(1 << 20, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  IniDocument::parse(garbage);
  IniDocument::parse("\xEF\xBB\xBF" + garbage);

  // 10 MB of group lines, key lines and overlong lines.
  std::string large;
  while (large.size() < 10u << 20) {
    large += "[G" + std::to_string(large.size() % 97) + "]\n";
    large += "Key = " + std::string(1000, 'v') + "\r\n";
    large += std::string(5000, '=') + "\n";
  }
  test::TempFolder folder;
  std::optional<IniDocument> doc = IniDocument::readFile(folder.write("large.ini", large));
  ASSERT_TRUE(doc.has_value());
  ASSERT_NE(doc->group("g0"), nullptr);
  EXPECT_EQ(doc->group("g0")->find("key")->size(), 1000u);
}

}  // namespace
}  // namespace qm
