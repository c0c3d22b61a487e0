// The conversion worker: runs the conversion job over every entry of the
// Input list, in the list's bucket order, on a thread of its own. Both
// faces start it the same way and wait for it (the command line) or poll
// its progress record (the window).
//
// Before each file the worker waits while its starter holds it and ends
// when running has been cleared; the file in progress is always finished.
// After each written file it advances %rnd% and %n% and stamps the file's
// time. In the command line's debug mode it reports each file through the
// starter's line sink.
#pragma once

#include <functional>
#include <string_view>
#include <thread>

#include "app/run_state.h"
#include "engine/input_list.h"
#include "engine/progress.h"
#include "settings/settings.h"

namespace qm {

class WatermarkFont;

using LineSink = std::function<void(std::string_view line)>;

// What a run of the worker reads and writes. The starter fills the Run
// state's output folder, extension and format values, creates the
// watermark font when the text watermark is on, and resets the progress
// record; nothing else touches these while the worker runs.
struct WorkerContext {
  const Settings& settings;
  RunState& run;
  const InputList& inputs;
  Progress& progress;
  const WatermarkFont* font = nullptr;
  LineSink lines;  // may be empty
};

// The worker's procedure; at its end the progress record's saved count
// holds the number of files written.
void conversionWorkerProcedure(const WorkerContext& context);

// Starts the procedure on a thread of its own; the returned owner joins
// it. The context's references must outlive the thread.
std::jthread startConversionWorker(WorkerContext context);

}  // namespace qm
