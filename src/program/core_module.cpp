#include "program/core_module.h"

#include <cstdio>

namespace qm {

const CoreModuleEntries* CoreModule::entries() {
  if (tried_) return entries_;
  tried_ = true;
  module_ = openProgramModule(kCoreModuleName);
  std::string problem;
  entries_ = static_cast<const CoreModuleEntries*>(moduleSymbol(module_, kCoreModuleEntries, problem));
  if (!entries_) std::fprintf(stderr, "Error: the conversion core cannot be loaded: %s\n", problem.c_str());
  return entries_;
}

int runConversionWorkerFromCore(const std::vector<std::string>& parameters) {
  CoreModule core;
  const CoreModuleEntries* entries = core.entries();
  return entries ? entries->runConversionWorker(parameters) : 1;
}

}  // namespace qm
