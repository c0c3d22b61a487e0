// The manual page the build wrote, as man renders it, held against what
// the parser really accepts: the option table, the first-parameter modes,
// the keyword tables, the output formats and the environment the program
// reads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/options.h"
#include "formats/output_formats.h"
#include "platform/text.h"
#include "support/program_runner.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::string commandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

// Without hyphenation or justification, so that every word stays whole and
// single-spaced.
std::string renderedPage() {
  return commandOutput("LC_ALL=C.UTF-8 MANWIDTH=200 man --nh --nj -l '" + std::string(QM_MANUAL_PAGE) + "' 2>&1");
}

// The rendered page cut into its sections (NAME, OPTIONS, ...), and each
// section into entries: a tag line at indent 7 and the text indented below
// it, joined with blanks.
struct Entry {
  std::string tag;
  std::string text;
};

struct RenderedPage {
  std::map<std::string, std::vector<Entry>> sections;
  std::map<std::string, std::string> sectionText;
};

RenderedPage parse(const std::string& rendered) {
  RenderedPage page;
  std::string section;
  std::istringstream lines(rendered);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) continue;
    if (line.front() != ' ') {
      section = line;
      continue;
    }
    page.sectionText[section] += line + "\n";
    const std::string text(trim(line, " "));
    // Tags sit at indent 7; a short tag shares its line with the text, which
    // then starts at indent 14.
    if (line.starts_with("       ") && line[7] != ' ') {
      const auto gap = text.find("  ");
      page.sections[section].push_back({text.substr(0, gap), gap == std::string::npos ? "" : text.substr(gap)});
    } else if (!page.sections[section].empty()) {
      page.sections[section].back().text += " " + text;
    }
  }
  return page;
}

std::string placeholder(ValueKind kind) {
  switch (kind) {
    case ValueKind::Number: return "=NUM";
    case ValueKind::Decimal: return "=DEC";
    case ValueKind::Keyword: return "=WORD";
    case ValueKind::Text: return "=";
    case ValueKind::Switch: return "";
  }
  return "";
}

TEST(ManualPage, ListsEveryOptionOfTheTableWithItsValueKindAndWords) {
  const std::string rendered = renderedPage();
  const RenderedPage page = parse(rendered);
  ASSERT_TRUE(page.sections.contains("OPTIONS")) << rendered;
  std::map<std::string, const Entry*> byName;
  for (const Entry& entry : page.sections.at("OPTIONS")) {
    if (!entry.tag.starts_with('-')) continue;  // the section's own paragraphs
    std::string_view rest = entry.tag;
    while (!rest.empty()) {
      const auto comma = rest.find(", ");
      const std::string_view token = rest.substr(0, comma);
      byName[std::string(token.substr(0, token.find_first_of(" =")))] = &entry;
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
    }
  }

  std::size_t checked = 0;
  for (const Option& option : commandLineOptions()) {
    const std::string name = asciiLower(option.longName);
    ASSERT_TRUE(byName.contains(name)) << name << " is missing from OPTIONS";
    const Entry& entry = *byName.at(name);
    if (!option.shortName.empty()) {
      EXPECT_EQ(byName[asciiLower(option.shortName)], &entry) << name;
    }
    EXPECT_FALSE(entry.text.empty()) << name << " has no description";
    // The value kind of a setting is the table's; the run options show the
    // help's names for their values (FILE, PATH, STR).
    if (option.setsSetting()) {
      const std::string shown = entry.tag.substr(entry.tag.find(name) + name.size());
      EXPECT_TRUE(shown.starts_with(placeholder(option.kind))) << entry.tag;
      if (option.kind == ValueKind::Switch) {
        EXPECT_EQ(shown, "") << entry.tag;
      }
    } else {
      EXPECT_EQ(entry.tag.find('=') != std::string::npos, option.takesValue()) << entry.tag;
    }
    if (option.kind == ValueKind::Keyword) {
      // Every word the parser accepts for the option is named with it.
      std::set<std::string> words;
      std::string word;
      for (char c : entry.text + " ") {
        if (std::isalnum(static_cast<unsigned char>(c))) {
          word += c;
        } else if (!word.empty()) {
          words.insert(word);
          word.clear();
        }
      }
      for (const Keyword& keyword : option.keywords)
        EXPECT_TRUE(words.contains(std::string(keyword.word))) << name << " does not name " << keyword.word;
    }
    ++checked;
  }
  EXPECT_EQ(checked, commandLineOptions().size());
  // No entry names an option the parser does not know.
  for (const auto& [name, entry] : byName) EXPECT_NE(findOption(asciiUpper(name)), nullptr) << name;

  ASSERT_TRUE(page.sections.contains("MODES"));
  std::set<std::string> modes;
  for (const Entry& entry : page.sections.at("MODES")) {
    if (!entry.tag.starts_with('-')) continue;
    std::string_view rest = entry.tag;
    while (!rest.empty()) {
      const auto comma = rest.find(", ");
      const std::string_view token = rest.substr(0, comma);
      modes.insert(std::string(token.substr(0, token.find(' '))));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
    }
  }
  std::set<std::string> expectedModes;
  for (const FirstParameterName& mode : firstParameterNames()) expectedModes.insert(asciiLower(mode.upperName));
  EXPECT_EQ(modes, expectedModes);

  ASSERT_TRUE(page.sections.contains("OUTPUT FORMATS"));
  std::vector<std::string> formats;
  for (const Entry& entry : page.sections.at("OUTPUT FORMATS")) formats.push_back(entry.tag);
  EXPECT_EQ(formats, std::vector<std::string>(kOutputExtensions.begin(), kOutputExtensions.end()));
}

