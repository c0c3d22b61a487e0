// Save flags: the FreeImage flags each output format is written with,
// made from that format's settings.
#include <array>
#include <iterator>

#include "engine/writers/writers.h"

namespace qm {

std::int32_t saveFlags(std::string_view extension, const Settings& s) {
  // Index = the setting's code; a code outside the table adds nothing.
  auto pick = [](auto const& table, std::int32_t code) -> std::int32_t {
    return code >= 0 && static_cast<std::size_t>(code) < std::size(table) ? table[code] : 0;
  };
  if (extension == "bmp") return pick(std::array{0, 1}, s.bmpCompression);
  if (extension == "exr") return pick(std::array{2, 4, 8, 16, 32}, s.exrCompression);
  if (extension == "jpg")
    return s.jpgQuality + pick(std::array{0x10000, 0x8000, 0x4000, 0x1000}, s.jpgChroma) +
           pick(std::array{0, 0x40000, 0x20000, 0x2000}, s.jpgSaveAs);
  if (extension == "jxr") return 0x64;
  if (extension == "png") return pick(std::array{0x100, 1, 6, 9}, s.pngCompression) | (s.pngInterlaced ? 0x200 : 0);
  if (extension == "tga") return pick(std::array{0, 2}, s.tgaCompression);
  if (extension == "tiff")
    return pick(std::array{0x800, 0x1000, 0x2000, 0x100, 0x200, 0x400, 0x4000, 0x8000, 0x10000}, s.tiffCompression) |
           (s.tiffColorModel == 1 ? 1 : 0);
  if (extension == "webp") return 0x100;
  return 0;
}

}  // namespace qm
