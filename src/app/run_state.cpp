#include "app/run_state.h"

#include <utility>

#include "formats/input_formats.h"
#include "platform/paths.h"

namespace qm {

std::int32_t RunState::drawRandomNumber() { return std::uniform_int_distribution<std::int32_t>(1, 99999)(random); }

void resetRunState(RunState& run) {
  std::string marker = std::move(run.runModeMarker);
  const std::mt19937 random = run.random;
  run = RunState{};
  run.random = random;
  run.runModeMarker = std::move(marker);
  run.programFolder = platform::programFolder();
  run.commandLine = false;
  run.randomNumber = run.drawRandomNumber();
  run.sequenceNumber = 1;
  run.readableExtensions = deriveReadableExtensions(inputTypeList());
}

}  // namespace qm
