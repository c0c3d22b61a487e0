// The open temporary file of a writer. Closing it is part of the write:
// a file is complete only when every byte went out and the close (which
// flushes the last buffer) succeeded, so a full disk never passes for a
// finished output.
#pragma once

#include <cstdio>
#include <memory>
#include "platform/handle.h"

namespace qm {

inline void closeFile(std::FILE* file) { std::fclose(file); }
using OutputFile = Handle<std::FILE, closeFile>;

// Opened for reading as well: some library writers read back what they
// wrote.
inline OutputFile openOutputFile(const char* path) { return OutputFile(std::fopen(path, "w+b")); }

// Closes the file; true when no write failed and the close succeeded.
inline bool closeOutputFile(OutputFile file) {
  if (!file) return false;
  bool clean = std::ferror(file.get()) == 0;
  return std::fclose(file.release()) == 0 && clean;
}

}  // namespace qm
