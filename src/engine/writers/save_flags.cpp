// Save flags: the FreeImage flags each output format is written with,
// made from that format's settings.
#include <FreeImage.h>

#include <array>
#include <iterator>

#include "engine/writers/writers.h"

namespace qm {

std::int32_t saveFlags(std::string_view extension, const Settings& s) {
  // Index = the setting's code; a code outside the table adds nothing.
  auto pick = [](auto const& table, std::int32_t code) -> std::int32_t {
    return code >= 0 && static_cast<std::size_t>(code) < std::size(table) ? table[code] : 0;
  };
  if (extension == "bmp") return pick(std::array{0, BMP_SAVE_RLE}, s.bmpCompression);
  if (extension == "exr") return pick(std::array{EXR_NONE, EXR_ZIP, EXR_PIZ, EXR_PXR24, EXR_B44}, s.exrCompression);
  if (extension == "jpg")
    return s.jpgQuality +
           pick(std::array{JPEG_SUBSAMPLING_444, JPEG_SUBSAMPLING_422, JPEG_SUBSAMPLING_420, JPEG_SUBSAMPLING_411},
                s.jpgChroma) +
           pick(std::array{0, JPEG_BASELINE, JPEG_OPTIMIZE, JPEG_PROGRESSIVE}, s.jpgSaveAs);
  if (extension == "jxr") return JXR_LOSSLESS;
  if (extension == "png")
    return pick(std::array{PNG_Z_NO_COMPRESSION, PNG_Z_BEST_SPEED, PNG_Z_DEFAULT_COMPRESSION, PNG_Z_BEST_COMPRESSION},
                s.pngCompression) |
           (s.pngInterlaced ? PNG_INTERLACED : 0);
  if (extension == "tga") return pick(std::array{0, TARGA_SAVE_RLE}, s.tgaCompression);
  if (extension == "tiff")
    return pick(std::array{TIFF_NONE, TIFF_CCITTFAX3, TIFF_CCITTFAX4, TIFF_PACKBITS, TIFF_DEFLATE, TIFF_ADOBE_DEFLATE,
                           TIFF_LZW, TIFF_JPEG, TIFF_LOGLUV},
                s.tiffCompression) |
           (as<ColourModel>(s.tiffColorModel) == ColourModel::Cmyk ? TIFF_CMYK : 0);
  if (extension == "webp") return WEBP_LOSSLESS;
  return 0;
}

}  // namespace qm
