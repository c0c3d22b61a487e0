// Load: the composite image of a Photoshop document. The document's own
// structure is read first (header and resources; cheap), and decides:
// - a document saved without a real merged image (the reader would give a
//   white stand-in) is composed from its layers, or fails with the reason;
// - CMYK and Lab documents with a profile, and grey documents with
//   transparency, are decoded here, because the library's reader drops the
//   profile or the alpha;
// - everything else goes through the library's reader, whose merged image
//   then gets back what the reader leaves out: the white matte taken out of
//   partly transparent pixels, the transparent index of indexed documents
//   whose pixels use it.
// The format is fixed and the content not sniffed; whatever FreeImage
// cannot read as a Photoshop document comes back as no image. Before any
// pixel is allocated, what the chosen way needs is weighed against the
// memory the render may take, so a forged size is refused, not attempted.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/document/document_image.h"
#include "engine/document/psd_pixels.h"
#include "engine/steps/steps.h"

namespace qm {

namespace {

constexpr std::uint64_t kMegabyte = 1u << 20;
// The program and its libraries, besides the pixels.
constexpr std::uint64_t kProgramMemory = 64 * kMegabyte;

std::uint64_t documentPixels(const PsdDocument& document) {
  return std::uint64_t{document.header.width} * document.header.height;
}

// The working image the document becomes: up to four channels of its depth.
std::uint64_t imageBytes(const PsdDocument& document) {
  const std::uint64_t channels = std::clamp(document.header.channels, 1u, 4u);
  return documentPixels(document) * channels * std::max(document.header.depth / 8, 1u);
}

std::string tooLarge(std::uint64_t need, std::uint64_t limit) {
  return "too large: reading it needs " + std::to_string(need / kMegabyte + 1) + " MiB of memory, more than the " +
         std::to_string(limit / kMegabyte) + " MiB this conversion may use";
}

LoadedDocument refused(std::string reason) {
  LoadedDocument loaded;
  loaded.failure = std::move(reason);
  return loaded;
}

LoadedDocument fromDocumentImage(DocumentImage made) {
  LoadedDocument loaded;
  loaded.image = std::move(made.image);
  loaded.iccProfile = std::move(made.profile);
  loaded.failure = std::move(made.failure);
  return loaded;
}

LoadedDocument composed(const ByteSource& bytes, const PsdDocument& document, std::uint64_t limit) {
  LoadedDocument loaded;
  std::vector<PsdLayer> layers;
  Composite pixels;
  if (auto problem = readPsdLayers(bytes, document, layers)) {
    loaded.failure = "holds no merged image, and its layers are " + *problem;
    return loaded;
  }
  // The composition, then the working image made from it beside it (and
  // three more planes for a CMYK or Lab document turned into RGB).
  const std::uint64_t after = kProgramMemory + imageBytes(document) + documentPixels(document) * 3 * sizeof(float);
  ComposeLimits limits;
  limits.maxBytes = limit > after ? limit - after : 1;
  if (auto problem = composeLayers(bytes, document, layers, pixels, limits)) {
    loaded.failure = *problem;
    return loaded;
  }
  std::vector<std::string> leftOut = std::move(pixels.leftOut);
  loaded = fromDocumentImage(documentImage(std::move(pixels), document));
  loaded.leftOut = std::move(leftOut);
  return loaded;
}

LoadedDocument decodedMerged(const ByteSource& bytes, const PsdDocument& document, std::uint64_t limit) {
  const unsigned colours = composeChannels(document.header.mode);
  const bool alpha = document.mergedHasTransparency && document.header.channels > colours;
  // Its planes as floats, the 16-bit samples and RGB planes of the turn
  // into RGB, and the working image.
  const std::uint64_t need =
      kProgramMemory + imageBytes(document) +
      documentPixels(document) * ((colours + 1) * sizeof(float) + (colours + 3) * std::size_t{2} + 3 * sizeof(float));
  if (need > limit) return refused(tooLarge(need, limit));
  std::vector<Plane> planes;
  if (auto problem = decodeMergedImage(bytes, document, colours + (alpha ? 1 : 0), planes)) {
    LoadedDocument loaded;
    loaded.failure = *problem;
    return loaded;
  }
  Composite pixels;
  pixels.width = document.header.width;
  pixels.height = document.header.height;
  for (unsigned c = 0; c < colours; ++c) pixels.colour.push_back(std::move(planes[c].samples));
  if (alpha) {
    pixels.alpha = std::move(planes[colours].samples);
    removeWhiteMatte(pixels);
  }
  return fromDocumentImage(documentImage(std::move(pixels), document));
}

// Indexed documents keep their transparent entry in the colour table even
// when no pixel uses it; marking the image transparent then would make every
// later step and writer treat an opaque image as one with an alpha channel.
bool usesIndex(const Bitmap& image, unsigned index) {
  for (unsigned y = 0; y < image.height(); ++y) {
    const BYTE* line = FreeImage_GetScanLine(image.get(), static_cast<int>(y));
    for (unsigned x = 0; x < image.width(); ++x)
      if (line[x] == index) return true;
  }
  return false;
}

// The colour table of an indexed document is stored as all its reds, then
// its greens, then its blues. The library reads it only when it holds all
// 256 entries and otherwise leaves a grey ramp of the indices; a table of
// fewer entries (written by programs that save only the colours in use) is
// put in here.
void applyShortColourTable(Bitmap& image, const PsdDocument& document) {
  const std::vector<std::uint8_t>& table = document.colourModeData;
  const std::size_t entries = table.size() / 3;
  if (document.header.mode != PsdMode::Indexed || image.bpp() != 8 || entries == 0 || entries >= 256 ||
      table.size() % 3 != 0)
    return;
  RGBQUAD* palette = FreeImage_GetPalette(image.get());
  if (!palette) return;
  for (std::size_t i = 0; i < 256; ++i) {
    palette[i] = RGBQUAD{};
    if (i >= entries) continue;
    palette[i].rgbRed = table[i];
    palette[i].rgbGreen = table[entries + i];
    palette[i].rgbBlue = table[2 * entries + i];
  }
}

bool decodesItself(const PsdDocument& document) {
  const PsdHeader& header = document.header;
  if (header.depth == 1) return false;
  if ((header.mode == PsdMode::Cmyk || header.mode == PsdMode::Lab) && !document.iccProfile.empty()) return true;
  return header.mode == PsdMode::Greyscale && document.mergedHasTransparency && header.channels >= 2;
}

// The library reads the document through the conversion's own open file,
// with the stream calls it would make on a file of its own. It asks for a
// few bytes at a time, so small reads are served from a window of the file
// read ahead, not by a system call each.
struct LibraryStream {
  static constexpr std::size_t kReadAhead = std::size_t{64} * 1024;
  explicit LibraryStream(const ByteSource& source) : bytes(source) {}

