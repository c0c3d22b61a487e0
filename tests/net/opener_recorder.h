// Test stand-ins for the desktop: an `xdg-open` placed first on PATH that
// writes down every argument vector it is started with, and scoped changes
// of environment variables and the working folder.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace qm::test {

class ScopedEnvironment {
 public:
  // An empty optional unsets the variable for the scope.
  ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = getenv(name_.c_str())) old_ = old;
    if (value)
      setenv(name_.c_str(), value->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    if (old_)
      setenv(name_.c_str(), old_->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

class ScopedWorkingFolder {
 public:
  explicit ScopedWorkingFolder(const std::filesystem::path& folder) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
  ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;
  ~ScopedWorkingFolder() {
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
  }

 private:
  std::filesystem::path old_;
};

class OpenerRecorder {
 public:
  OpenerRecorder()
      : script_(
            folder_.write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\0' \"$#\" \"$@\" >> '" + folder_ / "calls" + "'\n")),
        path_("PATH", folder_.str() + "bin:" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin")) {
    std::filesystem::permissions(script_, std::filesystem::perms::owner_all);
  }

  // One argument vector (without the program name) per start, in order.
  std::vector<std::vector<std::string>> calls() const {
    const std::string bytes = readFileBytes(folder_ / "calls");
    std::vector<std::string> fields;
    for (std::size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
      fields.push_back(bytes.substr(start, end - start));
    std::vector<std::vector<std::string>> calls;
    for (std::size_t i = 0; i < fields.size();) {
      const std::size_t count = std::stoul(fields[i++]);
      calls.emplace_back(fields.begin() + static_cast<std::ptrdiff_t>(i),
                         fields.begin() + static_cast<std::ptrdiff_t>(std::min(i + count, fields.size())));
      i += count;
    }
    return calls;
  }

  // A fresh folder for files that a wrongly started shell would create.
  const TempFolder& scratch() const { return scratch_; }

 private:
  TempFolder folder_;
  TempFolder scratch_;
  std::string script_;
  ScopedEnvironment path_;
};

}  // namespace qm::test
