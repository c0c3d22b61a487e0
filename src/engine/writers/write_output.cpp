// Write: the choice of writer, from the format table.
#include <FreeImage.h>
#include <IL/il.h>

#include "engine/writers/writers.h"
#include "formats/output_formats.h"

namespace qm {
namespace {

constexpr std::int32_t writerIdOf(std::string_view extension) {
  for (const OutputFormat& format : kOutputFormats)
    if (format.extension == extension) return format.writerId;
  return -1;
}

// The table carries the libraries' numbers without their headers.
static_assert(writerIdOf("bmp") == FIF_BMP && writerIdOf("exr") == FIF_EXR && writerIdOf("gif") == FIF_GIF &&
              writerIdOf("hdr") == FIF_HDR && writerIdOf("ico") == FIF_ICO && writerIdOf("j2k") == FIF_J2K &&
              writerIdOf("jng") == FIF_JNG && writerIdOf("jp2") == FIF_JP2 && writerIdOf("jpg") == FIF_JPEG &&
              writerIdOf("jxr") == FIF_JXR && writerIdOf("pbm") == FIF_PBM && writerIdOf("pfm") == FIF_PFM &&
              writerIdOf("pgm") == FIF_PGM && writerIdOf("png") == FIF_PNG && writerIdOf("ppm") == FIF_PPM &&
              writerIdOf("tga") == FIF_TARGA && writerIdOf("tiff") == FIF_TIFF && writerIdOf("wbmp") == FIF_WBMP &&
              writerIdOf("webp") == FIF_WEBP && writerIdOf("xpm") == FIF_XPM);
static_assert(writerIdOf("dds") == IL_DDS && writerIdOf("pcx") == IL_PCX && writerIdOf("psd") == IL_PSD);

bool writeWithTableWriter(const Bitmap& image, Writer writer, const RunFormat& format, int targetBitDepth,
                          const Settings& settings, const std::string& temporaryPath, std::string& failure) {
  switch (writer) {
    case Writer::DevIL: return writeWithDevil(image, format.extension, format.writerId, temporaryPath, failure);
    case Writer::Jxr: return writeWithJxr(image, format.saveFlags, temporaryPath, failure);
    case Writer::FreeImage: break;
  }
  if (format.extension == "bmp" && targetBitDepth == 8 && as<ColourTable>(settings.bmpColorTable) == ColourTable::Exact)
    return writeTrimmedBmp(image, format.writerId, format.saveFlags, temporaryPath, failure);
  if (format.extension == "pfm") {
    // A floatmap stores its bottom row first; the library's writer puts the
    // top row there, so it gets the image upside down.
    Bitmap turned(FreeImage_Clone(image.get()));
    if (!turned || !FreeImage_FlipVertical(turned.get())) return false;
    return writeWithFreeImage(turned, format.writerId, format.saveFlags, temporaryPath, failure);
  }
  return writeWithFreeImage(image, format.writerId, format.saveFlags, temporaryPath, failure);
}

}  // namespace

bool writeOutput(const Bitmap& image, const RunFormat& format, int targetBitDepth, const Settings& settings,
                 const std::string& temporaryPath, std::string& failure) {
  const OutputFormat* table = findOutputFormat(format.extension);
  if (!image || !table) return false;
  const bool written =
      writeWithTableWriter(image, table->writer, format, targetBitDepth, settings, temporaryPath, failure);
  // The psd and jp2 writers leave the colour profile out; it goes into the
  // finished file.
  if (written && (format.extension == "psd" || format.extension == "jp2"))
    return finishTemporary(embedProfile(image, format.extension, temporaryPath, failure), temporaryPath);
  return written;
}

}  // namespace qm
