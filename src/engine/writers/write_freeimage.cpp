// The FreeImage writer for the 20 formats it encodes. It writes through
// its own file handle: FreeImage's encoders do not all report failed
// writes, so the handle counts them instead.
#include "engine/writers/output_file.h"
#include "engine/writers/writers.h"

namespace qm {

namespace {

struct Target {
  std::FILE* file;
  bool failed = false;
  int error = 0;  // of the first failed write
};

std::FILE* fileOf(fi_handle handle) { return static_cast<Target*>(handle)->file; }

unsigned DLL_CALLCONV readProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  return static_cast<unsigned>(std::fread(buffer, size, count, fileOf(handle)));
}

unsigned DLL_CALLCONV writeProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  // Some encoders hand over empty blocks; writing nothing never fails.
  if (size == 0 || count == 0) return count;
  auto* target = static_cast<Target*>(handle);
  std::size_t written = std::fwrite(buffer, size, count, target->file);
  if (written != count && !target->failed) {
    target->failed = true;
    target->error = errno;
  }
  return static_cast<unsigned>(written);
}

int DLL_CALLCONV seekProc(fi_handle handle, long offset, int origin) {
  return std::fseek(fileOf(handle), offset, origin);
}

long DLL_CALLCONV tellProc(fi_handle handle) { return std::ftell(fileOf(handle)); }

void put32(std::FILE* file, long offset, std::uint32_t value) {
  unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  if (std::fseek(file, offset, SEEK_SET) == 0) std::fwrite(bytes, 1, 4, file);
}

// FreeImage writes a run-length encoded BMP with the sizes of the
// uncompressed one in its headers (the file size) and none for the pixel
// data; readers that trust the headers refuse the file. The real sizes are
// written in once the file is complete.
void fixRunLengthBmpSizes(std::FILE* file) {
  unsigned char header[34] = {};
  if (std::fseek(file, 0, SEEK_END) != 0) return;
  const long size = std::ftell(file);
  if (size < 34 || std::fseek(file, 0, SEEK_SET) != 0 || std::fread(header, 1, sizeof header, file) != sizeof header)
    return;
  auto get32 = [&](int at) {
    return static_cast<std::uint32_t>(header[at] | header[at + 1] << 8 | header[at + 2] << 16 |
                                      static_cast<std::uint32_t>(header[at + 3]) << 24);
  };
  const std::uint32_t compression = get32(30);
  const std::uint32_t pixelsAt = get32(10);
  if ((compression != 1 && compression != 2) || pixelsAt > static_cast<std::uint32_t>(size)) return;
  put32(file, 2, static_cast<std::uint32_t>(size));
  put32(file, 34, static_cast<std::uint32_t>(size) - pixelsAt);
}

}  // namespace

bool writeWithFreeImage(const Bitmap& image, std::int32_t writerId, std::int32_t saveFlags,
                        const std::string& temporaryPath, std::string& failure) {
  if (!image) return false;
  OutputFile file = openOutputFile(temporaryPath.c_str(), failure);
  if (!file) return false;
  Target target{file.get()};
  FreeImageIO io{readProc, writeProc, seekProc, tellProc};
  bool saved =
      FreeImage_SaveToHandle(static_cast<FREE_IMAGE_FORMAT>(writerId), image.get(), &io, &target, saveFlags) == TRUE;
  if (saved && !target.failed && writerId == FIF_BMP) fixRunLengthBmpSizes(file.get());
  if (target.failed) failure = cannotWrite(target.error ? target.error : EIO);
  saved = closeOutputFile(std::move(file), failure) && saved && !target.failed;
  return finishTemporary(saved, temporaryPath);
}

}  // namespace qm

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds only: FreeImage's JPEG XR plugin, built with another
// size of jxrlib's GUID type, copies overlapping buffers with memcpy when
// it reads a jxr file (the tests read outputs back through FreeImage; the
// program writes jxr with its own encoder). That fault lies in the
// library; reports raised from inside it alone are suppressed, everything
// of our own is still checked. It lives in this file because every
// program that writes an image links it.
extern "C" const char* __asan_default_suppressions() { return "interceptor_via_lib:libjxrglue.so\n"; }
#endif
