// Write: the choice of writer. The DevIL formats and jxr are told apart by
// their extension, not by their writer number.
#include "engine/writers/writers.h"

namespace qm {

bool writeOutput(const Bitmap& image, const RunFormat& format, int targetBitDepth, const Settings& settings,
                 const std::string& temporaryPath, std::string& failure) {
  if (!image) return false;
  const std::string& extension = format.extension;
  if (extension == "psd" || extension == "jp2") {
    const bool written = extension == "psd"
                             ? writeWithDevil(image, extension, format.writerId, temporaryPath, failure)
                             : writeWithFreeImage(image, format.writerId, format.saveFlags, temporaryPath, failure);
    return finishTemporary(written && embedProfile(image, extension, temporaryPath, failure), temporaryPath);
  }
  if (extension == "dds" || extension == "pcx")
    return writeWithDevil(image, extension, format.writerId, temporaryPath, failure);
  if (extension == "jxr") return writeWithJxr(image, format.saveFlags, temporaryPath, failure);
  if (extension == "bmp" && targetBitDepth == 8 && settings.bmpColorTable == 1)
    return writeTrimmedBmp(image, format.writerId, format.saveFlags, temporaryPath, failure);
  if (extension == "pfm") {
    // A floatmap stores its bottom row first; the library's writer puts the
    // top row there, so it gets the image upside down.
    Bitmap turned(FreeImage_Clone(image.get()));
    if (!turned || !FreeImage_FlipVertical(turned.get())) return false;
    return writeWithFreeImage(turned, format.writerId, format.saveFlags, temporaryPath, failure);
  }
  return writeWithFreeImage(image, format.writerId, format.saveFlags, temporaryPath, failure);
}

}  // namespace qm
