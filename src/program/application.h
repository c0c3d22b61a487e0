// The application object: the one owner of the Settings record, the Run
// state, the Input list and the core module. Everything else gets them by
// reference.
#pragma once

#include <string>
#include <vector>

#include "app/run_state.h"
#include "engine/batch/input_list.h"
#include "engine/batch/run_start.h"
#include "program/core_module.h"
#include "settings/settings.h"

namespace qm {

struct Application {
  Settings settings;
  RunState run;
  InputList inputs;
  CoreModule core;

  Workspace workspace() { return {settings, run, inputs}; }
};

// The whole start-up sequence; returns the process exit code.
int runProgram(const std::vector<std::string>& parameters);

}  // namespace qm
