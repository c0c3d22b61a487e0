#include <string>
#include <vector>

#include "engine/batch/conversion_process.h"
#include "program/application.h"
#include "program/core_module.h"

#include "program/sanitizer_suppressions.h"

int main(int argc, char** argv) {
  std::vector<std::string> parameters(argv + 1, argv + argc);
  // A worker of a batch: no lock, no settings, no face.
  if (qm::isWorkerModeRequest(parameters)) return qm::runConversionWorkerFromCore(parameters);
  return qm::runProgram(parameters);
}
