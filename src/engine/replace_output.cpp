// The last step of every writer: the finished temporary file takes the
// output's place in one rename, so an existing output is either replaced
// by a complete file or not touched at all.
#include "engine/writers.h"

#include <cstdio>

namespace qm {

bool replaceOutput(bool written, const std::string& temporaryPath, const std::string& outputPath) {
  if (written && std::rename(temporaryPath.c_str(), outputPath.c_str()) == 0) return true;
  std::remove(temporaryPath.c_str());
  return false;
}

}  // namespace qm
