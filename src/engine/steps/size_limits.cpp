// Limits: sizes known before the steps run, and what an output format or
// the machine cannot take. A result beyond them fails the file at once
// with its reason, instead of thrashing for minutes or failing deep inside
// a library.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "engine/steps/steps.h"

namespace qm {

namespace {

struct SideLimit {
  std::string_view extension;
  std::int64_t maxSide;
};

constexpr std::int64_t kInt32Max = 2147483647;

// The largest side each writer can store, from the formats' own fields and
// the encoders' limits (libjpeg 65500, libpng's default 1000000, WebP
// 16383, 16-bit fields in GIF, TGA and PCX, 30000 in PSD).
constexpr std::array<SideLimit, 23> kSideLimits = {{
    {"bmp", kInt32Max},  {"dds", 65535},     {"exr", kInt32Max}, {"gif", 65535},     {"hdr", kInt32Max},
    {"ico", 256},        {"j2k", kInt32Max}, {"jng", 65500},     {"jp2", kInt32Max}, {"jpg", 65500},
    {"jxr", kInt32Max},  {"pbm", kInt32Max}, {"pcx", 65535},     {"pfm", kInt32Max}, {"pgm", kInt32Max},
    {"png", 1000000},    {"ppm", kInt32Max}, {"psd", 30000},     {"tga", 65535},     {"tiff", kInt32Max},
    {"wbmp", kInt32Max}, {"webp", 16383},    {"xpm", kInt32Max},
}};

// While the steps work, a few 32-bit copies of the image live at once
// (the working image, a widened or rotated copy, the frame's canvas).
constexpr std::int64_t kWorkingBytesPerPixel = 12;

std::string sizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

std::uint64_t usableMemory() {
  std::uint64_t bytes =
      static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit limit{};
    if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
      bytes = std::min<std::uint64_t>(bytes, limit.rlim_cur);
  }
  return bytes;
}

ImageSize rotatedSize(const Settings& settings, int width, int height) {
  const int angle = settings.imageRotation;
  // Advanced rotation keeps the size; simple rotation grows to the turned
  // image's bounding box.
  if (!settings.doImageRotation || angle < 1 || angle > 359 ||
      as<RotationType>(settings.imageRotationType) != RotationType::Simple)
    return {width, height};
  const double radians = angle * std::numbers::pi / 180.0;
  const double c = std::abs(std::cos(radians));
  const double s = std::abs(std::sin(radians));
  auto side = [](double value) {
    return value >= 2147483647.0 ? 2147483647 : static_cast<int>(std::ceil(value - 1e-9));
  };
  return {side(width * c + height * s), side(width * s + height * c)};
}

std::optional<std::string> sizeProblem(std::string_view extension, std::int64_t width, std::int64_t height) {
  for (const SideLimit& limit : kSideLimits) {
    if (limit.extension != extension) continue;
    if (width > limit.maxSide || height > limit.maxSide)
      return "too large: the result would be " + sizeText(width, height) + " pixels, and " + std::string(extension) +
             " holds at most " + std::to_string(limit.maxSide) + " a side";
  }
  const auto memory = static_cast<std::int64_t>(std::min<std::uint64_t>(usableMemory(), INT64_MAX));
  if (width > 0 && height > 0 && width > memory / kWorkingBytesPerPixel / height)
    return "too large: the result would be " + sizeText(width, height) +
           " pixels, more than the memory this process may use (" + std::to_string(memory >> 20) + " MiB)";
  return std::nullopt;
}

std::optional<std::string> formatProblem(std::string_view extension, int width, int height) {
  if (extension == "ico" && (width != height || width < 16 || width > 256))
    return "an icon must be square, 16 to 256 pixels a side; this image is " + sizeText(width, height);
  if ((extension == "j2k" || extension == "jp2") && (width < 32 || height < 32))
    return "JPEG 2000 needs at least 32 pixels a side; this image is " + sizeText(width, height);
  return std::nullopt;
}

}  // namespace qm
