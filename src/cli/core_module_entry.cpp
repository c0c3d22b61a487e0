#include "cli/core_module_entry.h"

#include "cli/command_line_run.h"
#include "engine/batch/conversion_process.h"

namespace {

int runConversionWorker(const std::vector<std::string>& parameters) {
  return qm::runConversionWorkerProcess(parameters);
}

}  // namespace

extern "C" const qm::CoreModuleEntries quillmark_core_entries = {qm::runCommandLine, runConversionWorker};
