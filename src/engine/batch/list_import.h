// Filling the Input list from a list file: one path per line, UTF-8 or
// UTF-16 (either byte order, with or without a byte-order mark), lines
// ended by CR LF, LF or CR. Blanks around a path are dropped; empty lines
// and lines that cannot be a path (a NUL in them, longer than a path may
// be) are skipped; a folder line admits every readable file below that
// folder. A line naming a missing file, a relative path or a file that
// cannot be admitted is noted as a refusal with its reason, and so is a
// list file that cannot be read, is too large or is not text at all.
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

inline constexpr std::size_t kLargestListFile = std::size_t{256} << 20;

// A list file's text as UTF-8: UTF-8 bytes as they are (without a
// byte-order mark), UTF-16 transcoded. UTF-16 without a mark is told by
// the zero bytes its ASCII characters have at every other position.
std::string listFileText(std::string_view bytes);

// The non-empty, blank-trimmed lines of a list file's bytes.
std::vector<std::string> listFileLines(std::string_view bytes);

// A line that can name a file: no NUL (the system would read a shorter
// path than the line), no longer than the longest path.
bool canNameAPath(std::string_view line);

// Most lines hold control characters: random or binary bytes, not a list
// someone wrote. A few odd lines in a real list do not make it so.
bool looksBinary(const std::vector<std::string>& lines);

struct ListFile {
  std::vector<std::string> lines;
  std::string problem;  // why the list cannot be read; empty when it can
};
ListFile readListFile(const std::string& path);

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
