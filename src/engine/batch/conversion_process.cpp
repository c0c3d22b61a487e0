#include "engine/batch/conversion_process.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "engine/batch/task_messages.h"
#include "engine/watermark/watermark.h"
#include "engine/watermark/watermark_font.h"
#include "platform/process.h"
#include "platform/sandbox.h"

namespace qm {

int serveConversionTasks(int socket, const TaskRenderer& render) {
  std::optional<std::string> first = receiveMessage(socket);
  if (!first) return 0;  // the supervisor ended before it sent the run
  std::optional<RunMessage> run = decodeRunMessage(*first);
  if (!run) return 2;

  // The supervisor checked the face before it started any worker; a
  // worker that cannot load it fails each file in the job's own way. The
  // font is made before the sandbox: fontconfig may want to write its
  // cache, and the face is the user's choice, not a document's.
  WatermarkFontPtr font;
  if (as<WatermarkType>(run->settings.doWatermark) == WatermarkType::Text) font = createWatermarkFont(run->settings);
  WatermarkAssets watermark{font.get()};
  Bitmap imageStamp;
  bool sandboxed = false;

  while (std::optional<std::string> bytes = receiveMessage(socket)) {
    std::optional<TaskMessage> task = decodeTaskMessage(*bytes);
    if (!task) return 2;
    if (!sandboxed) {
      // Every task of a run carries the run's output folder, so the first
      // one names the folder for all.
      platform::enterSandbox(task->input.outputFolder);
      sandboxed = true;
    }
    AnswerMessage answer;
    answer.id = task->id;
    // Kept until the next file: should the supervisor die before it commits
    // this one, nothing unfinished stays behind either. Once committed, the
    // name is gone and the removal finds nothing.
    platform::removeIfParentDies(task->input.temporaryOutputPath);
    try {
      // Decoded inside the sandbox, as untrusted as any document, and once:
      // the stamp is the same for every document of the run.
      if (as<WatermarkType>(run->settings.doWatermark) == WatermarkType::Image && !watermark.imageStamp) {
        imageStamp = makeImageStamp(run->settings);
        watermark.imageStamp = &imageStamp;
      }
      answer.result = render(run->settings, run->format, task->input, &watermark);
    } catch (const std::bad_alloc&) {
      // The document fails with a reason and the worker lives on; the
      // memory went back when the render unwound.
      std::remove(task->input.temporaryOutputPath.c_str());
      answer.result.failure = "the conversion needed more memory than it could get";
    }
    if (!sendMessage(socket, encodeAnswerMessage(answer))) return 0;
  }
  return 0;
}

int runConversionWorkerProcess(const std::vector<std::string>& parameters, const TaskRenderer& render) {
  if (parameters.size() < 2) return 2;
  char* end = nullptr;
  long parent = std::strtol(parameters[1].c_str(), &end, 10);
  if (end == parameters[1].c_str() || *end != '\0' || parent <= 0) return 2;
  if (!platform::tieToParent(static_cast<pid_t>(parent))) return 0;
  platform::keepFreedMemoryForReuse();
  return serveConversionTasks(platform::kChildSocketFd, render);
}

}  // namespace qm
