#include "cli/help.h"

#include "app/messages.h"
#include "formats/input_formats.h"
#include "formats/output_formats.h"

namespace qm {

namespace {

struct HelpLine {
  std::string_view text;
  bool namesOutput = false;  // %s2% is the first output extension, else the input type
};

constexpr HelpLine kHelp[] = {
    {" "},
    {"Usage: %s1% -i <filename> [options]"},
    {" "},
    {"  %s1% -i example.%s2%"},
    {"  %s1% -i /tmp/example.%s2%"},
    {"  %s1% -i /tmp/example.%s2% -o /tmp/converted"},
    {"  %s1% -i /tmp/filelist.txt"},
    {"  %s1% -i /tmp/ -o /tmp/converted --jpg-quality=95"},
    {"  %s1% -i /tmp/ -o /tmp/converted -c %s2% --jpg-quality=95", true},
    {" "},
    {"Options:"},
    {" "},
    {"  -h, -?, --help            Display this help and exit"},
    {"  -i FILE, --input=FILE     Set input file/list/folder"},
    {"  -o PATH, --output=PATH    Set output folder"},
    {"  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)"},
    {" "},
    {"Advanced options:"},
    {" "},
    {"  --width=NUM               Set output image width"},
    {"  --height=NUM              Set output image height"},
    {"  --filename-mask=STR       Define output filename format"},
    {"  --flip-horizontal         Flip output image horizontally"},
    {"  --flip-vertical           Flip output image vertically"},
    {"  --brightness=NUM          Set output image brightness, NUM = -100..100"},
    {"  --contrast=NUM            Set output image contrast, NUM = -100..100"},
    {"  --gamma=NUM               Set output image gamma, NUM = 0.01..9.99"},
    {"  --invert                  Invert output image"},
    {"  --greyscale               Greyscale output image"},
    {"  --profile=FILE            Set configuration file with required settings"},
    {"    ...                     Refer documentation for all available options"},
    {" "},
    {"Other options:"},
    {" "},
    {"  -q, --quiet               Don't print status messages to stdout"},
    {"  -d, --debug               Print debug information to stdout"},
    {"  -p, --pause               Pause at exit"},
    {"  -v, --version             Display version information and exit"},
};

}  // namespace

std::vector<std::string> helpLines(std::string_view programName) {
  std::string_view inputType = inputTypeList().front();
  std::string_view outputExtension = outputExtensions().front();
  std::vector<std::string> lines;
  for (const HelpLine& line : kHelp)
    lines.push_back(
        fillPlaceholders(std::string(line.text), programName, line.namesOutput ? outputExtension : inputType));
  return lines;
}

}  // namespace qm
