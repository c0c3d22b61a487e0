// The debug echo of a command-line run: the effective settings, one
// labelled line each, in groups the run writes between its checks. Values
// come from the option table, so each line shows its field the way the
// option reads it (keywords as words, switches as 0 or 1).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/keywords.h"
#include "settings/settings.h"

namespace qm {

// A label and the option whose field follows it; a second option, after
// a joiner, shares the line ("Width: 800 PIXELS"). Lines for fields no
// option sets name the field and an echo-only keyword table instead.
struct EchoLine {
  std::string_view label;
  std::string_view option;
  std::string_view joiner = {};
  std::string_view secondOption = {};
  std::int8_t Settings::*field = nullptr;
  KeywordTable fieldKeywords = {};
};

std::string echoLineText(const Settings& settings, const EchoLine& line);

namespace echo {

// The selected output format's lines: "<EXT> BPP: " and its own options.
std::vector<std::string> formatLines(const Settings& settings, std::string_view extension);

extern const std::span<const EchoLine> rotation;
extern const EchoLine width;
extern const EchoLine height;
extern const std::span<const EchoLine> resizeDetails;
extern const std::span<const EchoLine> flip;
extern const EchoLine brightness;
extern const EchoLine contrast;
extern const EchoLine gamma;
extern const EchoLine invert;
extern const EchoLine greyscale;
extern const EchoLine threshold;
extern const EchoLine frame;
extern const std::span<const EchoLine> frameDetails;
extern const EchoLine watermark;
extern const std::span<const EchoLine> textWatermark;
extern const std::span<const EchoLine> imageWatermark;
extern const EchoLine filenameMask;
extern const EchoLine fileTimestamp;
extern const EchoLine customTimestamp;
extern const EchoLine keepSubfolders;

}  // namespace echo

}  // namespace qm
