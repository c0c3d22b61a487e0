// The structure of a Photoshop document as the file itself holds it: the
// header, the image resources this program uses, and the layer and mask
// information. The bytes are untrusted: every read is bounds-checked
// against the file, every count and size is capped, and a damaged
// structure comes back as a reason, never as a crash or a huge allocation.
//
// Reading the structure touches only the header, the resources and the
// lengths of the layer section, so it is cheap enough to run before every
// load. The layer records (readPsdLayers) and the pixels are read only
// when a document has to be composed from its layers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/document/byte_source.h"
#include "engine/document/psd_header.h"

namespace qm {

using BlendKey = std::array<char, 4>;

// A tagged block of a layer record, left in the file until needed.
struct PsdBlock {
  BlendKey key{};
  std::uint64_t offset = 0;  // of its data
  std::uint64_t length = 0;
  bool present() const { return key[0] != 0; }
};

struct PsdDocument {
  PsdHeader header;
  std::vector<std::uint8_t> colourModeData;  // the palette of indexed documents
  // False when the writer saved a stand-in instead of the composite image
  // (version-info resource).
  bool hasRealMergedImage = true;
  std::optional<unsigned> transparencyIndex;  // indexed documents
  std::vector<std::uint8_t> iccProfile;
  // Signed count of the layer section; negative means the first extra
  // channel of the merged image is its transparency.
  int layerCount = 0;
  // The merged image carries transparency, matted against white.
  bool mergedHasTransparency = false;
  // The layer records and their channel data: [layerInfoBegin, layerInfoEnd)
  // starts at the layer count. Empty when the document has no layers.
  std::uint64_t layerInfoBegin = 0;
  std::uint64_t layerInfoEnd = 0;
  std::uint64_t imageDataOffset = 0;  // the merged image: compression, then data
  // The blocks holding the document's patterns (Patt, Pat2, Pat3).
  std::vector<PsdBlock> patterns;
  // Where the document's global light comes from, in degrees; the layer
  // effects that follow it cast their shadows away from it.
  double globalAngle = 120;
};

struct PsdRect {
  std::int32_t top = 0, left = 0, bottom = 0, right = 0;
  std::int64_t width() const { return right > left ? std::int64_t{right} - left : 0; }
  std::int64_t height() const { return bottom > top ? std::int64_t{bottom} - top : 0; }
  bool empty() const { return width() == 0 || height() == 0; }
};

struct PsdChannel {
  int id = 0;                // 0.. colour, -1 transparency, -2 layer mask, -3 layer mask beside a vector mask
  std::uint64_t offset = 0;  // of its compression field
  std::uint64_t length = 0;  // compression field included
};

struct PsdMask {
  PsdRect rect;
  std::uint8_t defaultColour = 0;  // outside the rectangle
  bool disabled = false;
  // The mask's pixels were rendered from other data (the vector mask).
  bool rendered = false;
  float density = 1.0f;
  int channel = -2;
};

enum class PsdSection { None, OpenFolder, ClosedFolder, Divider };

struct PsdLayer {
  PsdRect rect;
  std::vector<PsdChannel> channels;
  BlendKey blendMode{'n', 'o', 'r', 'm'};
  std::uint8_t opacity = 255;
  std::uint8_t fillOpacity = 255;
  bool clipped = false;
  bool hidden = false;
  std::optional<PsdMask> mask;
  PsdSection section = PsdSection::None;
  // What the layer shows is not in its pixels (adjustment and fill layers).
  bool notDrawable = false;
  // Drawn from data this reader leaves aside: layer effects, vector masks.
  bool hasEffects = false;
  bool hasVectorMask = false;
  // A fill layer: its content is described, its pixels may not show it.
  bool fillLayer = false;
  // The block that describes an adjustment or fill layer; its key names
  // the kind.
  PsdBlock content;
  // The path records of the vector mask, and its density (1 = opaque).
  PsdBlock vectorMask;
  float vectorDensity = 1.0f;
  PsdBlock vectorStroke;  // the outline a shape layer draws along its path
  PsdBlock effects;       // the layer effects' description
  // Fill opacity fades the interior effects (colour overlay) with the content.
  bool interiorEffectsWithFill = false;
  std::string name;
};

// Caps that keep a hostile file from asking for unbounded work or memory.
inline constexpr unsigned kMaxLayers = 20000;
inline constexpr std::uint64_t kMaxResourceBytes = 64ull << 20;

// Reads the header, the resources and the layer section's summary.
// Returns the reason when the structure is damaged.
std::optional<std::string> readPsdStructure(const ByteSource& bytes, PsdDocument& document);

// Reads the layer records, bottom layer first.
std::optional<std::string> readPsdLayers(const ByteSource& bytes, const PsdDocument& document,
                                         std::vector<PsdLayer>& layers);

}  // namespace qm
