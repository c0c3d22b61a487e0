#include "engine/worker.h"

#include <string>
#include <utility>

#include "engine/job.h"
#include "engine/naming.h"

namespace qm {

namespace {

// The format values stay those the starter fixed, even after the job has
// written back the automatic depth of a file.
RunFormat runFormat(const RunState& run) {
  RunFormat format;
  format.extension = run.outputExtension;
  format.writerId = run.writerId;
  format.bitDepthSetting = run.automaticBitDepth ? 0 : run.targetBitDepth;
  format.saveFlags = run.saveFlags;
  return format;
}

void keepResult(RunState& run, const JobResult& result) {
  run.outputPath = result.outputPath;
  run.temporaryOutputPath = result.temporaryOutputPath;
  run.sourceBitDepth = result.sourceBitDepth;
  run.outputWidth = result.width;
  run.outputHeight = result.height;
  if (run.automaticBitDepth) run.targetBitDepth = result.bitDepth;
}

}  // namespace

void conversionWorkerProcedure(const WorkerContext& context) {
  const Settings& settings = context.settings;
  RunState& run = context.run;
  Progress& progress = context.progress;
  const bool debug = run.commandLine && run.runModeMarker == "DEBUG" && context.lines;
  auto print = [&](std::string_view line) {
    if (debug) context.lines(line);
  };

  const RunFormat format = runFormat(run);
  std::int32_t count = 0;
  std::int32_t saved = 0;
  for (const InputEntry& entry : context.inputs.entriesInBucketOrder()) {
    progress.waitWhileHeld();
    if (!progress.running()) break;
    ++count;
    run.inputPath = entry.path;
    run.relativeSubFolder = entry.subFolder;
    progress.setCurrent(count, run.inputPath);
    if (settings.keepSubfolders) createSubFolders(run.outputFolder, run.relativeSubFolder);
    print("Processing: " + run.inputPath);

    JobInput input;
    input.inputPath = run.inputPath;
    input.relativeSubFolder = run.relativeSubFolder;
    input.outputFolder = run.outputFolder;
    input.sequenceNumber = run.sequenceNumber;
    input.randomNumber = run.randomNumber;
    JobResult result = convertFile(settings, format, input, context.font);
    keepResult(run, result);

    print("Saving As: " + run.outputPath);
    print(result.written ? "OK" : "Not OK");
    if (result.written) {
      ++saved;
      run.randomNumber = run.drawRandomNumber();
      ++run.sequenceNumber;
      applyFileTimestamp(settings, run.inputPath, run.outputPath);
    }
  }
  progress.setSavedCount(saved);
}

std::jthread startConversionWorker(WorkerContext context) {
  return std::jthread([context = std::move(context)] { conversionWorkerProcedure(context); });
}

}  // namespace qm
