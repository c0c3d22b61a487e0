// Filling the Input list from a list file: one path per line, UTF-8, an
// optional byte-order mark, lines ended by CR LF, LF or CR. Blanks around
// a path are dropped; empty lines and paths that do not exist are
// skipped; a folder line admits every readable file below that folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/run_state.h"
#include "engine/batch/input_list.h"
#include "engine/batch/progress.h"

namespace qm {

// The non-empty, blank-trimmed lines of a list file's bytes.
std::vector<std::string> listFileLines(std::string_view bytes);

// The number of line feeds (bytes 0x0A) in a file, read in blocks of
// 64 KB; 0 when it cannot be read.
std::int64_t countLineFeeds(const std::string& path);

// The list-import thread's procedure for the list file named by the Run
// state's input file: index = accepted lines so far, saved count += files
// admitted. A file that cannot be read adds 0.
void listImportProcedure(InputList& inputs, const RunState& run, Progress& progress);

// Starts the procedure on a thread of its own (see startWorkerThread).
std::jthread startListImport(InputList& inputs, const RunState& run, Progress& progress);

}  // namespace qm
