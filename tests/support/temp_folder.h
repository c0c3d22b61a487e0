// A temporary folder for one test, removed with everything in it when the
// test ends.
#pragma once

#include <filesystem>
#include <string>

namespace qm::test {

class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  const std::filesystem::path& path() const { return path_; }
  // The folder as text with a trailing "/".
  std::string str() const { return path_.string() + "/"; }
  // Path of an entry inside the folder.
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  // Writes a file (creating parent folders) and returns its path.
  std::string write(const std::string& name, const std::string& bytes) const;
  // Creates a sub-folder and returns its path with a trailing "/".
  std::string makeFolder(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

std::string readFileBytes(const std::string& path);

}  // namespace qm::test
