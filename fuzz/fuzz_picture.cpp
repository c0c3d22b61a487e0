// libFuzzer target of the watermark picture loader: the bytes are the
// picture file a run names (PNG, JPEG, BMP or icon, told by their first
// bytes), read and made into the stamp as a worker does it, in colour or
// in grey. Built and run by scripts/fuzz-documents, not by the test suite.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/watermark/watermark.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/dev/shm/fuzz-picture-" + std::to_string(::getpid());
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  qm::Settings settings;
  settings.image = path;
  settings.imageGreyscale = size % 2;
  settings.imageOpacity = 128;
  const qm::Bitmap stamp = qm::makeImageStamp(settings);
  // A stamp, when there is one, is a whole bitmap of the picture's size.
  if (stamp && (stamp.width() == 0 || stamp.height() == 0)) __builtin_trap();
  return 0;
}
