// The conversion worker: runs the conversion job over every entry of the
// Input list, in the list's bucket order, on a thread of its own. Both
// faces start it the same way and wait for it (the command line) or poll
// its progress record (the window).
//
// Before each file the worker waits while its starter holds it and ends
// when running has been cleared; the file in progress is always finished.
// Each file is rendered and then committed; after each written file the
// worker advances %rnd% and %n%. In the command line's debug mode it
// reports each file through the starter's line sink.
#pragma once

#include <functional>
#include <string_view>
#include <thread>

#include "app/run_state.h"
#include "engine/batch/input_list.h"
#include "engine/batch/progress.h"
#include "engine/job.h"
#include "settings/settings.h"

namespace qm {

class Font;

using LineSink = std::function<void(std::string_view line)>;
// Called after each file with its entry and its result, on the worker's
// thread (a window keeps the failures to mark their rows afterwards).
using ResultSink = std::function<void(const InputEntry& entry, const JobResult& result)>;

// What a run of the worker reads and writes. The starter fixes the format
// values and the output folder, creates the watermark font when the text
// watermark is on, and resets the progress record; nothing else touches
// these while the worker runs. The worker writes only the Run state's
// %n% and %rnd% and the progress record.
struct WorkerContext {
  const Settings& settings;
  RunState& run;
  const InputList& inputs;
  Progress& progress;
  RunFormat format;
  const Font* font = nullptr;
  LineSink lines;      // may be empty
  ResultSink results;  // may be empty
};

// The worker's procedure; at its end the progress record's saved count
// holds the number of files written.
void conversionWorkerProcedure(const WorkerContext& context);

// Starts the procedure on a thread of its own (see startWorkerThread). The
// context's references must outlive the thread.
std::jthread startConversionWorker(WorkerContext context);

}  // namespace qm
