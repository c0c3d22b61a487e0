#include "app/messages.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace qm {
namespace {

TEST(MessageCatalogue, BuiltInGroupsAndEntryCounts) {
  struct Count {
    const char* group;
    std::size_t entries;
  };
  const Count counts[] = {{"Menu", 28}, {"General", 10},         {"Msg", 41},     {"Dialog", 16}, {"Preferences", 214},
                          {"About", 4}, {"Custom-Converter", 4}, {"Uninstall", 3}};
  const MessageCatalogue& catalogue = messages();
  EXPECT_EQ(catalogue.groupCount(), 8u);
  EXPECT_EQ(catalogue.entryCount(), 320u);
  for (const Count& c : counts) EXPECT_EQ(catalogue.entryCount(c.group), c.entries) << c.group;
  EXPECT_EQ(catalogue.entryCount("preferences"), 214u);
  EXPECT_EQ(catalogue.entryCount("Nonexistent"), 0u);
}

// The stored form itself: whole pairs, the groups in their fixed order,
// one end pair at the very end, and no key twice in a group except the
// Medium that two lists of the Preferences share.
TEST(MessageCatalogue, StoredFormIsWellFormed) {
  std::span<const std::string_view> stored = builtInCatalogue();
  ASSERT_EQ(stored.size() % 2, 0u);
  ASSERT_GE(stored.size(), 2u);
  EXPECT_EQ(stored[stored.size() - 2], "_END_");
  EXPECT_EQ(stored[stored.size() - 1], "");

  std::vector<std::string> groups;
  std::set<std::string> keysOfGroup;
  std::vector<std::string> repeated;
  // Preferences entries by how their text relates to the key: the same,
  // the key and a colon, or worded apart.
  int sameAsKey = 0, keyAndColon = 0, wordedApart = 0;
  for (std::size_t i = 0; i + 2 < stored.size(); i += 2) {
    EXPECT_NE(stored[i], "_END_");
    if (stored[i] == "_GROUP_") {
      groups.emplace_back(stored[i + 1]);
      keysOfGroup.clear();
      continue;
    }
    EXPECT_FALSE(stored[i].empty());
    EXPECT_FALSE(stored[i + 1].empty()) << stored[i];
    std::string key(stored[i]);
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!keysOfGroup.insert(key).second) repeated.push_back(groups.back() + "/" + std::string(stored[i]));
    if (groups.back() == "Preferences") {
      if (stored[i + 1] == stored[i])
        ++sameAsKey;
      else if (stored[i + 1] == std::string(stored[i]) + ":")
        ++keyAndColon;
      else
        ++wordedApart;
    }
  }
  EXPECT_EQ(groups, (std::vector<std::string>{"Menu", "General", "Msg", "Dialog", "Preferences", "About",
                                              "Custom-Converter", "Uninstall"}));
  EXPECT_EQ(repeated, std::vector<std::string>{"Preferences/Medium"});
  EXPECT_EQ(sameAsKey, 92);
  EXPECT_EQ(keyAndColon, 60);
  EXPECT_EQ(wordedApart, 62);
  EXPECT_EQ(sameAsKey + keyAndColon + wordedApart, 214);
}

TEST(MessageCatalogue, LooksUpTextsInAnyLetterCase) {
  struct Case {
    const char* group;
    const char* key;
    const char* text;
  };
  const Case cases[] = {
      {"msg", "CONVERSION COMPLETE", "Conversion complete"},
      {"MSG", "conversion is not complete", "Conversion stopped"},
      {"Msg", "Files converted", "Files converted: %s1% of %s2%"},
      {"Msg", "Invalid input folder",
       "The following input folder is invalid or doesn't exist:\r\n%s1%\r\n\r\nPlease, correct the input path "
       "and try again!"},
      {"Preferences", "Medium", "Medium"},
      {"Preferences", "Keep Aspect Ratio", "Keep Proportions:"},
      {"preferences", "check for updates", "Check for Updates:"},
      {"Preferences", "Title", "Preferences..."},
      {"Preferences", "Bold Italic", "Bold Italic"},
      {"Preferences", "Bold", "Bold"},  // a prefix of the key above
      {"Menu", "Select Input File", "Add Input File..."},
      {"Menu", "Select Input Files", "Add Input Files..."},
      {"Menu", "About", "About..."},
      {"General", "Ready", "Ready"},
      {"Dialog", "OK", "OK"},
      {"About", "Title", "About..."},
      {"custom-converter", "title", "Find a File Converter"},
      {"Uninstall", "Next", "Next"},
      {"Msg", "Warning", "Warning"},
  };
  // In a row and through different groups, so a lookup never depends on
  // the group of the one before.
  for (const Case& c : cases) EXPECT_EQ(messages().lookUpText(c.group, c.key), c.text) << c.group << "/" << c.key;
}

