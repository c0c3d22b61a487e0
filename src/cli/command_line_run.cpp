#include "cli/command_line_run.h"

#include <csignal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>

#include "app/messages.h"
#include "cli/debug_echo.h"
#include "cli/progress_line.h"
#include "engine/batch/folder_scan.h"
#include "engine/batch/list_import.h"
#include "engine/batch/progress.h"
#include "engine/batch/worker.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/stop_signals.h"
#include "platform/text.h"

namespace qm {

std::string checkFailureText(RunCheck check, const std::string& extension) {
  switch (check) {
    case RunCheck::InvalidInputFile: return "Invalid input file";
    case RunCheck::IncorrectInputFolder: return "Incorrect input folder";
    case RunCheck::InvalidInputFolder: return "Invalid input folder";
    case RunCheck::IncorrectOutputFolder: return "Incorrect output folder";
    case RunCheck::InvalidOutputFolder: return "Invalid output folder";
    case RunCheck::InvalidConversionType: return "Invalid conversion type";
    case RunCheck::InvalidBitDepth: return "Invalid " + extension + "-bpp value";
    case RunCheck::InvalidJpgQuality: return "Invalid jpg-quality value";
    case RunCheck::InvalidWidth: return "Invalid width value";
    case RunCheck::InvalidHeight: return "Invalid height value";
    case RunCheck::InvalidBrightness: return "Invalid brightness value";
    case RunCheck::InvalidContrast: return "Invalid contrast value";
    case RunCheck::InvalidGamma: return "Invalid gamma value";
    case RunCheck::InvalidWatermarkFont: return "Invalid watermark font";
    case RunCheck::InvalidWatermarkImage: return "Invalid watermark image";
    // The window's own checks; the command line never makes them.
    case RunCheck::EmptyInputList:
    case RunCheck::EmptyOutputFolder:
    case RunCheck::EmptyWatermarkImage:
    case RunCheck::Passed: break;
  }
  return {};
}

namespace {

class CommandLineRun {
 public:
  CommandLineRun(const Workspace& workspace, bool quiet, platform::Console& console)
      : workspace_(workspace),
        settings_(workspace.settings),
        run_(workspace.run),
        quiet_(quiet),
        debug_(workspace.run.runModeMarker == "DEBUG"),
        console_(console),
        live_(!quiet && !debug_ && platform::Console::errorIsTerminal()) {}

  int run() {
    // SIGINT, SIGTERM and SIGHUP end the run within moments: an output
    // that is ready is still put in place, the renders in flight are
    // killed, and the files left are named. Caught before any thread
    // starts, so none of them takes the default action.
    platform::StopSignals signals([this](int signal) { stopSignal(signal); });
    status(messages().lookUpText("General", "Preparing"));
    RunStart start = prepareRun(RunFace::CommandLine, workspace_, [this](RunStage stage) { echo(stage); });
    if (start.check != RunCheck::Passed) {
      console_.writeErrorLine("Error: " + checkFailureText(start.check, run_.outputExtension));
      return 1;
    }
    plan_ = std::move(start.plan);

    // The first worker's start-up overlaps the import.
    spare_ = startSpareWorker(WorkerLimits{}.executable);
    status(messages().lookUpText("General", "Importing"));
    int total = importInputs();
    status(fillPlaceholders(messages().lookUpText("Msg", "Import complete"), std::to_string(total)));
    if (total == 0) {
      always(messages().lookUpText("Msg", "Conversion is not complete"));
      always(messages().lookUpText("Msg", "Empty input files"));
      return 1;
    }
    int converted = 0;
    if (!stopped_) {
      status(messages().lookUpText("General", "Converting"));
      converted = convert();
    }
    if (stopped_ && reported_.size() < static_cast<std::size_t>(total)) {
      // A stop leaves a list of what to run again.
      always(messages().lookUpText("Msg", "Conversion is not complete"));
      for (const InputEntry& entry : workspace_.inputs.entriesInBucketOrder())
        if (!reported_.contains(entry.path)) notConverted(entry.path, "the run was stopped before it");
      status(fillPlaceholders(messages().lookUpText("Msg", "Files converted"), std::to_string(converted),
                              std::to_string(total)));
      return 1;
    }
    if (converted != 0) {
      status(messages().lookUpText("Msg", "Conversion complete"));
      status(fillPlaceholders(messages().lookUpText("Msg", "Files converted"), std::to_string(converted),
                              std::to_string(total)));
    } else {
      always(messages().lookUpText("Msg", "Conversion is not complete"));
    }
    return converted == total ? 0 : 1;
  }

 private:
  void status(std::string_view line) {
    if (!quiet_) console_.writeLine(line);
  }
  void always(std::string_view line) { console_.writeLine(line); }
  // One line per file, whatever its name holds, so that scripts can cut
  // the paths out of it.
  void notConverted(const std::string& path, const std::string& reason) {
    console_.writeErrorLine("Not converted: " + escapeControlCharacters(path) + ": " + escapeControlCharacters(reason));
  }
  void debug(std::string_view line) {
    if (debug_) console_.writeLine(line);
  }
  void debug(const EchoLine& line) { debug(echoLineText(settings_, line)); }
  void debug(std::span<const EchoLine> lines) {
    for (const EchoLine& line : lines) debug(line);
  }

