// The Preferences dialog's rules that need no window: how typed values are
// read and clamped, how the gamma is shown, which rows a choice enables,
// how texts and colours are stored, and what the dialog tells the main
// window when it closes. The dialog's controls call these; the tests call
// them directly.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"

namespace qm {

// The ranges of a track bar and its spin box. The track shows the spin
// value plus `offset` (brightness and contrast: 0..200 for -100..100).
struct PairRange {
  int spinMin = 0;
  int spinMax = 0;
  int offset = 0;
  int trackMin() const { return spinMin + offset; }
  int trackMax() const { return spinMax + offset; }
  int clamp(int value) const { return value < spinMin ? spinMin : value > spinMax ? spinMax : value; }
};

inline constexpr PairRange kQualityRange{1, 100, 0};
inline constexpr PairRange kAngleRange{0, 360, 0};
inline constexpr PairRange kPercentRange{-100, 100, 100};
// The gamma in hundredths: 0.01 .. 9.99.
inline constexpr PairRange kGammaRange{1, 999, 0};
inline constexpr PairRange kThresholdRange{0, 255, 0};
inline constexpr PairRange kOpacityRange{1, 255, 0};
inline constexpr PairRange kScaleRange{1, 200, 0};
inline constexpr PairRange kFolderCountRange{1, 50, 0};

// An optional sign and the leading decimal digits; a text without leading
// digits reads as 0. Values beyond the 32-bit range saturate.
int leadingInteger(std::string_view text);
// True when the text holds at least one digit after an optional sign, so
// that it stands for a number the user meant.
bool hasLeadingDigits(std::string_view text);

// A typed gamma text read as a real, in hundredths, rounded and clamped.
// A text that is no number gives the smallest gamma.
int gammaHundredthsFromText(std::string_view text);
// The gamma of the settings in hundredths, rounded and clamped.
int gammaHundredths(float gamma);
// "2.50" for 250.
std::string gammaText(int hundredths);
// What OK stores: the hundredths as a gamma (1.23 for 123).
float gammaFromHundredths(int hundredths);

// A number field's text as its key's value: digits only, empty is 0.
std::int32_t numberFieldValue(std::string_view text);

// A typed text as `Text`, `Image` or `Filename Mask` keep it: spaces
// trimmed from both ends, every tab, CR and LF removed.
std::string cleanTypedText(std::string_view text);

// The comma-separated fields of `Fonts`, `Font Colors` or `Back Colors`,
// each trimmed of spaces, in order, duplicates kept.
std::vector<std::string> listFields(std::string_view text);

// The name a colour drop-down lists a colour under: a named colour's
// catalogue text, otherwise "Color #RRGGBB".
std::string colourName(std::string_view colourText);

// Adds a colour chosen in a history chooser to its history text; false
// (and the text unchanged) when one of the fields already holds it.
bool addToColourHistory(std::string& history, Rgb colour);

// The font chooser's result: the face without commas, the whole points
// and the style flags (256 bold, 512 italic).
struct ChosenFont {
  std::string face;
  int points = 0;
  int styleFlags = 0;
};
ChosenFont chosenFont(std::string_view face, double points, int weight, bool italic);
// Adds a face to `Fonts` unless a field equals it exactly; false when it
// was there.
bool addToFonts(std::string& fonts, std::string_view face);
// The Font Style position (0..3) of style flags, and back.
int fontStyleCode(int styleFlags);
int fontStyleFlags(int code);

// `Do Image Color Correction` from the four values it depends on.
bool colourCorrectionNeeded(int brightness, int contrast, int gammaHundredths, bool invert);

// 2 when only the icon size changed, 1 when the theme changed (with or
// without the size), 0 otherwise.
int interfaceChangeCode(std::string_view oldTheme, int oldSize, std::string_view newTheme, int newSize);

// Which RAW rows a `RAW Load As` code enables.
struct RawRows {
  bool geometry = false;  // header size, width, height
  bool toneMapping = false;
};
RawRows rawRows(int loadAs);

// The bits-per-pixel drop-down: the position to select for a key's value
// (0 = Auto, i + 1 for the i-th depth, nothing for a depth the format does
// not allow) and the value a selection stores (Auto or none give 0).
std::optional<int> bppSelection(std::span<const int> depths, int value);
int bppValue(std::span<const int> depths, int selection);

// A date field's value and back: dates count seconds in local time, which
// the field shows as they are.
struct DateFields {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};
DateFields dateFields(std::int64_t date);
std::int64_t dateValue(const DateFields& fields);

// The date as the date field's mask writes it, "yyyy/mm/dd hh:ii".
std::string dateText(const DateFields& fields);

}  // namespace qm