TEST(ManualPage, NamesOnlyOptionsTheParserKnowsAndRendersWithoutWarnings) {
  const std::string rendered = renderedPage();
  // Every option spelled anywhere in the page, examples included: a word
  // that starts with "-" and a letter (or "?"), after a blank or an
  // opening bracket.
  std::set<std::string> unknown;
  std::set<std::string> seen;
  for (std::size_t i = 0; i + 1 < rendered.size(); ++i) {
    const bool starts = rendered[i] == '-' && (i == 0 || std::isspace(static_cast<unsigned char>(rendered[i - 1])) ||
                                               rendered[i - 1] == '[' || rendered[i - 1] == '(');
    if (!starts) continue;
    std::size_t end = i + 1;
    if (rendered[end] == '-') ++end;
    if (end >= rendered.size() || !(std::isalpha(static_cast<unsigned char>(rendered[end])) || rendered[end] == '?'))
      continue;
    while (end < rendered.size() &&
           (std::isalnum(static_cast<unsigned char>(rendered[end])) || rendered[end] == '-' || rendered[end] == '?'))
      ++end;
    const std::string word = asciiUpper(rendered.substr(i, end - i));
    bool known = findOption(word) != nullptr;
    for (const FirstParameterName& mode : firstParameterNames()) known = known || mode.upperName == word;
    if (!known) unknown.insert(word);
    seen.insert(word);
    i = end;
  }
  // The scan does see the options: the examples' ones among them.
  EXPECT_TRUE(seen.contains("--JPG-QUALITY") && seen.contains("-I") && seen.contains("--PROFILE"));
  EXPECT_TRUE(unknown.empty()) << *unknown.begin();

  const std::string warnings =
      commandOutput("LC_ALL=C.UTF-8 man --warnings -l '" + std::string(QM_MANUAL_PAGE) + "' 2>&1 >/dev/null");
  EXPECT_EQ(warnings, "");
}

// Each environment variable the program's sources read is explained, the
// test hooks' own aside.
TEST(ManualPage, ExplainsEveryEnvironmentVariableTheProgramReads) {
  const RenderedPage page = parse(renderedPage());
  ASSERT_TRUE(page.sections.contains("ENVIRONMENT"));
  std::set<std::string> explained;
  for (const Entry& entry : page.sections.at("ENVIRONMENT")) explained.insert(entry.tag);

  std::set<std::string> readByProgram;
  const std::string call = "getenv(\"";
  for (const auto& file : fs::recursive_directory_iterator(fs::path(QM_SOURCE_DIR) / "src")) {
    if (!file.is_regular_file()) continue;
    std::ifstream in(file.path());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (auto at = text.find(call); at != std::string::npos; at = text.find(call, at + 1)) {
      const auto start = at + call.size();
      readByProgram.insert(text.substr(start, text.find('"', start) - start));
    }
  }
  readByProgram.erase("QUILLMARK_TEST_HOOKS");
  ASSERT_FALSE(readByProgram.empty());
  for (const std::string& name : readByProgram) EXPECT_TRUE(explained.contains(name)) << name << " is not explained";
}

