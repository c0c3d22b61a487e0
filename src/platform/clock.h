// Time: file modification times and the program's "date", which counts
// seconds since 1970-01-01 00:00:00 in local time (the UTC epoch plus the
// local offset at that moment).
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace qm::platform {

// The current local date-time as a date.
std::int64_t nowLocalDate();
// A UTC epoch time as a date, and back through the local time zone.
std::int64_t utcToLocalDate(std::time_t utc);
std::time_t localDateToUtc(std::int64_t localDate);

// The current local broken-down time.
std::tm localTimeNow();

// Last modification time (UTC epoch seconds) of a file.
std::optional<std::time_t> modificationTime(const std::string& path);
// Sets only the modification time; the access time is left alone.
bool setModificationTime(const std::string& path, std::time_t utc);

}  // namespace qm::platform
