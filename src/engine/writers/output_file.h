// The open temporary file of a writer. Closing it is part of the write:
// a file is complete only when every byte went out and the close (which
// flushes the last buffer) succeeded, so a full disk never passes for a
// finished output.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/handle.h"

namespace qm {

inline void closeFile(std::FILE* file) { std::fclose(file); }
using OutputFile = Handle<std::FILE, closeFile>;

// "cannot write: " and the system's words for an error number.
inline std::string cannotWrite(int error) { return "cannot write: " + std::string(std::strerror(error)); }

// Opened for reading as well: some library writers read back what they
// wrote. On failure `failure` says why.
inline OutputFile openOutputFile(const char* path, std::string& failure) {
  OutputFile file(std::fopen(path, "w+b"));
  if (!file) failure = cannotWrite(errno);
  return file;
}

// Closes the file; true when no write failed and the close succeeded.
// Otherwise `failure` holds the system's reason (a full disk, a lost
// device), unless an earlier step already gave one.
inline bool closeOutputFile(OutputFile file, std::string& failure) {
  if (!file) return false;
  errno = 0;
  const bool clean = std::ferror(file.get()) == 0;
  const int writeError = errno;
  const bool closed = std::fclose(file.release()) == 0;
  if ((!clean || !closed) && failure.empty()) failure = cannotWrite(!closed ? errno : writeError ? writeError : EIO);
  return closed && clean;
}

}  // namespace qm
