// The option table of the command line: every option the parser knows,
// with its names, the kind of value it takes, the field it sets, its
// keyword table and the step it switches on. The parser, the profile
// reader and the debug echo all work from this one table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "cli/keywords.h"
#include "settings/settings.h"

namespace qm {

enum class ValueKind { Text, Number, Decimal, Keyword, Switch };

// Options that steer the run rather than set a field of the Settings record.
enum class RunOption { None, Input, Output, Conversion, Profile, Debug, Quiet, Pause, Jobs };

using OptionTarget = std::variant<std::monostate, std::int8_t Settings::*, std::int32_t Settings::*,
                                  std::int64_t Settings::*, float Settings::*, std::string Settings::*>;

// A step an option turns on as a side effect (`--WIDTH` turns resizing
// on, `--WM-IMAGE` chooses the image watermark).
struct StepSwitch {
  std::int8_t Settings::*field = nullptr;
  std::int8_t value = 1;
};

struct Option {
  std::string_view longName;   // upper case, with the two hyphens
  std::string_view shortName;  // "-I", or empty
  ValueKind kind = ValueKind::Text;
  RunOption run = RunOption::None;
  OptionTarget target;
  KeywordTable keywords;      // word to code
  KeywordTable echoKeywords;  // code to word, when it differs from `keywords`
  StepSwitch switchesOn;
  std::int8_t switchValue = 1;  // what a switch stores in its field

  bool takesValue() const { return kind != ValueKind::Switch; }
  bool setsSetting() const { return run == RunOption::None; }
};

std::span<const Option> commandLineOptions();

// By upper-case option name: a long name, or a short one ("-I").
const Option* findOption(std::string_view upperName);
// By upper-case long name, among the options that set a field of the
// Settings record (the keys a profile may hold).
const Option* findSettingOption(std::string_view upperLongName);

// How number and decimal values are read: the command line has its own
// reading; a profile reads them as the settings file does.
struct ValueReaders {
  std::int64_t (*integer)(std::string_view text);
  float (*real)(std::string_view text);
};
ValueReaders commandLineReaders();

// Stores the value in the option's field and switches its step on.
// Switches store their fixed value whatever `value` says.
void applyOption(Settings& settings, const Option& option, std::string_view value, const ValueReaders& read);

// The option's field as the debug echo writes it: numbers in decimal,
// switches as 0 or 1, decimals with two places, keywords as words.
std::string optionValueText(const Settings& settings, const Option& option);

}  // namespace qm
