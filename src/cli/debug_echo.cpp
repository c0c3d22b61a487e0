#include "cli/debug_echo.h"

#include "cli/options.h"
#include "formats/input_formats.h"
#include "platform/text.h"

namespace qm {

namespace {

std::string optionText(const Settings& settings, std::string_view name) {
  const Option* option = findOption(name);
  return option ? optionValueText(settings, *option) : std::string();
}

struct FormatEchoLine {
  std::string_view extension;
  EchoLine line;
};

// The lines after "<EXT> BPP: ", for the formats that have more options.
constexpr FormatEchoLine kFormatDetails[] = {
    {"bmp", {"BMP Compression: ", "--BMP-COMPRESSION"}},    {"bmp", {"BMP Color Table: ", "--BMP-COLOR-TABLE"}},
    {"exr", {"EXR Compression: ", "--EXR-COMPRESSION"}},    {"jpg", {"JPG Quality: ", "--JPG-QUALITY"}},
    {"jpg", {"JPG Chroma Subsampling: ", "--JPG-CHROMA"}},  {"jpg", {"JPG Save As: ", "--JPG-SAVE-AS"}},
    {"png", {"PNG Compression: ", "--PNG-COMPRESSION"}},    {"png", {"PNG Interlaced: ", "--PNG-INTERLACED"}},
    {"tga", {"TGA Compression: ", "--TGA-COMPRESSION"}},    {"tiff", {"TIFF Compression: ", "--TIFF-COMPRESSION"}},
    {"tiff", {"TIFF Color Model: ", "--TIFF-COLOR-MODEL"}},
};

constexpr EchoLine kRotation[] = {
    {"Image Rotation Type: ", "--ROTATION-TYPE"},
    {"Image Rotation: ", "--ROTATION"},
    {"Image Rotation Back Color: ", "--ROTATION-BACK-COLOR"},
};

constexpr EchoLine kResizeDetails[] = {
    {"Keep Aspect Ratio: ", "--KEEP-ASPECT-RATIO"},
    {"Image Resize Type: ", "--RESIZE-TYPE"},
    {"Image Resize Algorithm: ", "--RESIZE-ALGORITHM"},
};

constexpr EchoLine kFlip[] = {
    {"Flip Horizontal: ", "--FLIP-HORIZONTAL"},
    {"Flip Vertical: ", "--FLIP-VERTICAL"},
};

constexpr EchoLine kFrameDetails[] = {
    {"Frame left: ", "--FR-SOLID-LEFT"},
    {"Frame right: ", "--FR-SOLID-RIGHT"},
    {"Frame top: ", "--FR-SOLID-TOP"},
    {"Frame bottom: ", "--FR-SOLID-BOTTOM"},
    {"Frame left color: ", "--FR-SOLID-LEFT-COLOR"},
    {"Frame right color: ", "--FR-SOLID-RIGHT-COLOR"},
    {"Frame top color: ", "--FR-SOLID-TOP-COLOR"},
    {"Frame bottom color: ", "--FR-SOLID-BOTTOM-COLOR"},
    {"Frame opacity: ", "--FR-SOLID-OPACITY"},
};

constexpr EchoLine kTextWatermark[] = {
    {"Watermark text: ", "--WM-TEXT"},
    {"Watermark font: ", "--WM-FONT"},
    {"Watermark font size: ", "--WM-FONT-SIZE"},
    {"Watermark font leading: ", "--WM-FONT-LEADING"},
    {"Watermark font color: ", "--WM-FONT-COLOR"},
    {"Watermark font style: ", "--WM-FONT-STYLE"},
    {"Watermark font effect: ", "--WM-FONT-EFFECT"},
    {"Watermark text antialiasing: ", "--WM-TEXT-ANTIALIASING"},
    {"Watermark text alignment: ", "--WM-TEXT-ALIGNMENT"},
    {"Watermark text padding: ", "--WM-TEXT-PADDING"},
    {"Watermark text opacity: ", "--WM-TEXT-OPACITY"},
    {"Watermark background color: ", "--WM-BACK-COLOR"},
    {"Watermark background opacity: ", "--WM-BACK-OPACITY"},
    {"Watermark boundary: ", "--WM-TEXT-BOUNDARY"},
    {"Watermark position: ", "--WM-TEXT-POSITION"},
    {"Watermark offset (x/y): ", "--WM-TEXT-X-OFFSET", "/", "--WM-TEXT-Y-OFFSET"},
    {"Watermark rotation: ", "--WM-TEXT-ROTATION"},
    {"Watermark size/mode: ", "--WM-TEXT-SIZE"},
};

constexpr EchoLine kImageWatermark[] = {
    {"Watermark image: ", "--WM-IMAGE"},
    {"Watermark greyscale: ", "--WM-IMAGE-GREYSCALE"},
    {"Watermark opacity: ", "--WM-IMAGE-OPACITY"},
    {"Watermark boundary: ", "--WM-IMAGE-BOUNDARY"},
    {"Watermark position: ", "--WM-IMAGE-POSITION"},
    {"Watermark offset (x/y): ", "--WM-IMAGE-X-OFFSET", "/", "--WM-IMAGE-Y-OFFSET"},
    {"Watermark rotation: ", "--WM-IMAGE-ROTATION"},
    {"Watermark size/mode: ", "--WM-IMAGE-SIZE"},
};

}  // namespace

std::string echoLineText(const Settings& settings, const EchoLine& line) {
  std::string text(line.label);
  if (line.field) {
    text += codeToKeyword(line.fieldKeywords, settings.*line.field);
    return text;
  }
  text += optionText(settings, line.option);
  if (!line.secondOption.empty()) {
    text += line.joiner;
    text += optionText(settings, line.secondOption);
  }
  return text;
}

namespace echo {

std::vector<std::string> formatLines(const Settings& settings, std::string_view extension) {
  std::string upper = asciiUpper(extension);
  std::vector<std::string> lines{upper + " BPP: " + optionText(settings, "--" + upper + "-BPP")};
  for (const FormatEchoLine& detail : kFormatDetails)
    if (detail.extension == extension) lines.push_back(echoLineText(settings, detail.line));
  return lines;
}

const std::span<const EchoLine> rotation = kRotation;
const EchoLine width{"Width: ", "--WIDTH", " ", "--WIDTH-UNIT"};
const EchoLine height{"Height: ", "--HEIGHT", " ", "--HEIGHT-UNIT"};
const std::span<const EchoLine> resizeDetails = kResizeDetails;
const std::span<const EchoLine> flip = kFlip;
const EchoLine brightness{"Brightness: ", "--BRIGHTNESS"};
const EchoLine contrast{"Contrast: ", "--CONTRAST"};
const EchoLine gamma{"Gamma: ", "--GAMMA"};
const EchoLine invert{"Invert: ", "--INVERT"};
const EchoLine greyscale{"Greyscale: ", "--GREYSCALE"};
const EchoLine threshold{"Image Threshold: ", "--THRESHOLD"};
const EchoLine frame{"Frame: ", {}, {}, {}, &Settings::doFrame, keywords::frameType};
const std::span<const EchoLine> frameDetails = kFrameDetails;
const EchoLine watermark{"Watermark: ", {}, {}, {}, &Settings::doWatermark, keywords::watermarkType};
const std::span<const EchoLine> textWatermark = kTextWatermark;
const std::span<const EchoLine> imageWatermark = kImageWatermark;
const EchoLine filenameMask{"Filename Mask: ", "--FILENAME-MASK"};
const EchoLine fileTimestamp{"File Timestamp: ", "--FILE-TIMESTAMP"};
const EchoLine customTimestamp{"Custom Timestamp: ", "--FILE-TIMESTAMP-CUSTOM"};
const EchoLine keepSubfolders{"Keep Subfolders: ", "--NO-SUBFOLDERS"};

}  // namespace echo

}  // namespace qm
