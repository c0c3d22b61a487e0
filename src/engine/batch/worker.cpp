#include "engine/batch/worker.h"

#include <string>
#include <utility>

#include "engine/batch/worker_thread.h"
#include "engine/naming.h"

namespace qm {

void conversionWorkerProcedure(const WorkerContext& context) {
  const Settings& settings = context.settings;
  RunState& run = context.run;
  Progress& progress = context.progress;
  const bool debug = run.commandLine && run.runModeMarker == "DEBUG" && context.lines;
  auto print = [&](std::string_view line) {
    if (debug) context.lines(line);
  };

  std::int32_t count = 0;
  std::int32_t saved = 0;
  for (const InputEntry& entry : context.inputs.entriesInBucketOrder()) {
    progress.waitWhileHeld();
    if (!progress.running()) break;
    ++count;
    progress.setCurrent(count, entry.path);
    if (settings.keepSubfolders) createSubFolders(run.outputFolder, entry.subFolder);
    print("Processing: " + entry.path);

    JobInput input;
    input.inputPath = entry.path;
    input.relativeSubFolder = entry.subFolder;
    input.outputFolder = run.outputFolder;
    input.sequenceNumber = run.sequenceNumber;
    input.randomNumber = run.randomNumber;
    const RenderResult rendered = renderDocument(settings, context.format, input, context.font);
    const JobResult result = commitOutput(settings, context.format, input, rendered);

    print("Saving As: " + result.outputPath);
    print(result.written ? "OK" : "Not OK");
    if (result.written) {
      ++saved;
      run.randomNumber = run.drawRandomNumber();
      ++run.sequenceNumber;
    }
    if (context.results) context.results(entry, result);
  }
  progress.setSavedCount(saved);
}

std::jthread startConversionWorker(WorkerContext context) {
  Progress& progress = context.progress;
  return startWorkerThread(progress, [context = std::move(context)] { conversionWorkerProcedure(context); });
}

}  // namespace qm
