// The last step of every writer: the finished temporary file takes the
// output's place in one rename, so an existing output is either replaced
// by a complete file or not touched at all.
#include "engine/writers/writers.h"

#include <cstdio>

namespace qm {

bool replaceOutput(bool written, const std::string& temporaryPath, const std::string& outputPath) {
  if (written && std::rename(temporaryPath.c_str(), outputPath.c_str()) == 0) return true;
  std::remove(temporaryPath.c_str());
  return false;
}

bool finishTemporary(bool complete, const std::string& temporaryPath) {
  if (!complete) std::remove(temporaryPath.c_str());
  return complete;
}

}  // namespace qm
