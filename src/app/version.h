// The program's version number, its version text and the title line.
#pragma once

#include <string>

namespace qm {

inline constexpr int kVersionNumber = 250;
inline constexpr const char* kProductName = "Quillmark";
inline constexpr const char* kWebSite = "www.ferroval.example";
inline constexpr const char* kLegalNotice = "Copyright (c) 2009-2026 Ferroval. All rights reserved.";

// 250 gives "2.5", 251 gives "2.5.1".
std::string versionText(int versionNumber = kVersionNumber);
// "Quillmark 2.5"
std::string titleLine();

}  // namespace qm
