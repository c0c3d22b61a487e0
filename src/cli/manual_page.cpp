#include "cli/manual_page.h"

#include <map>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "app/version.h"
#include "cli/command_line.h"
#include "cli/help.h"
#include "cli/options.h"
#include "formats/input_formats.h"
#include "formats/output_formats.h"
#include "platform/text.h"
#include "settings/settings_file.h"

namespace qm {

namespace {

constexpr std::string_view kProgram = "quillmark";

// Text as roff prints it: backslashes escaped, a leading dot or quote
// kept from reading as a request.
std::string roffText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else
      out += c;
  }
  if (!out.empty() && (out.front() == '.' || out.front() == '\'')) out.insert(0, "\\&");
  return out;
}

// What a user types (option names, paths, words): its hyphens are minus
// signs, so that a copied command still works.
std::string typed(std::string_view text) {
  std::string out;
  for (char c : roffText(text)) {
    if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  return out;
}

std::string bold(std::string_view text) { return "\\fB" + typed(text) + "\\fR"; }
std::string italic(std::string_view text) { return "\\fI" + roffText(text) + "\\fR"; }

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

std::string sentence(std::string text) {
  if (!text.empty() && text.back() != '.') text += '.';
  return text;
}

// A line of the help text that explains options: its synopsis
// ("-i FILE, --input=FILE") and what it says about them.
struct HelpEntry {
  std::string synopsis;
  std::string description;
};

// The help text's entries by upper-case option name.
std::map<std::string, HelpEntry> helpEntries() {
  std::map<std::string, HelpEntry> entries;
  for (const std::string& line : helpLines(kProgram)) {
    if (!line.starts_with("  -")) continue;
    const auto gap = line.find("  ", 2);
    if (gap == std::string::npos) continue;
    HelpEntry entry{line.substr(2, gap - 2), std::string(trim(line.substr(gap), " "))};
    std::string_view rest = entry.synopsis;
    while (!rest.empty()) {
      const auto comma = rest.find(", ");
      const std::string_view token = rest.substr(0, comma);
      entries[asciiUpper(token.substr(0, token.find_first_of(" =")))] = entry;
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
    }
  }
  return entries;
}

// "-i FILE, --input=FILE" with the names in bold and the values in italics.
std::string formattedSynopsis(std::string_view synopsis) {
  std::vector<std::string> parts;
  while (!synopsis.empty()) {
    const auto comma = synopsis.find(", ");
    const std::string_view token = synopsis.substr(0, comma);
    const auto split = token.find_first_of(" =");
    std::string part = bold(token.substr(0, split));
    if (split != std::string_view::npos) part += std::string(1, token[split]) + italic(token.substr(split + 1));
    parts.push_back(part);
    synopsis = comma == std::string_view::npos ? std::string_view() : synopsis.substr(comma + 2);
  }
  return joined(parts, ", ");
}

std::optional<SettingsKeyName> keyOf(const OptionTarget& target) {
  return std::visit(
      [](auto field) -> std::optional<SettingsKeyName> {
        if constexpr (std::is_same_v<decltype(field), std::monostate>)
          return std::nullopt;
        else
          return settingsKeyName(field);
      },
      target);
}

std::optional<SettingsKeyName> keyOf(std::int8_t Settings::*field) {
  return field ? settingsKeyName(field) : std::nullopt;
}

std::string keyText(const SettingsKeyName& key) { return italic(key.key) + " (group " + roffText(key.group) + ")"; }

std::string valuePlaceholder(const Option& option) {
  switch (option.kind) {
    case ValueKind::Number: return "NUM";
    case ValueKind::Decimal: return "DEC";
    case ValueKind::Keyword: return "WORD";
    case ValueKind::Switch: return {};
    case ValueKind::Text: {
      const auto key = keyOf(option.target);
      return key && std::string_view(key->key).ends_with("Color") ? "RRGGBB" : "TEXT";
    }
  }
  return {};
}

std::string builtSynopsis(const Option& option) {
  const std::string value = valuePlaceholder(option);
  std::vector<std::string> parts;
  if (!option.shortName.empty())
    parts.push_back(bold(asciiLower(option.shortName)) + (value.empty() ? "" : " " + italic(value)));
  parts.push_back(bold(asciiLower(option.longName)) + (value.empty() ? "" : "=" + italic(value)));
  return joined(parts, ", ");
}

// The output format whose bit depth a `--XXX-BPP` option sets.
const OutputFormat* bitDepthFormat(const Option& option) {
  const auto field = std::get_if<std::int32_t Settings::*>(&option.target);
  if (!field) return nullptr;
  const Settings probe;
  for (const OutputFormat& format : kOutputFormats)
    if (bppField(probe, format.extension) == &(probe.**field)) return &format;
  return nullptr;
}

std::string depthList(std::string_view permitted) {
  std::string out;
  for (char c : permitted) out += c == ',' ? std::string(", ") : std::string(1, c);
  return out;
}

std::string keywordSentences(const Option& option) {
  const KeywordTable shown = option.echoKeywords.empty() ? option.keywords : option.echoKeywords;
  std::vector<std::string> words;
  std::vector<std::string> others;
  for (const Keyword& keyword : shown) words.push_back(bold(keyword.word));
  for (const Keyword& keyword : option.keywords) {
    bool listed = false;
    for (const Keyword& mine : shown) listed = listed || mine.word == keyword.word;
    if (!listed) others.push_back(bold(keyword.word));
  }
  std::string text = italic("WORD") + " is one of " + joined(words, ", ") + " (in any letter case).";
  if (!others.empty())
    text += " Accepted as well, with the code each has in the shared table: " + joined(others, ", ") + ".";
  text += " A word not listed here counts as " + bold(codeToKeyword(shown, 0)) + ".";
  return text;
}

std::string optionDescription(const Option& option, const HelpEntry* help) {
  std::vector<std::string> sentences;
  if (help) sentences.push_back(sentence(roffText(help->description)));
  if (const auto key = keyOf(option.target)) {
    if (option.kind != ValueKind::Switch)
      sentences.push_back("Sets " + keyText(*key) + ".");
    else if (option.switchValue == 0)
      sentences.push_back("Turns " + keyText(*key) + " off.");
    else
      sentences.push_back("Turns " + keyText(*key) + " on.");
  }
  if (const auto step = keyOf(option.switchesOn.field)) {
    if (option.switchesOn.value == 1)
      sentences.push_back("Also turns " + italic(step->key) + " on.");
    else
      sentences.push_back("Also sets " + italic(step->key) + " to " + std::to_string(option.switchesOn.value) + ".");
  }
  if (const OutputFormat* format = bitDepthFormat(option))
    sentences.push_back("Bits per pixel of " + bold(format->extension) + " output: 0 (automatic), " +
                        depthList(format->permittedBitDepths) + ".");
  if (option.kind == ValueKind::Keyword) sentences.push_back(keywordSentences(option));
  if (option.run == RunOption::Jobs)
    sentences.push_back("How many documents are converted at once, " + italic("NUM") +
                        " from 1 to 256, each in a worker process of its own; without this option one for each core "
                        "the program may use. Outputs, names, time stamps and console lines do not depend on it. "
                        "Unlike other numbers, only plain decimal digits are accepted here: a sign, \"$\", \"%\" or "
                        "anything after the digits is refused with an error.");
  if (option.run == RunOption::Conversion)
    sentences.push_back("One of the extensions under " + bold("OUTPUT FORMATS") +
                        "; without this option the output is " + bold(kOutputFormats.front().extension) + ".");
  return joined(sentences, "\n");
}

// The section an option is listed under: the run options, then the
// settings-file group of the setting it changes.
std::string optionGroup(const Option& option) {
  if (const auto key = keyOf(option.target)) return std::string(key->group) + " options";
  return "Run options";
}

void writeOptions(std::string& page, const std::map<std::string, HelpEntry>& help) {
  std::vector<std::string> groups;
  std::map<std::string, std::string> entries;
  for (const Option& option : commandLineOptions()) {
    const std::string group = optionGroup(option);
    if (!entries.contains(group)) groups.push_back(group);
    const auto found = help.find(std::string(option.longName));
    const HelpEntry* entry = found == help.end() ? nullptr : &found->second;
    // The help's synopsis names the values of the run options ("FILE",
    // "PATH"); a setting's value is named by its kind in the table.
    const bool helpSynopsis = entry && !option.setsSetting();
    entries[group] += ".TP\n" + (helpSynopsis ? formattedSynopsis(entry->synopsis) : builtSynopsis(option)) + "\n" +
                      optionDescription(option, entry) + "\n";
  }
  for (const std::string& group : groups) page += ".SS \"" + group + "\"\n" + entries[group];
}

std::string modeDescription(FirstParameterMode mode, const std::map<std::string, HelpEntry>& help) {
  switch (mode) {
    case FirstParameterMode::Help: return sentence(help.at("--HELP").description);
    case FirstParameterMode::Version:
      return sentence(help.at("--VERSION").description) + " The version is printed alone (" + versionText() + ").";
    case FirstParameterMode::Screenshots:
      return "Opens the main window at 400,400 with sample rows, captures it and writes " + bold("quillmark1.jpg") +
             " and its half-size copy " + bold("quillmark1x.jpg") + " into " + italic("FOLDER") +
             ", then exits. Needs a display.";
    case FirstParameterMode::UninstallFeedback:
      return "Opens the small window the uninstaller shows: with its box ticked, " + bold("Next") +
             " opens the uninstall feedback page in the browser; then the program exits with status 0. Needs a "
             "display.";
  }
  return {};
}

void writeModes(std::string& page, const std::map<std::string, HelpEntry>& help) {
  std::vector<FirstParameterMode> order;
  std::map<FirstParameterMode, std::vector<std::string>> names;
  for (const FirstParameterName& entry : firstParameterNames()) {
    if (!names.contains(entry.mode)) order.push_back(entry.mode);
    std::string name = bold(asciiLower(entry.upperName));
    if (entry.mode == FirstParameterMode::Screenshots) name += " " + italic("FOLDER");
    names[entry.mode].push_back(name);
  }
  for (FirstParameterMode mode : order)
    page += ".TP\n" + joined(names[mode], ", ") + "\n" + modeDescription(mode, help) + "\n";
}

void writeFormats(std::string& page) {
  for (const OutputFormat& format : kOutputFormats)
    page += ".TP\n" + bold(format.extension) + "\n" + roffText(format.description) + "; bits per pixel " +
            depthList(format.permittedBitDepths) + ".\n";
}

std::string helpExamples() {
  std::string text = ".PP\nThe examples of " + bold("--help") + ":\n.PP\n.EX\n";
  for (const std::string& line : helpLines(kProgram))
    if (line.starts_with(std::string("  ") + std::string(kProgram) + " ")) text += typed(trim(line, " ")) + "\n";
  return text + ".EE";
}

// Replaces every `marker` in `page`; false when there is none.
bool fill(std::string& page, std::string_view marker, const std::string& text) {
  bool found = false;
  for (std::size_t at = page.find(marker); at != std::string::npos; at = page.find(marker, at + text.size())) {
    page.replace(at, marker.size(), text);
    found = true;
  }
  return found;
}

}  // namespace

