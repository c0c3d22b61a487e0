// Filling the Input list from a folder tree: Scan folder, and the
// folder-scan thread that scans the Run state's input root while its
// starter waits or polls the progress record.
//
// Entries are taken in the order the file system lists them. Symbolic
// links to folders are not followed, a folder met twice in one scan (a
// bind mount of its own parent) is listed once, and the scan goes no
// deeper than kMaxFolderDepth, so no tree can make it endless; a link to
// a file is offered like the file itself.
#pragma once

#include <string>
#include <thread>

#include "app/run_state.h"
#include "engine/batch/input_list.h"
#include "engine/batch/progress.h"

namespace qm {

inline constexpr int kMaxFolderDepth = 256;

// Admits every readable file below `folder` (which ends with "/"), at
// every depth, with its sub-folder relative to the Run state's input root.
// Returns the number admitted. A folder that cannot be listed adds 0.
// Empty documents it meets are noted in `refusals` when one is given.
int scanFolder(const std::string& folder, InputList& inputs, const RunState& run, Progress* refusals = nullptr);

// The folder-scan thread's procedure: the top-level entries of the input
// root, one at a time while running; index = top-level entries handled,
// saved count += files admitted.
void folderScanProcedure(InputList& inputs, const RunState& run, Progress& progress);

// Starts the procedure on a thread of its own (see startWorkerThread).
std::jthread startFolderScan(InputList& inputs, const RunState& run, Progress& progress);

}  // namespace qm
