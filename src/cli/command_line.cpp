#include "cli/command_line.h"

#include <charconv>

#include "app/messages.h"
#include "app/version.h"
#include "cli/command_line_run.h"
#include "cli/help.h"
#include "cli/options.h"
#include "cli/profile.h"
#include "formats/input_formats.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace qm {

namespace {

// Parameters lose the spaces around them (only spaces: a tab is part of
// the value).
std::string trimSpaces(std::string_view text) { return std::string(trim(text, " ")); }

// "--NAME=value" gives "--NAME", "-x" gives "-x", anything else "".
std::string optionName(const std::string& parameter) {
  if (parameter.starts_with("--")) return asciiUpper(parameter.substr(0, parameter.find('=')));
  if (parameter.starts_with("-")) return asciiUpper(parameter);
  return {};
}

std::string optionValue(const std::string& parameter) {
  if (parameter.starts_with("--")) {
    auto equals = parameter.find('=');
    if (equals != std::string::npos) return parameter.substr(equals + 1);
  }
  return parameter;
}

bool isPresent(const Option& option, const std::string& value) {
  if (value.empty()) return false;
  bool namesAPath =
      option.run == RunOption::Input || option.run == RunOption::Output || option.run == RunOption::Conversion;
  return !value.starts_with(namesAPath ? "-" : "--");
}

// A worker count: a whole number from 1 to kMaxJobs, nothing else.
bool readJobCount(const std::string& text, std::int32_t& jobs) {
  constexpr std::int32_t kMaxJobs = 256;
  std::int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxJobs) return false;
  jobs = value;
  return true;
}

struct LoopResult {
  bool quiet = false;
  bool pause = false;
  std::string error;
};

LoopResult applyParameters(const Workspace& app, const std::vector<std::string>& parameters) {
  LoopResult result;
  const ValueReaders readers = commandLineReaders();
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    std::string parameter = trimSpaces(parameters[i]);
    const Option* option = findOption(optionName(parameter));
    if (!option) continue;
    std::string value;
    if (option->takesValue()) {
      // The short forms take their value from the next parameter.
      bool fromNext = !option->shortName.empty() && asciiUpper(parameter) == option->shortName;
      if (fromNext)
        value = ++i < parameters.size() ? optionValue(trimSpaces(parameters[i])) : std::string();
      else
        value = optionValue(parameter);
      if (!isPresent(*option, value)) {
        result.error = "Incorrect number of parameters";
        return result;
      }
    }
    switch (option->run) {
      case RunOption::None: applyOption(app.settings, *option, value, readers); break;
      case RunOption::Input:
        app.run.commandLine = true;
        app.run.inputRoot = value;
        break;
      case RunOption::Output: app.run.outputFolder = value; break;
      case RunOption::Conversion: app.run.outputExtension = value; break;
      case RunOption::Profile:
        if (!applyProfile(app.settings, value)) {
          result.error = "Invalid profile file";
          return result;
        }
        break;
      case RunOption::Debug: app.run.runModeMarker = "DEBUG"; break;
      case RunOption::Quiet: result.quiet = true; break;
      case RunOption::Pause: result.pause = true; break;
      case RunOption::Jobs:
        if (!readJobCount(value, app.run.jobs)) {
          result.error = "Invalid jobs value";
          return result;
        }
        break;
    }
  }
  return result;
}

// The modes chosen by the first parameter alone; nullopt when it is none.
std::optional<int> runFirstParameterMode(const std::string& name) {
  if (name == "-V" || name == "--VERSION") {
    platform::Console console;
    console.setTitle(titleLine());
    console.writeLine(versionText());
    return 0;
  }
  if (name == "-H" || name == "-?" || name == "--HELP") {
    platform::Console console;
    console.setTitle(titleLine());
    for (const std::string& line : helpLines(platform::programName())) console.writeLine(line);
    return 0;
  }
  return std::nullopt;
}

}  // namespace

CommandLineOutcome parseCommandLine(const Workspace& app, const std::vector<std::string>& parameters) {
  using Next = CommandLineOutcome::Next;
  if (parameters.empty()) return {};
  resetRun(app.run, app.inputs);
  resetSettings(app.settings, SettingsForm::CommandLine, DesktopSize{});
  messages();

  // The uninstall feedback window and the screenshot mode belong to the
  // window face.
  const std::string firstName = optionName(trimSpaces(parameters[0]));
  if (firstName == "-U") return {Next::UninstallFeedback, 0, {}};
  if (firstName == "-T")
    return {Next::Screenshots, 0, parameters.size() > 1 ? trimSpaces(parameters[1]) : std::string()};
  if (auto exitCode = runFirstParameterMode(firstName)) return {Next::Exit, *exitCode, {}};

  LoopResult loop = applyParameters(app, parameters);
  if (!loop.error.empty()) {
    platform::Console console;
    console.setTitle(titleLine());
    console.writeErrorLine("Error: " + loop.error);
    if (loop.pause) console.waitForKey();
    return {Next::Exit, 1, {}};
  }
  if (!app.run.commandLine) return {};

  platform::Console console;
  console.setTitle(titleLine());
  if (!loop.quiet) {
    console.writeLine(titleLine());
    console.writeLine(kLegalNotice);
    console.writeLine(kWebSite);
    console.writeLine(" ");
  }
  int exitCode = runCommandLine(app, loop.quiet, console);
  if (loop.pause) {
    console.writeLine("Press any key to exit.");
    console.waitForKey();
  }
  return {Next::Exit, exitCode, {}};
}

}  // namespace qm
