#include "platform/clock.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace qm::platform {

std::int64_t utcToLocalDate(std::time_t utc) {
  std::tm local{};
  localtime_r(&utc, &local);
  return static_cast<std::int64_t>(utc) + local.tm_gmtoff;
}

std::int64_t nowLocalDate() { return utcToLocalDate(std::time(nullptr)); }

std::time_t localDateToUtc(std::int64_t localDate) {
  // Break the local date down as if it were UTC, then let mktime apply the
  // local zone (and its daylight-saving rule for that moment).
  std::time_t asUtc = static_cast<std::time_t>(localDate);
  std::tm fields{};
  gmtime_r(&asUtc, &fields);
  fields.tm_isdst = -1;
  return mktime(&fields);
}

std::tm localTimeNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::optional<std::time_t> modificationTime(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return st.st_mtim.tv_sec;
}

bool setModificationTime(const std::string& path, std::time_t utc) {
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = utc;
  times[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

}  // namespace qm::platform
