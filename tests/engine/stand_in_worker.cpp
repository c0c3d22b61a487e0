// A worker process for the supervisor's tests. It renders like the real
// worker, except that a document whose name holds "hang" never answers and
// one whose name holds "grow" takes 400 MiB and then never answers, and
// one whose name holds "starve" finds no memory at all, one whose name
// holds "oom" takes 16 MiB and is then killed the way the kernel's
// out-of-memory killer does it, and one whose name holds "limit" fails
// with the memory limit it was given: the faults a damaged document can
// cause in the image libraries, on demand.
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "engine/batch/conversion_process.h"

int main(int argc, char** argv) {
  std::vector<std::string> parameters(argv + 1, argv + argc);
  return qm::runConversionWorkerProcess(parameters, [](const qm::Settings& settings, const qm::RunFormat& format,
                                                       const qm::JobInput& input, const qm::WatermarkAssets* assets) {
    const std::string name = input.inputPath.substr(input.inputPath.rfind('/') + 1);
    if (name.find("grow") != std::string::npos) {
      std::vector<char> taken(400u << 20);
      std::memset(taken.data(), 1, taken.size());
      for (;;) ::pause();
    }
    if (name.find("starve") != std::string::npos) throw std::bad_alloc();
    if (name.find("oom") != std::string::npos) {
      std::vector<char> taken(16u << 20);  // small enough to stay below the ceiling under TSan
      std::memset(taken.data(), 1, taken.size());
      ::usleep(300'000);  // long enough to be measured
      ::raise(SIGKILL);
    }
    if (name.find("limit") != std::string::npos) {
      qm::RenderResult result;
      result.failure = "limit " + std::to_string(input.memoryLimit >> 20) + " MiB";
      return result;
    }
    if (name.find("hang") != std::string::npos)
      for (;;) ::pause();
    return qm::renderDocument(settings, format, input, assets);
  });
}