// The examples of the page run as written, with their folders and files
// made up here (the page's example options are not only known but valid).
TEST(ManualPage, ListFileExampleRunsAsWritten) {
  const std::string rendered = renderedPage();
  const auto start = rendered.find("quillmark -i /data/batch.txt");
  ASSERT_NE(start, std::string::npos);
  const std::string line = rendered.substr(start, rendered.find('\n', start) - start);
  std::vector<std::string> arguments;
  std::istringstream words(line.substr(std::string("quillmark ").size()));
  for (std::string word; words >> word;) arguments.push_back(word);

  const fs::path data = fs::temp_directory_path() / ("quillmark-manual-" + std::to_string(::getpid()));
  fs::create_directories(data / "out");
  fs::copy_file(fs::path(QM_SOURCE_DIR) / "samples/sunset.psd", data / "sunset.psd");
  std::ofstream(data / "batch.txt") << (data / "sunset.psd").string() << "\n";
  for (std::string& argument : arguments)
    if (argument.starts_with("/data/")) argument = (data / argument.substr(6)).string();
  const test::ProgramResult result = test::runProgram(arguments);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(fs::exists(data / "out/sunset.jpg")) << result.out;
  fs::remove_all(data);
}

// The HTML manual Help opens: the same options and formats as the page,
// the guide to the window, elements that close in order and links that
// all lead somewhere.
TEST(ManualPage, HtmlManualHoldsThePageAndTheGuideAndIsWellFormed) {
  std::ifstream in(QM_HTML_MANUAL, std::ios::binary);
  std::stringstream read;
  read << in.rdbuf();
  const std::string html = read.str();
  ASSERT_FALSE(html.empty()) << QM_HTML_MANUAL;

  std::vector<std::string> expected = {"<h2 id=\"window\">USING THE WINDOW</h2>", "<h2 id=\"options\">OPTIONS</h2>",
                                       "Preferences", "Themes", "Ctrl+Del"};
  for (const Option& option : commandLineOptions()) expected.push_back("<b>" + asciiLower(option.longName) + "</b>");
  for (const OutputFormat& format : kOutputFormats)
    expected.push_back("<dt><b>" + std::string(format.extension) + "</b></dt>");
  for (const std::string& text : expected) EXPECT_NE(html.find(text), std::string::npos) << text;
  EXPECT_LT(html.find("id=\"description\""), html.find("id=\"window\""));
  EXPECT_LT(html.find("id=\"window\""), html.find("id=\"modes\""));

  // Every element closes, innermost first (the empty ones aside).
  std::vector<std::string> open;
  for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
    const std::size_t end = html.find_first_of(" >", at);
    ASSERT_NE(end, std::string::npos);
    std::string tag = html.substr(at + 1, end - at - 1);
    if (tag.starts_with('!') || tag == "meta" || tag == "br") continue;
    if (!tag.starts_with('/')) {
      open.push_back(tag);
      continue;
    }
    ASSERT_FALSE(open.empty()) << "</" << tag << "> at " << at;
    EXPECT_EQ("/" + open.back(), tag) << "at " << at;
    open.pop_back();
  }
  EXPECT_TRUE(open.empty());

  for (std::size_t at = html.find("href=\"#"); at != std::string::npos; at = html.find("href=\"#", at + 1)) {
    const std::string id = html.substr(at + 7, html.find('"', at + 7) - at - 7);
    EXPECT_NE(html.find("id=\"" + id + "\""), std::string::npos) << id;
  }
}

}  // namespace
}  // namespace qm
