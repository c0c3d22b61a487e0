// The batch supervisor: renders the documents of a run in worker processes
// (copies of the program, see conversion_process.h), several at once, and
// commits their results strictly in the Input list's bucket order, so that
// names, %n% and %rnd%, time stamps and debug lines are those of one
// sequential run. The supervisor never loads a document itself: a document
// that crashes a worker, hangs it or makes it grow past the memory ceiling
// fails alone, the worker is replaced and the batch goes on.
//
// A stop request (or a break) stops dispatching; the file at the head of
// the order is finished and committed, the renders after it are discarded
// with their temporary files. With `promptStop` the head's render is
// killed too unless its result is already in, so a stop takes effect at
// once. Sub-folders the run made and a stop left empty are removed. While
// the progress record is held, the supervisor rests at the top of its
// loop and commits nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_descriptor.h"
#include "platform/process.h"

namespace qm {

struct WorkerContext;

// A worker process started before its run is known, so that its start-up
// overlaps what comes before the conversion (the command line's import).
// It waits for the run message; the supervisor takes it as its first
// worker. One never taken ends with its last owner.
struct SpareWorker {
  platform::ChildProcess process;
  platform::FileDescriptor socket;
};

// Empty when the process cannot start; the supervisor then starts its
// workers itself and reports why they fail.
std::shared_ptr<SpareWorker> startSpareWorker(const std::string& executable);

struct WorkerLimits {
  // The executable started as a worker: the program itself by default.
  std::string executable = "/proc/self/exe";
  // Workers at once; 0 = the cores the process may use.
  int jobs = 0;
  // A render may take this long plus a share for each megabyte of its
  // estimated decoded size before its worker is stopped.
  std::chrono::milliseconds baseTimeLimit{120'000};
  std::chrono::milliseconds timePerMegabyte{250};
  // A worker whose resident size passes this is stopped, and a document
  // that would need more is refused by its worker; 0 = the budget divided
  // among the workers (or a document's estimate, when that is more).
  std::uint64_t memoryCeiling = 0;
  // The budget the ceilings of the renders in flight must stay within;
  // 0 = the memory available when the run starts.
  std::uint64_t memoryBudget = 0;
  // A stop kills every render in flight, the head file's included, rather
  // than waiting for the head file (the command line: a signal must end a
  // batch of large documents within a second).
  bool promptStop = false;
  // Taken for the first worker when set and still alive.
  std::shared_ptr<SpareWorker> spare;
};

// A generous guess at the memory a render of the file needs, from its
// header (width, height, channels and depth of a Photoshop document; the
// file size for anything else).
std::uint64_t estimateRenderMemory(const std::string& path);

// Runs the whole batch of `context`; at its end the progress record's
// saved count holds the number of files written.
void superviseConversion(const WorkerContext& context);

}  // namespace qm
