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

void writeExamples(std::string& page) {
  page += ".PP\nThe examples of " + bold("--help") + ":\n.PP\n.EX\n";
  for (const std::string& line : helpLines(kProgram))
    if (line.starts_with(std::string("  ") + std::string(kProgram) + " ")) page += typed(trim(line, " ")) + "\n";
  page += ".EE\n";
  page +=
      ".PP\n"
      "Every document of a list file, one path per line, as JPEG files of quality 90 at half their size:\n"
      ".PP\n.EX\n" +
      typed(
          "quillmark -i /data/batch.txt -o /data/out/ -c jpg --jpg-quality=90 --width=50 --width-unit=percent "
          "--height=50 --height-unit=percent") +
      "\n.EE\n"
      ".PP\n"
      "Settings kept in a profile, one option overridden after it:\n"
      ".PP\n.EX\n" +
      typed("quillmark -i /data/in/ -o /data/out/ -c png --profile=/data/web.ini --width=800") +
      "\n.EE\n"
      ".PP\n"
      "The window, with two documents and a folder already in its Input list:\n"
      ".PP\n.EX\n" +
      typed("quillmark /data/a.psd /data/b.psd /data/more/") + "\n.EE\n";
}

}  // namespace

std::string manualPage(const ManualPlaces& places) {
  const std::map<std::string, HelpEntry> help = helpEntries();
  const std::string formats = std::to_string(kOutputFormats.size());
  std::string input;
  for (std::string_view type : inputTypeList()) input += (input.empty() ? "" : ", ") + std::string(type);
  const std::string program(kProgram);
  std::string page;
  page += ".\\\" Generated from the program's option table and help text; do not edit.\n";
  page += ".TH QUILLMARK 1 \"\" \"" + titleLine() + "\" \"User Commands\"\n";
  page += ".SH NAME\n" + program + " \\- batch converter of Photoshop documents into " + formats + " image formats\n";
  page += ".SH SYNOPSIS\n.B " + program + "\n" + bold("-i") + " " + italic("FILE") + "|" + italic("LIST") + "|" +
          italic("FOLDER") + " [" + bold("-o") + " " + italic("FOLDER") + "] [" + bold("-c") + " " + italic("EXT") +
          "] [" + italic("OPTION") + "\\&...]\n.br\n.B " + program + "\n[" + italic("FILE") + "|" + italic("FOLDER") +
          "\\&...]\n.br\n.B " + program + "\n" + bold("-h") + " | " + bold("-v") + " | " + bold("-t") + " " +
          italic("FOLDER") + "\n";

  page += ".SH DESCRIPTION\n" + bold(program) + " reads layered Photoshop documents (" + bold(input) +
          "), takes their composite image and writes each of them in one of " + formats +
          " formats. On the way every image can be rotated, resized, flipped, colour\\-corrected, turned to "
          "greyscale or to a black\\-and\\-white threshold image, given a solid frame, and stamped with a text or "
          "picture watermark. Output files are named by a filename mask and may mirror the sub\\-folders of the "
          "input.\n"
          ".PP\n"
          "With an input option (" +
          bold("-i") + " or " + bold("--input") +
          ") the program runs on the command line: the settings start from the built\\-in defaults (the settings "
          "file of the window is neither read nor written), the options apply from left to right, the documents "
          "are converted and the program exits. The input is a document, a folder (every document below it is "
          "converted) or a list file ending in " +
          bold(".txt") + " or " + bold(".lst") +
          " with one path per line. Status lines go to standard output; lines that begin with \"Error: \" and one "
          "\"Not converted: \\fIpath\\fR: \\fIreason\\fR\" line for every document that failed go to standard "
          "error. Relative input and output paths are taken relative to the current folder; input and output "
          "folders that begin with \"..\" are refused. When standard error is a terminal, a run that is "
          "neither quiet nor in debug mode shows its progress on one line there.\n"
          ".PP\n"
          "Without an input option the main window opens and works with the settings file. Documents and folders "
          "named as parameters join its Input list as if they had been dropped on it (a desktop's \"Open with\" "
          "starts the program this way); other options have no effect there.\n"
          ".PP\n"
          "Only one Quillmark runs at a time for a user. A later start that would open the window hands its "
          "documents and folders to the window already open, which adds them to its Input list and comes to the "
          "front, and exits with status 0; any other later start exits with status 1.\n";

  page += ".SH MODES\nThese names are recognised only as the first parameter.\n";
  writeModes(page, help);

  page +=
      ".SH OPTIONS\n"
      "Option names are case\\-insensitive. Long options take their value after \"=\"; the short forms " +
      bold("-i") + ", " + bold("-o") + " and " + bold("-c") +
      " take it from the next parameter. Options apply in order, a repeated option keeps its last value, and "
      "the keys of a profile apply at the position of " +
      bold("--profile") +
      ". A value that is missing, or that begins with \"\\-\\-\" (with \"\\-\" for the three short forms), "
      "ends the program with \"Error: Incorrect number of parameters\". Parameters that are no option are "
      "ignored on the command line, and each is named on standard error as \"Unknown option ignored: "
      "\\fIparameter\\fR\".\n";
  writeOptions(page, help);

  page +=
      ".SH VALUES\n"
      ".TP\n" +
      italic("NUM") +
      "\nA whole number: an optional sign, then decimal digits, or \"$\" and hexadecimal digits, or \"%\" and "
      "binary digits. Reading stops at the first character that does not fit; no digits give 0.\n"
      ".TP\n" +
      italic("DEC") + "\nA decimal number with a point, whatever the locale.\n.TP\n" + italic("WORD") +
      "\nOne of the words listed with the option, in any letter case.\n.TP\n" + italic("TEXT") +
      "\nTaken as given.\n.TP\n" + italic("RRGGBB") +
      "\nA colour as six hexadecimal digits; any other length means black.\n"
      ".PP\n"
      "Options without a value are switches; anything after an \"=\" is ignored.\n";

  page += ".SH OUTPUT FORMATS\n";
  writeFormats(page);

  page += ".SH PROFILES\nA profile is a text file in the settings file's format. Its group " + bold("[CLI]") +
          " holds keys named like the long options that change settings, for example:\n"
          ".PP\n.EX\n[CLI]\n" +
          typed("--jpg-quality = 80") + "\n" + typed("--png-interlaced = 1") + "\n" +
          typed("--filename-mask = web_%filename%") +
          "\n.EE\n"
          ".PP\n"
          "The first occurrence of a key counts; switches are on whatever their value says.\n";

  page +=
      ".SH SIGNALS\n"
      "SIGINT, SIGTERM or SIGHUP stop a run within moments: an output that is ready is still put in place, "
      "the documents being converted are dropped, \"Conversion stopped\" follows with one \"Not converted: "
      "\\fIpath\\fR: the run was stopped before it\" line on standard error for every document left, and "
      "the summary. A second SIGINT (Ctrl\\-C) ends the program at once.\n";

  page +=
      ".SH EXIT STATUS\n"
      ".TP\n0\nEvery document of the run was converted; help and version; the window was closed.\n"
      ".TP\n1\nAn \"Error: \" line, a stopped conversion, a document that was not converted, no display for "
      "the window, or another Quillmark running.\n";

  page +=
      ".SH ENVIRONMENT\n"
      ".TP\n.B XDG_CONFIG_HOME\nFolder of the window's settings; " +
      bold("$HOME/.config") +
      " when unset.\n"
      ".TP\n.B HOME\nUsed when " +
      bold("XDG_CONFIG_HOME") +
      " is unset.\n"
      ".TP\n.B XDG_RUNTIME_DIR\nFolder of the lock file that keeps a second Quillmark from running.\n"
      ".TP\n.B QUILLMARK_SITE\nReplaces the product web site (for example " +
      typed("http://127.0.0.1:8080") +
      ") for the update check and every link.\n"
      ".TP\n.B QUILLMARK_RANDOM_SEED\nA number that fixes the sequence of %rnd% values, so that two runs can be "
      "compared file for file.\n"
      ".TP\n.B DISPLAY\nThe X display the window opens on.\n";

  page +=
      ".SH FILES\n"
      ".TP\n" +
      typed("$XDG_CONFIG_HOME/Ferroval/quillmark/config.ini") +
      "\nThe window's settings, written when the window closes. The command line never touches it.\n"
      ".TP\n" +
      typed(places.programFolder + "gfx/") + "\\fItheme\\fR" + typed(".zip") +
      "\nIcon themes, chosen in the Preferences: the folder " + bold("gfx") +
      " beside the program, wherever the program is installed.\n"
      ".TP\n" +
      typed("$XDG_RUNTIME_DIR/" + titleLine() + ".lock") + "\nThe single\\-instance lock; without " +
      bold("XDG_RUNTIME_DIR") + " it is " + typed("/tmp/" + titleLine() + ".") + "\\fIuid\\fR" + typed(".lock") + ".\n";

  page += ".SH EXAMPLES\n";
  writeExamples(page);
  return page;
}

}  // namespace qm
