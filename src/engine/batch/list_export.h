// Writing the Input list to a list file: the export thread behind the
// window's Export Files command. The file is UTF-8 with a byte-order mark,
// one path per line, every line ended by CR LF, in the order the window
// shows the rows.
//
// The lines go to a temporary file beside the list file, which is renamed
// over it once it is closed, so an export that dies half way never leaves
// a truncated list where a good one was. A break still keeps the lines
// written so far: the shorter list replaces the old one.
#pragma once

#include <string>
#include <thread>
#include <vector>

#include "engine/batch/progress.h"

namespace qm {

// The export thread's procedure: index = rows written so far; at the end
// the saved count grows by the rows written (0 when the file cannot be
// made).
void listExportProcedure(const std::vector<std::string>& rows, const std::string& listFile, Progress& progress);

// Starts the procedure on a thread of its own (see startWorkerThread). The
// rows and the path are the thread's own copies.
std::jthread startListExport(std::vector<std::string> rows, std::string listFile, Progress& progress);

}  // namespace qm
