// The DevIL writer for psd, dds and pcx: the image goes over as raw BGR or
// BGRA rows, bottom row first (DevIL's default origin), and dds files carry
// their whole mipmap chain.
#include "engine/writers/output_file.h"
#include "engine/writers/writers.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace qm {

namespace {

// One DevIL image name, deleted with its owner.
class DevilImage {
 public:
  DevilImage() { ilGenImages(1, &id_); }
  DevilImage(const DevilImage&) = delete;
  DevilImage& operator=(const DevilImage&) = delete;
  ~DevilImage() {
    if (id_ != 0) ilDeleteImages(1, &id_);
  }
  ILuint id() const { return id_; }

 private:
  ILuint id_ = 0;
};

// DevIL's savers ignore failed writes. Its file calls are routed here
// while this writer runs: the close checks that every byte went out and,
// when not, removes the file, so that the rename that follows fails and
// the existing output stays.
struct DevilFile {
  OutputFile file;
  std::string path;
  int error = 0;  // of the first failed write: the close may not see it
};

// Why the current DevIL write failed; DevIL runs under its lock, one write
// at a time, and its callbacks have no context of their own.
std::string& devilFailure() {
  static std::string failure;
  return failure;
}

std::FILE* fileOf(ILHANDLE handle) { return static_cast<DevilFile*>(handle)->file.get(); }

ILHANDLE ILAPIENTRY openForWriting(ILconst_string path) {
  OutputFile file = openOutputFile(path, devilFailure());
  if (!file) return nullptr;
  return std::make_unique<DevilFile>(DevilFile{std::move(file), path}).release();
}

void ILAPIENTRY closeAfterWriting(ILHANDLE handle) {
  std::unique_ptr<DevilFile> owned(static_cast<DevilFile*>(handle));
  if (!owned) return;
  if (owned->error != 0 && devilFailure().empty()) devilFailure() = cannotWrite(owned->error);
  if (!closeOutputFile(std::move(owned->file), devilFailure())) std::remove(owned->path.c_str());
}

// Keeps the system's reason of the first write that failed.
void noteFailedWrite(ILHANDLE handle) {
  auto* file = static_cast<DevilFile*>(handle);
  if (file->error == 0) file->error = errno != 0 ? errno : EIO;
}

ILint ILAPIENTRY putByte(ILubyte byte, ILHANDLE handle) {
  errno = 0;
  const int put = std::fputc(byte, fileOf(handle));
  if (put == EOF) noteFailedWrite(handle);
  return put;
}

ILint ILAPIENTRY seekTo(ILHANDLE handle, ILint offset, ILint origin) {
  return std::fseek(fileOf(handle), offset, origin);
}

ILint ILAPIENTRY tellWhere(ILHANDLE handle) { return static_cast<ILint>(std::ftell(fileOf(handle))); }

ILint ILAPIENTRY writeBytes(const void* data, ILuint size, ILuint count, ILHANDLE handle) {
  errno = 0;
  const std::size_t written = std::fwrite(data, size, count, fileOf(handle));
  if (written != count && size != 0) noteFailedWrite(handle);
  return static_cast<ILint>(written);
}

// Puts DevIL's own file calls back when the writer is done.
struct RoutedWrites {
  RoutedWrites() { ilSetWrite(openForWriting, closeAfterWriting, putByte, seekTo, tellWhere, writeBytes); }
  RoutedWrites(const RoutedWrites&) = delete;
  RoutedWrites& operator=(const RoutedWrites&) = delete;
  ~RoutedWrites() { ilResetWrite(); }
};

// DevIL needs its set-up once per process before the first call; the
// writer is its only user.
void prepareDevil() {
  static std::once_flag prepared;
  std::call_once(prepared, [] {
    ilInit();
    iluInit();
  });
}

// True when some alpha lies between clear and opaque. DXT1 keeps one bit
// of alpha; graded transparency needs DXT5.
bool hasGradedAlpha(const std::vector<std::uint8_t>& bgra) {
  for (std::size_t i = 3; i < bgra.size(); i += 4)
    if (bgra[i] != 0 && bgra[i] != 255) return true;
  return false;
}

}  // namespace

bool writeWithDevil(const Bitmap& image, std::string_view extension, std::int32_t writerId,
                    const std::string& temporaryPath, std::string& failure) {
  if (!image || FreeImage_GetImageType(image.get()) != FIT_BITMAP) return false;
  const unsigned bpp = image.bpp();
  // Any other depth would hand DevIL palette indices or packed 16-bit
  // pixels as if they were colour bytes.
  if (bpp != 24 && bpp != 32) return false;
  const ILubyte channels = bpp == 32 ? 4 : 3;
  const ILenum layout = bpp == 32 ? IL_BGRA : IL_BGR;
  const unsigned width = image.width();
  const unsigned height = image.height();
  const unsigned pitch = width * channels;

  std::vector<std::uint8_t> pixels;
  try {
    pixels.resize(static_cast<std::size_t>(pitch) * height);
  } catch (const std::bad_alloc&) {
    return false;
  }
  FreeImage_ConvertToRawBits(pixels.data(), image.get(), static_cast<int>(pitch), bpp, 0xFF0000, 0x00FF00, 0x0000FF,
                             FALSE);

  // DevIL keeps its bound image, error state and switches in process-wide
  // variables of the library itself. This lock stands for that library
  // state: only one thread at a time may drive DevIL.
  static std::mutex devilLock;
  std::lock_guard<std::mutex> guard(devilLock);
  prepareDevil();
  devilFailure().clear();

  RoutedWrites routed;
  ilEnable(IL_FILE_OVERWRITE);
  if (extension == "dds") ilSetInteger(IL_DXTC_FORMAT, channels == 4 && hasGradedAlpha(pixels) ? IL_DXT5 : IL_DXT1);
  DevilImage devilImage;
  if (devilImage.id() == 0) return false;
  ilBindImage(devilImage.id());
  bool saved = ilTexImage(width, height, static_cast<ILuint>(ilGetInteger(IL_IMAGE_DEPTH)), channels, layout,
                          IL_UNSIGNED_BYTE, pixels.data()) == IL_TRUE;
  if (saved && extension == "dds") saved = iluBuildMipmaps() == IL_TRUE;
  if (saved) saved = ilSave(static_cast<ILenum>(writerId), temporaryPath.c_str()) == IL_TRUE;
  // DevIL's savers do not look at their writes: a write that failed (and
  // the file the close then removed) leaves its reason here.
  if (!devilFailure().empty()) saved = false;
  // DevIL's error stack would otherwise carry this file's failure into the
  // next one.
  while (ilGetError() != IL_NO_ERROR) {
  }
  if (!saved) failure = devilFailure();
  return finishTemporary(saved, temporaryPath);
}

}  // namespace qm
