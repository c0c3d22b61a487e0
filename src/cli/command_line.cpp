#include "cli/command_line.h"

#include <charconv>
#include <filesystem>
#include <optional>

#include "app/messages.h"
#include "app/version.h"
#include "cli/help.h"
#include "cli/options.h"
#include "cli/profile.h"
#include "formats/input_formats.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/stop_signals.h"
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
  // Parameters that are neither an option nor an option's value.
  std::vector<std::string> words;
  // The same and the unknown options, as given: a misspelt option must
  // not pass unseen.
  std::vector<std::string> unknown;
};

constexpr FirstParameterName kFirstParameterNames[] = {
    {"-H", FirstParameterMode::Help},           {"-?", FirstParameterMode::Help},
    {"--HELP", FirstParameterMode::Help},       {"-V", FirstParameterMode::Version},
    {"--VERSION", FirstParameterMode::Version}, {"-U", FirstParameterMode::UninstallFeedback},
    {"-T", FirstParameterMode::Screenshots},
};

std::optional<FirstParameterMode> firstParameterMode(const std::string& upperName) {
  for (const FirstParameterName& entry : kFirstParameterNames)
    if (entry.upperName == upperName) return entry.mode;
  return std::nullopt;
}

// The words that name an existing file or folder, made absolute against
// the current folder (a terminal user means the folder they are in).
std::vector<std::string> existingPaths(const std::vector<std::string>& words) {
  std::vector<std::string> paths;
  for (const std::string& word : words) {
    std::string path = std::filesystem::path(word.starts_with('/') ? word : platform::currentFolder() + word)
                           .lexically_normal()
                           .string();
    if (platform::isFolder(path) || platform::isRegularFile(path)) paths.push_back(std::move(path));
  }
  return paths;
}

LoopResult applyParameters(const Workspace& app, const std::vector<std::string>& parameters) {
  LoopResult result;
  const ValueReaders readers = commandLineReaders();
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    std::string parameter = trimSpaces(parameters[i]);
    const Option* option = findOption(optionName(parameter));
    if (!option) {
      if (parameter.empty()) continue;
      if (!parameter.starts_with('-')) result.words.push_back(parameter);
      result.unknown.push_back(parameter);
      continue;
    }
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

}  // namespace

std::span<const FirstParameterName> firstParameterNames() { return kFirstParameterNames; }

std::optional<std::vector<std::string>> windowStartPaths(const Workspace& app,
                                                         const std::vector<std::string>& parameters) {
  if (parameters.empty()) return std::vector<std::string>{};
  if (firstParameterMode(optionName(trimSpaces(parameters[0])))) return std::nullopt;
  resetRun(app.run, app.inputs);
  resetSettings(app.settings, SettingsForm::CommandLine, DesktopSize{});
  messages();
  const LoopResult loop = applyParameters(app, parameters);
  if (app.run.commandLine || !loop.error.empty()) return std::nullopt;
  return existingPaths(loop.words);
}

CommandLineOutcome parseCommandLine(const Workspace& app, const std::vector<std::string>& parameters,
                                    const CommandLineRunner& runCommandLine) {
  using Next = CommandLineOutcome::Next;
  if (parameters.empty()) return {};
  resetRun(app.run, app.inputs);
  resetSettings(app.settings, SettingsForm::CommandLine, DesktopSize{});
  messages();

  // The uninstall feedback window and the screenshot mode belong to the
  // window face.
  if (auto mode = firstParameterMode(optionName(trimSpaces(parameters[0])))) {
    switch (*mode) {
      case FirstParameterMode::UninstallFeedback: return {Next::UninstallFeedback, 0, {}, {}};
      case FirstParameterMode::Screenshots:
        return {Next::Screenshots, 0, parameters.size() > 1 ? trimSpaces(parameters[1]) : std::string(), {}};
      case FirstParameterMode::Version: {
        platform::Console console;
        console.setTitle(titleLine());
        console.writeLine(versionText());
        return {Next::Exit, 0, {}, {}};
      }
      case FirstParameterMode::Help: {
        platform::Console console;
        console.setTitle(titleLine());
        for (const std::string& line : helpLines(platform::programName())) console.writeLine(line);
        return {Next::Exit, 0, {}, {}};
      }
    }
  }

  LoopResult loop = applyParameters(app, parameters);
  // Window mode takes its words as files to open, and has no console.
  if (!app.run.commandLine && loop.error.empty()) return {Next::WindowMode, 0, {}, existingPaths(loop.words)};

  platform::Console console;
  // A reader that goes away (`| head`) must not end a batch halfway.
  platform::surviveClosedPipes();
  console.setTitle(titleLine());
  for (const std::string& parameter : loop.unknown)
    console.writeErrorLine("Unknown option ignored: " + escapeControlCharacters(parameter));
  if (!loop.error.empty()) {
    console.writeErrorLine("Error: " + loop.error);
    if (loop.pause) console.waitForKey();
    return {Next::Exit, 1, {}, {}};
  }
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
  return {Next::Exit, exitCode, {}, {}};
}

}  // namespace qm
