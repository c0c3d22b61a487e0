// The FreeImage writer for the 20 formats it encodes.
#include "engine/writers.h"

namespace qm {

bool writeWithFreeImage(const Bitmap& image, std::int32_t writerId, std::int32_t saveFlags,
                        const std::string& outputPath, const std::string& temporaryPath) {
  if (!image) return false;
  bool saved = FreeImage_Save(static_cast<FREE_IMAGE_FORMAT>(writerId), image.get(), temporaryPath.c_str(),
                              saveFlags) == TRUE;
  return replaceOutput(saved, temporaryPath, outputPath);
}

}  // namespace qm

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds only: the system's JPEG XR encoder, which FreeImage
// calls for jxr, copies overlapping buffers with memcpy while it sets up.
// That fault lies in the library, not here, and would end every jxr write
// of a checked build; reports raised from inside that library alone are
// suppressed, everything of our own is still checked. It lives in this
// file because every program that writes an image links it.
extern "C" const char* __asan_default_suppressions() { return "interceptor_via_lib:libjxrglue.so\n"; }
#endif
