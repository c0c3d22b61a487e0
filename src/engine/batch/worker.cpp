#include "engine/batch/worker.h"

#include <utility>

#include "engine/batch/worker_thread.h"

namespace qm {

void conversionWorkerProcedure(const WorkerContext& context) { superviseConversion(context); }

std::jthread startConversionWorker(WorkerContext context) {
  Progress& progress = context.progress;
  return startWorkerThread(progress, [context = std::move(context)] { conversionWorkerProcedure(context); });
}

}  // namespace qm
