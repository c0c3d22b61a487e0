// File-system services: the program's own folder, the per-user
// configuration folder, and the small questions the converter asks about
// paths (does it exist, is it a folder, how big is it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qm::platform {

// Folder of the running executable (resolved /proc/self/exe), with a
// trailing "/".
std::string programFolder();

// File name of the running executable without its folder and extension.
std::string programName();

// $XDG_CONFIG_HOME, else $HOME/.config, else the passwd home + "/.config";
// empty when none is known. No trailing "/".
std::string userConfigFolder();

bool pathExists(const std::string& path);
bool isFolder(const std::string& path);
bool isRegularFile(const std::string& path);
// Size in bytes of a regular file; nullopt when the path is missing.
std::optional<std::uint64_t> fileSize(const std::string& path);
// True when both paths exist and name one file (the same device and inode,
// whatever links or letter case led there).
bool sameFile(const std::string& a, const std::string& b);
bool createFolder(const std::string& path);

// Ensures a trailing "/".
std::string withTrailingSlash(std::string path);

// Folder part of a path, up to and including its last "/" (empty when it
// has none).
std::string folderPart(const std::string& path);
// Last component of a path (everything after the last "/").
std::string fileNamePart(const std::string& path);

// The current working folder with a trailing "/".
std::string currentFolder();

}  // namespace qm::platform
