// Whole-file reads and replacing writes for the small text files the
// program keeps (settings, profiles). Failures come back as values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// The bytes of a regular file; nullopt when it is missing, not a regular
// file, unreadable or implausibly large for a settings text (over 256 MiB).
std::optional<std::string> readWholeFile(const std::string& path);

// Writes the bytes to a new file beside `path` and renames it over `path`,
// so a reader never sees a half-written file. On failure the temporary file
// is removed, the previous file stays as it was and false comes back.
bool replaceWholeFile(const std::string& path, std::string_view bytes);

}  // namespace qm