  const ByteSource& bytes;
  std::uint64_t at = 0;
  std::vector<std::uint8_t> window;  // the file's bytes from windowStart on
  std::uint64_t windowStart = 0;

  // `count` bytes from `at`, which the caller has checked lie in the file.
  bool read(void* target, std::size_t count) {
    if (count >= kReadAhead) return bytes.read(at, target, count);
    if (at < windowStart || at + count > windowStart + window.size()) {
      window.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kReadAhead, bytes.size() - at)));
      windowStart = at;
      if (!bytes.read(at, window.data(), window.size())) {
        window.clear();
        return false;
      }
    }
    std::memcpy(target, window.data() + (at - windowStart), count);
    return true;
  }
};

unsigned DLL_CALLCONV readStream(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  auto* stream = static_cast<LibraryStream*>(handle);
  const std::uint64_t size64 = stream->bytes.size();
  const std::uint64_t left = size64 > stream->at ? size64 - stream->at : 0;
  const std::uint64_t wanted = std::uint64_t{size} * count;
  const std::uint64_t got = std::min(wanted, left);
  if (size == 0 || got == 0 || !stream->read(buffer, static_cast<std::size_t>(got))) return 0;
  stream->at += got;
  return static_cast<unsigned>(got / size);
}

int DLL_CALLCONV seekStream(fi_handle handle, long offset, int origin) {
  auto* stream = static_cast<LibraryStream*>(handle);
  const auto base = static_cast<long long>(origin == SEEK_CUR   ? stream->at
                                           : origin == SEEK_END ? stream->bytes.size()
                                                                : 0);
  if (base + offset < 0) return -1;
  stream->at = static_cast<std::uint64_t>(base + offset);
  return 0;
}

long DLL_CALLCONV tellStream(fi_handle handle) { return static_cast<long>(static_cast<LibraryStream*>(handle)->at); }

Bitmap loadWithLibrary(const ByteSource& bytes) {
  FreeImageIO io{readStream, nullptr, seekStream, tellStream};
  LibraryStream stream(bytes);
  return Bitmap(FreeImage_LoadFromHandle(FIF_PSD, &io, &stream, PSD_DEFAULT));
}

}  // namespace

LoadedDocument loadDocument(const std::string& path, std::uint64_t memoryLimit) {
  std::string failure;
  const std::optional<FileBytes> file = openDocument(path, failure);
  if (!file) return LoadedDocument{};
  return loadDocument(*file, memoryLimit);
}

LoadedDocument loadDocument(const ByteSource& bytes, std::uint64_t memoryLimit) {
  const std::uint64_t limit = memoryLimit > 0 ? memoryLimit : usableMemory();
  PsdDocument document;
  const bool known = !readPsdStructure(bytes, document);
  if (known && !document.hasRealMergedImage) return composed(bytes, document, limit);
  if (known && decodesItself(document)) return decodedMerged(bytes, document, limit);
  // The library's reader holds the image and, while it reads, about as
  // much again.
  if (known && kProgramMemory + 2 * imageBytes(document) > limit)
    return refused(tooLarge(kProgramMemory + 2 * imageBytes(document), limit));

  LoadedDocument loaded;
  loaded.image = loadWithLibrary(bytes);
  if (!known || !loaded.image) return loaded;
  if (document.mergedHasTransparency) removeWhiteMatte(loaded.image);
  applyShortColourTable(loaded.image, document);
  if (document.transparencyIndex && document.header.mode == PsdMode::Indexed && loaded.image.bpp() == 8 &&
      *document.transparencyIndex < FreeImage_GetColorsUsed(loaded.image.get()) &&
      usesIndex(loaded.image, *document.transparencyIndex))
    FreeImage_SetTransparentIndex(loaded.image.get(), static_cast<int>(*document.transparencyIndex));
  if (document.header.mode != PsdMode::Cmyk && document.header.mode != PsdMode::Lab)
    loaded.iccProfile = document.iccProfile;
  return loaded;
}

}  // namespace qm