  // The debug echo, written between the checks as they are reached.
  void echo(RunStage stage) {
    if (!debug_) return;
    switch (stage) {
      case RunStage::Input: return debug("Input: " + escapeControlCharacters(run_.inputRoot));
      case RunStage::Output: return debug("Output: " + escapeControlCharacters(run_.outputFolder));
      case RunStage::Conversion: return debug("Conversion: " + run_.outputExtension);
      case RunStage::OutputFormat:
        for (const std::string& line : echo::formatLines(settings_, run_.outputExtension)) debug(line);
        return;
      case RunStage::Rotation: return debug(echo::rotation);
      case RunStage::Width: return debug(echo::width);
      case RunStage::Height: return debug(echo::height);
      case RunStage::ResizeDetails: return debug(echo::resizeDetails);
      case RunStage::Flip: return debug(echo::flip);
      case RunStage::Brightness: return debug(echo::brightness);
      case RunStage::Contrast: return debug(echo::contrast);
      case RunStage::Gamma: return debug(echo::gamma);
      case RunStage::Invert: return debug(echo::invert);
      case RunStage::Greyscale: return debug(echo::greyscale);
      case RunStage::Threshold: return debug(echo::threshold);
      case RunStage::Frame: return debug(echo::frame);
      case RunStage::FrameDetails: return debug(echo::frameDetails);
      case RunStage::Watermark: return debug(echo::watermark);
      case RunStage::TextWatermark: return debug(echo::textWatermark);
      case RunStage::ImageWatermark: return debug(echo::imageWatermark);
      case RunStage::Naming:
        debug(echo::filenameMask);
        debug(echo::fileTimestamp);
        if (as<FileTimestamp>(settings_.fileTimestamp) == FileTimestamp::Custom) debug(echo::customTimestamp);
        debug(echo::keepSubfolders);
        return;
    }
  }

  // The number of files admitted.
  int importInputs() {
    if (!plan_.fileInput) return runImport(startFolderScan);
    std::string name = asciiLower(platform::fileNamePart(run_.inputFile));
    if (name.ends_with(".txt") || name.ends_with(".lst")) return runImport(startListImport);
    const Admission admission = workspace_.inputs.admit(run_.inputFile, run_.inputRoot, run_.readableExtensions);
    if (std::string reason = refusalReason(admission, run_.readableExtensions); !reason.empty())
      notAdded({run_.inputFile, reason});
    return admission == Admission::Added ? 1 : 0;
  }

  template <typename Start>
  int runImport(Start start) {
    Progress progress;
    progress.reset();
    std::optional<LiveProgress> live;
    if (live_)
      live.emplace(console_, [&progress](int columns) {
        const std::string line = "Importing: " + std::to_string(progress.snapshot().index) + " files looked at";
        return line.substr(0, static_cast<std::size_t>(std::max(columns - 1, 0)));
      });
    start(workspace_.inputs, run_, progress).join();
    for (const ImportRefusal& refusal : progress.takeRefusals()) notAdded(refusal);
    return progress.savedCount();
  }

  // Quiet or not: a file the user named and does not get is worth a line.
  void notAdded(const ImportRefusal& refusal) {
    console_.writeErrorLine("Not added: " + escapeControlCharacters(refusal.path) + ": " + refusal.reason);
  }

  int convert() {
    Progress progress;
    progress.reset();
    const auto started = std::chrono::steady_clock::now();
    const int total = static_cast<int>(workspace_.inputs.entryCount());
    std::optional<LiveProgress> live;
    if (live_)
      live.emplace(console_, [this, &progress, started, total](int columns) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
        return progressLineText(done_, total, elapsed, progress.snapshot().currentPath, columns);
      });
    WorkerContext context{settings_, run_, workspace_.inputs, progress, plan_.format,
                          // The worker's lines name the files.
                          [this](std::string_view line) { console_.writeLine(escapeControlCharacters(line)); },
                          [this, &live](const InputEntry& entry, const JobResult& result) {
                            reported_.insert(entry.path);
                            ++done_;
                            if (live) live->redraw();
                            // Every file not converted is named with its
                            // reason, quiet or not.
                            if (!result.written)
                              notConverted(entry.path, result.failure.empty() ? "not converted" : result.failure);
                          },
                          WorkerLimits{}};
    context.limits.jobs = run_.jobs;
    context.limits.promptStop = true;
    context.limits.spare = std::move(spare_);
    {
      std::lock_guard guard(conversionLock_);
      if (stopped_) progress.requestStop();
      conversion_ = &progress;
    }
    startConversionWorker(std::move(context)).join();
    std::lock_guard guard(conversionLock_);
    conversion_ = nullptr;
    return progress.savedCount();
  }

  // On the signal watcher's thread. A second Ctrl-C does not wait even
  // for the stop.
  void stopSignal(int signal) {
    if (signal == SIGINT && stopped_) platform::endBySignal(SIGINT);
    stopped_ = true;
    std::lock_guard guard(conversionLock_);
    if (conversion_) conversion_->requestStop();
  }

  const Workspace& workspace_;
  const Settings& settings_;
  RunState& run_;
  const bool quiet_;
  const bool debug_;
  platform::Console& console_;
  RunPlan plan_;
  std::shared_ptr<SpareWorker> spare_;
  // A progress line on a terminal; scripts and files never see it.
  const bool live_;
  std::atomic<bool> stopped_ = false;
  std::atomic<int> done_ = 0;  // files the conversion has reported
  std::mutex conversionLock_;
  Progress* conversion_ = nullptr;  // while a conversion runs
  // The files the conversion wrote or named as failed (its thread only,
  // until it has ended).
  std::unordered_set<std::string> reported_;
};

}  // namespace

int runCommandLine(const Workspace& workspace, bool quiet, platform::Console& console) {
  return CommandLineRun(workspace, quiet, console).run();
}

}  // namespace qm
