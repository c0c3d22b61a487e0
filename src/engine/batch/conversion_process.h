// The worker process: a copy of the program started by the batch
// supervisor to render documents, so that a document which crashes the
// image libraries or runs away with memory takes only its worker along.
// It reads one run message and then renders one task after another until
// the supervisor closes the socket. It prints nothing; everything the user
// sees comes from the supervisor. Before it reads its first document it
// enters the sandbox (platform/sandbox.h), which lets it write in the
// output folder of its tasks only.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/job.h"
#include "settings/settings.h"

namespace qm {

struct WatermarkAssets;

// The first argument that makes the executable a worker; the second is
// the supervisor's process id.
inline constexpr std::string_view kWorkerModeArgument = "--conversion-worker";

using TaskRenderer = std::function<RenderResult(const Settings& settings, const RunFormat& format,
                                                const JobInput& input, const WatermarkAssets* watermark)>;

// Serves tasks on `socket` until the supervisor closes it; returns the
// process exit code (0 at a clean end, 2 on a damaged message).
int serveConversionTasks(int socket, const TaskRenderer& render = renderDocument);

// True when the parameters ask for worker mode. Inline, as start-up asks
// before it loads the engine's code.
inline bool isWorkerModeRequest(const std::vector<std::string>& parameters) {
  return !parameters.empty() && parameters[0] == kWorkerModeArgument;
}

// The whole life of a worker process started with the mode argument.
int runConversionWorkerProcess(const std::vector<std::string>& parameters, const TaskRenderer& render = renderDocument);

}  // namespace qm
