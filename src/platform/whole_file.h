// Whole-file reads and replacing writes for the files the program reads
// in one piece (settings, profiles, list files, pictures). Failures come
// back as values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_descriptor.h"

namespace qm {

struct RegularFile {
  platform::FileDescriptor file;
  std::uint64_t size = 0;
};

// Opens a regular file for reading. Non-blocking, so that a FIFO at the
// path cannot hang the caller; it is refused like any other file that is
// not regular. On nullopt `openError` (when given) holds the system's
// reason the open failed, or 0 when the path opened but is not a regular
// file.
std::optional<RegularFile> openRegularFile(const std::string& path, int* openError = nullptr);

inline constexpr std::size_t kLargestWholeFile = std::size_t{256} << 20;

// The bytes of a regular file; nullopt when it is missing, not a regular
// file (a FIFO never blocks the caller), unreadable or larger than
// `maxBytes`.
std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes = kLargestWholeFile);

// Writes the bytes to a new file beside `path` and renames it over `path`,
// so a reader never sees a half-written file. On failure the temporary file
// is removed, the previous file stays as it was and false comes back.
bool replaceWholeFile(const std::string& path, std::string_view bytes);

}  // namespace qm
