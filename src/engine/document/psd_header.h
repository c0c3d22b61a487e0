// The 26-byte header that opens every Photoshop document, the bounds of
// the sections after it, its limits and the codes of the file format that
// more than one reader needs by name. The document check, the structure
// reader, the pixel decoder and the memory estimate all read the header
// through readPsdHeader and the sections through readPsdSections, so they
// agree on what the file says; each judges what it reads in its own order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qm {

class ByteSource;

inline constexpr std::size_t kPsdHeaderBytes = 26;
// The limits of the format: a document beyond them cannot be one.
inline constexpr unsigned kMaxPsdChannels = 56;
inline constexpr unsigned kMaxPsdSide = 30000;
inline constexpr unsigned kMaxLargePsdSide = 300000;

enum class PsdMode : std::uint16_t {
  Bitmap = 0,
  Greyscale = 1,
  Indexed = 2,
  Rgb = 3,
  Cmyk = 4,
  Multichannel = 7,
  Duotone = 8,
  Lab = 9
};

// How the merged image and each layer channel store their rows.
enum class PsdCompression : std::uint16_t { Raw = 0, PackBits = 1, Zip = 2, ZipWithPrediction = 3 };

// The image resources this program reads.
enum class PsdResource : std::uint16_t {
  GlobalAngle = 0x040D,
  IccProfile = 0x040F,
  TransparencyIndex = 0x0417,
  VersionInfo = 0x0421,
};

struct PsdHeader {
  bool large = false;  // the large-document variant: 64-bit section lengths
  unsigned channels = 0;
  unsigned height = 0;
  unsigned width = 0;
  unsigned depth = 0;  // bits per channel: 1, 8, 16 or 32
  PsdMode mode = PsdMode::Rgb;
};

// What the first bytes of a file say, before any judgement: a field the
// bytes do not reach reads as 0.
struct PsdHeaderFields {
  bool signature = false;  // "8BPS"
  bool complete = false;   // all 26 bytes were there
  unsigned version = 0;    // 1, or 2 for the large-document variant
  PsdHeader header;
  unsigned mode = 0;  // as stored; header.mode holds it as a name
};

PsdHeaderFields readPsdHeader(std::span<const std::uint8_t> bytes);
// The same from the first bytes of a file.
PsdHeaderFields readPsdHeader(const ByteSource& bytes);

// A section after its length field.
struct PsdExtent {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::uint64_t end() const { return offset + length; }
};

enum class PsdSectionName { ColourMode, Resources, LayerAndMask };

// The three sections between the header and the merged image, each a
// length field and its data, and where the merged image begins.
struct PsdSections {
  PsdExtent colourMode;
  PsdExtent resources;
  PsdExtent layerAndMask;
  std::uint64_t imageData = 0;  // the merged image's compression field
  // The first section whose length field or data runs past the end of the
  // file, and the byte the file would have to reach to hold it; the
  // sections after it are left empty.
  std::optional<PsdSectionName> cut;
  std::uint64_t needed = 0;
};

PsdSections readPsdSections(const ByteSource& bytes, bool large);

inline bool knownPsdVersion(unsigned version) { return version == 1 || version == 2; }
// Channels and sides within the format's limits.
bool possiblePsdSize(const PsdHeader& header);
inline bool knownPsdDepth(unsigned depth) { return depth == 1 || depth == 8 || depth == 16 || depth == 32; }
bool knownPsdMode(unsigned mode);

}  // namespace qm
