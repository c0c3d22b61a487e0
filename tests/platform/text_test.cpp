#include "platform/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace qm {
namespace {

TEST(Text, LetterCaseIsAsciiOnly) {
  // Bytes of multi-byte characters stay as they are, so a UTF-8 path is
  // never broken, whatever the process locale says.
  const char* locale = std::setlocale(LC_ALL, "C.UTF-8");
  EXPECT_EQ(asciiLower("\xC3\x84RGER.PSD"), "\xC3\x84rger.psd");
  EXPECT_EQ(asciiUpper("caf\xC3\xA9.psd"), "CAF\xC3\xA9.PSD");
  EXPECT_EQ(asciiTitle("hOLIDAY"), "Holiday");
  EXPECT_EQ(asciiTitle(""), "");
  EXPECT_EQ(asciiLower('I'), 'i');
  EXPECT_EQ(asciiUpper('i'), 'I');
  if (locale) std::setlocale(LC_ALL, "C");
}

TEST(Text, Utf8LetterCaseTakesEveryLetter) {
  struct Case {
    std::string text, lower, upper, title;
  };
  for (const Case& c : {Case{"\xC3\xA4rger", "\xC3\xA4rger", "\xC3\x84RGER", "\xC3\x84rger"},
                        Case{"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", "\xC3\x89t\xC3\xA9"},
                        Case{"holiday 2018", "holiday 2018", "HOLIDAY 2018", "Holiday 2018"}, Case{"", "", "", ""},
                        // Not UTF-8: the ASCII letters change, the other bytes stay.
                        Case{"ab\xFF", "ab\xFF", "AB\xFF", "Ab\xFF"}}) {
    EXPECT_EQ(utf8Lower(c.text), c.lower) << c.text;
    EXPECT_EQ(utf8Upper(c.text), c.upper) << c.text;
    EXPECT_EQ(utf8Title(c.text), c.title) << c.text;
  }
}

TEST(Text, ComparesAndFindsIgnoringCase) {
  EXPECT_TRUE(equalsIgnoringCase("Arial", "ARIAL"));
  EXPECT_FALSE(equalsIgnoringCase("Arial", "Arial "));
  EXPECT_FALSE(equalsIgnoringCase("\xC3\x84", "\xC3\xA4"));
  struct Case {
    const char* text;
    const char* needle;
    std::size_t from;
    std::size_t found;
  };
  constexpr auto npos = std::string_view::npos;
  for (const Case& c : {Case{"a%N%b%n%", "%n%", 0, 1}, Case{"a%N%b%n%", "%n%", 2, 5}, Case{"abc", "abcd", 0, npos},
                        Case{"abc", "", 0, npos}, Case{"ABC", "c", 0, 2}, Case{"abc", "c", 3, npos}}) {
    EXPECT_EQ(findIgnoringCase(c.text, c.needle, c.from), c.found) << c.text << " / " << c.needle;
  }
  EXPECT_TRUE(containsIgnoringCase("Text %RND%", "%rnd%"));
  EXPECT_FALSE(containsIgnoringCase("Text", "%rnd%"));
}

TEST(Text, TrimsTheGivenCharacters) {
  struct Case {
    std::string_view text;
    std::string_view characters;
    std::string_view both, left, right;
  };
  for (const Case& c :
       {Case{" \t a b \t ", kBlanksAndTabs, "a b", "a b \t ", " \t a b"}, Case{" \t a ", " ", "\t a", "\t a ", " \t a"},
        Case{"   ", " ", "", "", ""}, Case{"", " ", "", "", ""}, Case{"\"x\"", "\"", "x", "x\"", "\"x"}}) {
    EXPECT_EQ(trim(c.text, c.characters), c.both);
    EXPECT_EQ(trimLeft(c.text, c.characters), c.left);
    EXPECT_EQ(trimRight(c.text, c.characters), c.right);
  }
}

TEST(Text, ControlCharactersCannotBreakAConsoleLine) {
  struct Case {
    std::string_view text, escaped;
  };
  for (const Case& c :
       {Case{"/in/plain name.psd", "/in/plain name.psd"},
        Case{"/in/a\nNot converted: b.psd", "/in/a\\nNot converted: b.psd"}, Case{"tab\there", "tab\\there"},
        Case{"back\\slash", "back\\\\slash"}, Case{"cr\r bell\a del\x7f", "cr\\x0d bell\\x07 del\\x7f"},
        Case{std::string_view("nul\0x", 5), "nul\\x00x"}, Case{"\xC3\xA4rger", "\xC3\xA4rger"}}) {
    EXPECT_EQ(escapeControlCharacters(c.text), c.escaped) << c.escaped;
  }
}

}  // namespace
}  // namespace qm
