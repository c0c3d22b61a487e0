// The conversion job: one input file through the fixed sequence of steps
// to one output file. It takes everything it reads as arguments and keeps
// no state between calls, so jobs can run anywhere (a worker thread, a
// separate process) without change.
//
// The job has two halves. Rendering loads the document, runs every step
// and writes a complete temporary file in the destination folder; it may
// run out of order and elsewhere. Committing makes the final name, renames
// the temporary file over the output and stamps its time; it runs in list
// order, because the name may use %n% and %rnd%, which advance only after
// a written file.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "settings/settings.h"

namespace qm {

struct WatermarkAssets;

// The format values of a run, fixed by the run starter.
struct RunFormat {
  std::string extension;
  std::int32_t writerId = 0;
  std::int32_t bitDepthSetting = 0;  // the format's BPP setting, 0 = Auto
  std::int32_t saveFlags = 0;
};

struct JobInput {
  std::string inputPath;
  std::string relativeSubFolder;
  std::string outputFolder;  // ends with "/"
  std::int32_t sequenceNumber = 1;
  std::int32_t randomNumber = 1;
  // Where rendering writes; empty lets it choose a fresh name. A caller
  // that may have to discard an unfinished render names it itself.
  std::string temporaryOutputPath;
  // The memory the render may take; a document that needs more is refused
  // before it is read. 0 = what the process may use.
  std::uint64_t memoryLimit = 0;
};

// What rendering leaves for the commit.
struct RenderResult {
  bool rendered = false;      // the temporary file is complete
  bool reachedWrite = false;  // the steps ran and the output would have a name
  std::string temporaryOutputPath;
  int sourceBitDepth = 0;
  int width = 0;  // output width and height (after resize and icon cap)
  int height = 0;
  int bitDepth = 0;     // the bit depth written
  std::string failure;  // why nothing was rendered; empty otherwise
  // Lines for the debug output about the document itself (what its
  // composite leaves out), each ending in a newline.
  std::string notes;
};

struct JobResult {
  bool written = false;
  std::string outputPath;  // empty when the file failed before naming
  std::string temporaryOutputPath;
  int sourceBitDepth = 0;
  int width = 0;
  int height = 0;
  int bitDepth = 0;
  std::string failure;  // why nothing was written; empty otherwise
};

// The run's format values for an output extension.
RunFormat makeRunFormat(const Settings& settings, const std::string& extension);

// True when the text watermark shows a value that only the commit knows:
// %n% and %rnd% (they advance after each written file) and the clock
// placeholders (%yyyy% %mm% %dd% %hh% %ii% %ss%, read when the stamp is
// drawn). A run whose watermark uses any of them renders in list order,
// one file at a time, so every stamp shows what a sequential run shows.
bool watermarkNeedsListOrder(const Settings& settings);

// `watermark` may be null: a text watermark then has no font, and the
// picture stamp is made for this document alone.
RenderResult renderDocument(const Settings& settings, const RunFormat& format, const JobInput& input,
                            const WatermarkAssets* watermark);

// Names the output with the input's numbers, renames the temporary file
// over it and stamps its time. A render that failed before the write still
// gets its name (the debug lines show it); nothing is renamed then.
// `writtenThisRun`, when given, holds the outputs the run has written so
// far: an output one of them already is fails (a later document never
// replaces an earlier one's output of the same run), and a written one is
// added.
JobResult commitOutput(const Settings& settings, const RunFormat& format, const JobInput& input,
                       const RenderResult& rendered, std::unordered_set<std::string>* writtenThisRun = nullptr);

// Both halves at once.
JobResult convertFile(const Settings& settings, const RunFormat& format, const JobInput& input,
                      const WatermarkAssets* watermark);

}  // namespace qm
