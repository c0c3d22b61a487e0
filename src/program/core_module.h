// The core module (see cli/core_module_entry.h), opened at the first
// conversion or worker and kept for the rest of the process.
#pragma once

#include <string>
#include <vector>

#include "cli/core_module_entry.h"
#include "program/program_module.h"

namespace qm {

class CoreModule {
 public:
  // The entry table, the module opened at the first call. Null when it
  // cannot be loaded, after one line on stderr (at the first call) that
  // says why.
  const CoreModuleEntries* entries();

 private:
  OpenedModule module_;
  const CoreModuleEntries* entries_ = nullptr;
  bool tried_ = false;
};

// A worker process: the whole of its life runs in the core; 1 when the
// core cannot be loaded.
int runConversionWorkerFromCore(const std::vector<std::string>& parameters);

}  // namespace qm