std::optional<std::string> manualPage(const ManualPlaces& places, std::string_view pageTemplate) {
  const std::map<std::string, HelpEntry> help = helpEntries();
  std::string input;
  for (std::string_view type : inputTypeList()) input += (input.empty() ? "" : ", ") + std::string(type);
  // Each section ends where the next request begins; the template has
  // its marker on a line of its own.
  std::string modes, options, formats;
  writeModes(modes, help);
  writeOptions(options, help);
  writeFormats(formats);
  modes.pop_back();
  options.pop_back();
  formats.pop_back();

  // The template's leading comments are notes for whoever edits it.
  std::string page = ".\\\" Generated from the program's option table and help text; do not edit.\n";
  std::string_view body = pageTemplate;
  while (body.starts_with(".\\\"")) {
    const std::size_t end = body.find('\n');
    body = end == std::string_view::npos ? std::string_view{} : body.substr(end + 1);
  }
  page += body;
  const std::pair<std::string_view, std::string> fills[] = {
      {"@TITLE@", titleLine()},
      {"@FORMAT_COUNT@", std::to_string(kOutputFormats.size())},
      {"@INPUT_TYPES@", typed(input)},
      {"@PROGRAM_FOLDER@", typed(places.programFolder)},
      {"@MODES@", modes},
      {"@OPTIONS@", options},
      {"@FORMATS@", formats},
      {"@HELP_EXAMPLES@", helpExamples()},
  };
  for (const auto& [marker, text] : fills)
    if (!fill(page, marker, text)) return std::nullopt;
  return page;
}

}  // namespace qm
