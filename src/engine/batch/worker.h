// The conversion worker: runs the conversion job over every entry of the
// Input list, in the list's bucket order, on a thread of its own. Both
// faces start it the same way and wait for it (the command line) or poll
// its progress record (the window).
//
// The thread supervises worker processes that render the files, several
// at once (see supervisor.h), and commits each result in list order. It
// waits while its starter holds it and stops dispatching when running has
// been cleared; the file at the head is always finished. After each
// written file it advances %rnd% and %n%. In the command line's debug mode
// it reports each file through the starter's line sink.
#pragma once

#include <functional>
#include <string_view>
#include <thread>

#include "app/run_state.h"
#include "engine/batch/input_list.h"
#include "engine/batch/progress.h"
#include "engine/batch/supervisor.h"
#include "engine/job.h"
#include "settings/settings.h"

namespace qm {

using LineSink = std::function<void(std::string_view line)>;
// Called after each file with its entry and its result, on the worker's
// thread (a window keeps the failures to mark their rows afterwards).
using ResultSink = std::function<void(const InputEntry& entry, const JobResult& result)>;

// What a run of the worker reads and writes. The starter fixes the format
// values and the output folder and resets the progress record; nothing
// else touches these while the worker runs. The worker writes only the
// Run state's %n% and %rnd% and the progress record. (The worker
// processes make their own watermark font; the starter's only proves the
// face exists.)
struct WorkerContext {
  const Settings& settings;
  RunState& run;
  const InputList& inputs;
  Progress& progress;
  RunFormat format;
  LineSink lines;      // may be empty
  ResultSink results;  // may be empty
  WorkerLimits limits;
};

// The worker's procedure; at its end the progress record's saved count
// holds the number of files written.
void conversionWorkerProcedure(const WorkerContext& context);

// Starts the procedure on a thread of its own (see startWorkerThread). The
// context's references must outlive the thread.
std::jthread startConversionWorker(WorkerContext context);

}  // namespace qm