// Every stored text is found again through the index, by its key in the
// stored case and in lower case.
TEST(MessageCatalogue, EveryStoredEntryIsFoundThroughTheIndex) {
  std::span<const std::string_view> stored = builtInCatalogue();
  std::string group;
  int checked = 0;
  for (std::size_t i = 0; i + 2 < stored.size(); i += 2) {
    if (stored[i] == "_GROUP_") {
      group = stored[i + 1];
      continue;
    }
    std::string lower(stored[i]);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(messages().lookUpText(group, stored[i]), stored[i + 1]) << group << "/" << stored[i];
    EXPECT_EQ(messages().lookUpText(group, lower), stored[i + 1]) << group << "/" << lower;
    ++checked;
  }
  EXPECT_EQ(checked, 320);
}

TEST(MessageCatalogue, MissingTextsGiveTheMarker) {
  struct Case {
    std::string group;
    std::string key;
  };
  const Case cases[] = {
      {"Msg", "No such key"},
      {"No such group", "Error"},
      {"Msg", ""},
      {"", "Error"},
      {"Msg", "Erro"},          // a prefix of a key
      {"Msg", "Errors"},        // a key plus more
      {"Msg", "Ready"},         // a key of another group
      {"Msg", "\xC3\x89rror"},  // begins with a byte no key begins with
      {"Msg", "~"},
      {"_GROUP_", "Menu"},
      {"Menu", "_GROUP_"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(messages().lookUpText(c.group, c.key), kNoStringError) << c.group << "/" << c.key;
}

TEST(MessageCatalogue, ParsesAnyStoredSequence) {
  // Markers in any case, keys sorted although stored unsorted, equal keys
  // ordered by their text, an empty group, a sequence without end pair.
  const std::string_view stored[] = {"_group_", "First", "beta",    "B",    "Alpha", "A2",   "ALPHA",   "A1",
                                     "_Group_", "Empty", "_GROUP_", "Last", "Key",   "Text", "dangling"};
  MessageCatalogue catalogue = MessageCatalogue::parse(stored);
  EXPECT_EQ(catalogue.groupCount(), 3u);
  EXPECT_EQ(catalogue.entryCount(), 4u);
  EXPECT_EQ(catalogue.entryCount("first"), 3u);
  EXPECT_EQ(catalogue.entryCount("EMPTY"), 0u);
  EXPECT_EQ(catalogue.lookUpText("first", "alpha"), "A1");
  EXPECT_EQ(catalogue.lookUpText("FIRST", "Beta"), "B");
  EXPECT_EQ(catalogue.lookUpText("Empty", "Key"), kNoStringError);
  EXPECT_EQ(catalogue.lookUpText("Last", "key"), "Text");

  const std::string_view ended[] = {"_GROUP_", "G", "k", "v", "_end_", "", "_GROUP_", "After", "x", "y"};
  MessageCatalogue short_ = MessageCatalogue::parse(ended);
  EXPECT_EQ(short_.groupCount(), 1u);
  EXPECT_EQ(short_.lookUpText("G", "K"), "v");
  EXPECT_EQ(short_.lookUpText("After", "x"), kNoStringError);

  EXPECT_EQ(MessageCatalogue::parse({}).lookUpText("G", "k"), kNoStringError);
}

TEST(MessageCatalogue, ReadsFromManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> wrong(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &wrong] {
      for (int i = 0; i < 2000; ++i) {
        if (messages().lookUpText(t % 2 ? "Msg" : "General", t % 2 ? "Error" : "Ready") != (t % 2 ? "Error" : "Ready"))
          ++wrong[t];
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

TEST(FillPlaceholders, ReplacesInOrderAndKeepsEmptyOnes) {
  const std::string filesConverted = messages().lookUpText("Msg", "Files converted");
  struct Case {
    std::string text;
    std::string s1, s2, s3, s4;
    std::string expected;
  };
  const Case cases[] = {
      {filesConverted, "2", "3", "", "", "Files converted: 2 of 3"},
      {filesConverted, "2", "", "", "", "Files converted: 2 of %s2%"},
      {filesConverted, "", "", "", "", "Files converted: %s1% of %s2%"},
      {"%S1% and %s1%", "x", "", "", "", "x and x"},
      {"(%S1%/%S2%)", "4", "9", "", "", "(4/9)"},
      {"%s1%", "[%s2%]", "two", "", "", "[two]"},
      {"%s2%", "[%s1%]", "two", "", "", "two"},
      {"%s1%", "%s1%%s1%", "", "", "", "%s1%%s1%"},
      {"%s4%%s3%%s2%%s1%", "1", "2", "3", "4", "4321"},
      {"no placeholders", "1", "2", "3", "4", "no placeholders"},
      {"%s1", "1", "", "", "", "%s1"},
      {"%s5%", "1", "2", "3", "4", "%s5%"},
      {"", "1", "", "", "", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fillPlaceholders(c.text, c.s1, c.s2, c.s3, c.s4), c.expected) << c.text << " / " << c.s1;
}

}  // namespace
}  // namespace qm
