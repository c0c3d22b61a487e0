#include "engine/document/psd_structure.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "engine/document/source_reader.h"

namespace qm {

namespace {

bool is(const BlendKey& key, const char* text) { return std::memcmp(key.data(), text, 4) == 0; }

// Whether the key is one of a list of keys written "Lr16|Lr32|Layr".
bool listed(std::string_view keys, const BlendKey& key) {
  for (std::size_t at = 0; at + 4 <= keys.size(); at += 5)
    if (keys.compare(at, 4, std::string_view(key.data(), key.size())) == 0) return true;
  return false;
}

// Keys whose length is 64-bit in the large-document variant.
constexpr std::string_view kLongLengthKeys = "LMsk|Lr16|Lr32|Layr|Mt16|Mt32|Mtrn|Alph|FMsk|lnk2|FEid|FXid|PxSD";

// Whether a tagged block's signature starts at `at`, without moving.
bool signatureAt(const SourceReader& reader, std::uint64_t at) {
  char sig[4] = {};
  if (at + 4 > reader.end() || !reader.source().read(at, sig, 4)) return false;
  return std::memcmp(sig, "8BIM", 4) == 0 || std::memcmp(sig, "8B64", 4) == 0;
}

// Tagged blocks are padded inconsistently between writers: the next block
// starts right after the data, or at the next even or fourth byte.
std::uint64_t nextBlock(const SourceReader& reader, std::uint64_t after) {
  for (std::uint64_t candidate : {after, (after + 1) & ~std::uint64_t{1}, (after + 3) & ~std::uint64_t{3}})
    if (signatureAt(reader, candidate)) return candidate;
  return after;
}

struct TaggedBlock {
  BlendKey key{};
  std::uint64_t data = 0;
  std::uint64_t length = 0;
};

// Reads the tagged blocks from the reader's position to its end.
template <typename Visit>
void readTaggedBlocks(SourceReader& reader, bool large, Visit visit) {
  unsigned count = 0;
  while (reader.ok() && reader.left() >= 12 && count++ < 4096) {
    if (!signatureAt(reader, reader.pos())) return;
    reader.skip(4);
    TaggedBlock block;
    block.key = reader.key();
    block.length = reader.number(large && listed(kLongLengthKeys, block.key) ? 8 : 4);
    block.data = reader.pos();
    if (!reader.ok() || block.length > reader.left()) return;
    visit(block);
    reader.seek(nextBlock(reader, block.data + block.length));
  }
}

// What one kind of tagged block does to what it belongs to (the document or
// a layer): each kind is registered once, with the keys it goes by.
template <typename Target>
struct BlockRule {
  std::string_view keys;
  void (*read)(const TaggedBlock& block, SourceReader& data, Target& target);
};

// Hands the block to the rule that lists its key; a block no rule lists is
// left alone.
template <typename Target, std::size_t Count>
void dispatchBlock(const std::array<BlockRule<Target>, Count>& rules, const ByteSource& bytes, const TaggedBlock& block,
                   Target& target) {
  for (const BlockRule<Target>& rule : rules)
    if (listed(rule.keys, block.key)) {
      SourceReader data(bytes, block.data, block.data + block.length);
      rule.read(block, data, target);
      return;
    }
}

std::string damaged(const std::string& what) { return "damaged: " + what; }

void readResources(const ByteSource& bytes, const PsdExtent& section, PsdDocument& document) {
  SourceReader reader(bytes, section.offset, section.end());
  unsigned count = 0;
  while (reader.ok() && reader.left() >= 12 && count++ < 10000) {
    reader.skip(4);  // signature
    const unsigned id = reader.u16();
    const unsigned nameLength = reader.u8();
    reader.skip(nameLength + ((nameLength + 1) % 2));
    const std::uint64_t size = reader.u32();
    if (!reader.ok() || size > reader.left()) return;
    const std::uint64_t data = reader.pos();
    SourceReader field(bytes, data, data + size);
    switch (static_cast<PsdResource>(id)) {
      case PsdResource::VersionInfo:  // version, then whether a real merged image exists
        if (size >= 5) {
          field.skip(4);
          document.hasRealMergedImage = field.u8() != 0;
        }
        break;
      case PsdResource::GlobalAngle:
        if (size >= 4) document.globalAngle = static_cast<std::int32_t>(field.u32());
        break;
      case PsdResource::TransparencyIndex:
        if (size >= 2) document.transparencyIndex = field.u16();
        break;
      case PsdResource::IccProfile:
        if (size >= 128 && size <= kMaxResourceBytes) {
          document.iccProfile.resize(static_cast<std::size_t>(size));
          if (!field.take(document.iccProfile.data(), document.iccProfile.size())) document.iccProfile.clear();
        }
        break;
      default: break;
    }
    reader.seek(data + size + (size % 2));
  }
}

void readColourModeData(const ByteSource& bytes, const PsdExtent& section, PsdDocument& document) {
  if (section.length > 4096) return;
  document.colourModeData.resize(static_cast<std::size_t>(section.length));
  SourceReader(bytes, section.offset, section.end())
      .take(document.colourModeData.data(), document.colourModeData.size());
}

void markMergedTransparency(const TaggedBlock&, SourceReader&, PsdDocument& document) {
  document.mergedHasTransparency = true;
}

void keepPattern(const TaggedBlock& block, SourceReader&, PsdDocument& document) {
  if (document.patterns.size() < 16) document.patterns.push_back({block.key, block.data, block.length});
}

// Deeper documents keep their layers in a block instead.
void keepLayerBlock(const TaggedBlock& block, SourceReader&, PsdDocument& document) {
  if (document.layerInfoBegin == 0 && block.length >= 2) {
    document.layerInfoBegin = block.data;
    document.layerInfoEnd = block.data + block.length;
  }
}

constexpr std::array<BlockRule<PsdDocument>, 3> kDocumentBlocks{{
    {"Mtrn|Mt16|Mt32", markMergedTransparency},
    {"Patt|Pat2|Pat3", keepPattern},
    {"Lr16|Lr32|Layr", keepLayerBlock},
}};

// Where the layer records lie, and the document's own tagged blocks after
// the global mask.
std::optional<std::string> readLayerAndMaskSummary(const ByteSource& bytes, const PsdExtent& section, bool large,
                                                   PsdDocument& document) {
  SourceReader reader(bytes, section.offset, section.end());
  const std::uint64_t layerInfoLength = reader.number(large ? 8 : 4);
  if (!reader.ok() || layerInfoLength > reader.left()) return damaged("the layer information runs past the end");
  if (layerInfoLength >= 2) {
    document.layerInfoBegin = reader.pos();
    document.layerInfoEnd = reader.pos() + layerInfoLength;
  }
  reader.skip(layerInfoLength);
  const std::uint64_t globalMaskLength = reader.u32();
  if (reader.ok()) reader.skip(globalMaskLength);
  if (reader.ok())
    readTaggedBlocks(reader, large,
                     [&](const TaggedBlock& block) { dispatchBlock(kDocumentBlocks, bytes, block, document); });
  if (document.layerInfoBegin != 0) {
    SourceReader count(bytes, document.layerInfoBegin, document.layerInfoEnd);
    document.layerCount = count.i16();
    if (document.layerCount < 0) document.mergedHasTransparency = true;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> readPsdStructure(const ByteSource& bytes, PsdDocument& document) {
  const PsdHeaderFields fields = readPsdHeader(bytes);
  if (!fields.signature) return std::string("not a Photoshop document");
  if (!knownPsdVersion(fields.version)) return std::string("not a Photoshop document (unknown version)");
  if (!fields.complete) return damaged("the header is cut short");
  PsdHeader& header = document.header;
  header = fields.header;
  if (!possiblePsdSize(header)) return damaged("impossible header");
  if (!knownPsdDepth(header.depth)) return damaged("impossible depth " + std::to_string(header.depth));

  const PsdSections sections = readPsdSections(bytes, header.large);
  if (sections.cut == PsdSectionName::ColourMode) return damaged("the colour mode data runs past the end");
  readColourModeData(bytes, sections.colourMode, document);
  if (sections.cut == PsdSectionName::Resources) return damaged("the image resources run past the end");
  readResources(bytes, sections.resources, document);
  if (sections.cut == PsdSectionName::LayerAndMask) return damaged("the layer section runs past the end");
  document.imageDataOffset = sections.imageData;
  if (sections.layerAndMask.length == 0) return std::nullopt;
  return readLayerAndMaskSummary(bytes, sections.layerAndMask, header.large, document);
}

namespace {

void readMask(SourceReader& reader, PsdLayer& layer) {
  const std::uint64_t length = reader.u32();
  if (!reader.ok() || length > reader.left()) {
    reader.fail();
    return;
  }
  const std::uint64_t end = reader.pos() + length;
  if (length >= 18) {
    PsdMask mask;
    mask.rect = {reader.i32(), reader.i32(), reader.i32(), reader.i32()};
    mask.defaultColour = reader.u8();
    const unsigned flags = reader.u8();
    mask.disabled = (flags & 2) != 0;
    mask.rendered = (flags & 8) != 0;
    if (flags & 16) {
      const unsigned parameters = reader.u8();
      if (parameters & 1) mask.density = static_cast<float>(reader.u8()) / 255.0f;
      if (parameters & 2) reader.skip(8);
      if (parameters & 4) layer.vectorDensity = static_cast<float>(reader.u8()) / 255.0f;
      if (parameters & 8) reader.skip(8);
    }
    // Beside a vector mask, the pixel mask has a rectangle of its own.
    const bool hasReal = std::any_of(layer.channels.begin(), layer.channels.end(),
                                     [](const PsdChannel& channel) { return channel.id == -3; });
    if (hasReal && reader.ok() && end >= reader.pos() + 18) {
      const unsigned realFlags = reader.u8();
      mask.defaultColour = reader.u8();
      mask.rect = {reader.i32(), reader.i32(), reader.i32(), reader.i32()};
      mask.disabled = (realFlags & 2) != 0;
      mask.rendered = (realFlags & 8) != 0;
      mask.channel = -3;
    }
    const bool hasChannel = std::any_of(layer.channels.begin(), layer.channels.end(),
                                        [&](const PsdChannel& channel) { return channel.id == mask.channel; });
    if (reader.ok() && hasChannel) layer.mask = mask;
  }
  reader.seek(end);
}

PsdBlock kept(const TaggedBlock& block) { return {block.key, block.data, block.length}; }

// A group's opening or closing record, and the blend mode of the group.
void readSectionDivider(const TaggedBlock& block, SourceReader& data, PsdLayer& layer) {
  const std::uint32_t type = data.u32();
  layer.section = type == 1   ? PsdSection::OpenFolder
                  : type == 2 ? PsdSection::ClosedFolder
                  : type == 3 ? PsdSection::Divider
                              : PsdSection::None;
  if (block.length >= 12 && is(data.key(), "8BIM")) {
    const BlendKey key = data.key();
    if (data.ok()) layer.blendMode = key;
  }
}

void readInteriorEffectsWithFill(const TaggedBlock& block, SourceReader& data, PsdLayer& layer) {
  if (block.length >= 1) layer.interiorEffectsWithFill = data.u8() != 0;
}

void readFillOpacity(const TaggedBlock& block, SourceReader& data, PsdLayer& layer) {
  if (block.length >= 1) layer.fillOpacity = data.u8();
}

void keepEffects(const TaggedBlock& block, SourceReader&, PsdLayer& layer) {
  layer.hasEffects = true;
  // The description, rather than the older binary form; the first one found.
  if (!is(block.key, "lrFX") && !layer.effects.present()) layer.effects = kept(block);
}

// An artboard: its background is described, not stored.
void markArtboard(const TaggedBlock&, SourceReader&, PsdLayer& layer) { layer.fillLayer = true; }

void keepVectorMask(const TaggedBlock& block, SourceReader&, PsdLayer& layer) {
  layer.hasVectorMask = true;
  layer.vectorMask = kept(block);
}

void keepVectorStroke(const TaggedBlock& block, SourceReader&, PsdLayer& layer) { layer.vectorStroke = kept(block); }

bool fillKind(const BlendKey& key) { return is(key, "SoCo") || is(key, "GdFl") || is(key, "PtFl"); }

// A shape's fill: the kind's key, then its description.
void keepShapeFill(const TaggedBlock& block, SourceReader& data, PsdLayer& layer) {
  if (block.length <= 4) return;
  const BlendKey kind = data.key();
  if (data.ok() && fillKind(kind)) {
    layer.fillLayer = true;
    layer.content = {kind, block.data + 4, block.length - 4};
  }
}

void keepFill(const TaggedBlock& block, SourceReader&, PsdLayer& layer) {
  layer.fillLayer = true;
  layer.content = kept(block);
}

void keepAdjustment(const TaggedBlock& block, SourceReader&, PsdLayer& layer) {
  layer.notDrawable = true;
  layer.content = kept(block);
}

constexpr std::array<BlockRule<PsdLayer>, 10> kLayerBlocks{{
    {"lsct|lsdk", readSectionDivider},
    {"infx", readInteriorEffectsWithFill},
    {"iOpa", readFillOpacity},
    {"lfx2|lrFX|lmfx", keepEffects},
    {"artb|artd|abdd", markArtboard},
    {"vmsk|vsms", keepVectorMask},
    {"vstk", keepVectorStroke},
    {"vscg", keepShapeFill},
    {"SoCo|GdFl|PtFl", keepFill},
    {"levl|curv|brit|blnc|blwh|hue |hue2|selc|mixr|grdm|thrs|post|nvrt|vibA|phfl|clrL|expA|CgEd", keepAdjustment},
}};

std::string unreadableLayer(unsigned index) { return damaged("layer " + std::to_string(index + 1) + " is unreadable"); }

// The extra data of a layer record: its mask, blending ranges, name and
// tagged blocks. False when it is damaged.
bool readLayerExtra(const ByteSource& bytes, std::uint64_t begin, std::uint64_t end, bool large, PsdLayer& layer) {
  SourceReader extra(bytes, begin, end);
  readMask(extra, layer);
  extra.skip(extra.u32());  // blending ranges
  const unsigned nameLength = extra.u8();
  layer.name.resize(nameLength);
  extra.take(layer.name.data(), nameLength);
  extra.skip((4 - (nameLength + 1) % 4) % 4);
  if (extra.ok())
    readTaggedBlocks(extra, large, [&](const TaggedBlock& block) { dispatchBlock(kLayerBlocks, bytes, block, layer); });
  return extra.ok();
}

// One layer record, from its rectangle to the end of its extra data.
std::optional<std::string> readLayerRecord(SourceReader& reader, bool large, unsigned index, PsdLayer& layer) {
  layer.rect = {reader.i32(), reader.i32(), reader.i32(), reader.i32()};
  const unsigned channelCount = reader.u16();
  if (!reader.ok() || channelCount > 64) return unreadableLayer(index);
  for (unsigned c = 0; c < channelCount; ++c) {
    PsdChannel channel;
    channel.id = reader.i16();
    channel.length = reader.number(large ? 8 : 4);
    layer.channels.push_back(channel);
  }
  if (!is(reader.key(), "8BIM")) return damaged("layer " + std::to_string(index + 1) + " has no blend signature");
  layer.blendMode = reader.key();
  layer.opacity = reader.u8();
  layer.clipped = reader.u8() != 0;
  const unsigned flags = reader.u8();
  layer.hidden = (flags & 2) != 0;
  reader.skip(1);
  const std::uint64_t extraLength = reader.u32();
  if (!reader.ok() || extraLength > reader.left())
    return damaged("layer " + std::to_string(index + 1) + " runs past its section");
  const std::uint64_t extraEnd = reader.pos() + extraLength;
  if (!readLayerExtra(reader.source(), reader.pos(), extraEnd, large, layer)) return unreadableLayer(index);
  reader.seek(extraEnd);
  return std::nullopt;
}

// The channel data follows the records, layer after layer, channel after
// channel, each with its compression field.
std::optional<std::string> placeChannelData(const ByteSource& bytes, std::uint64_t at, std::vector<PsdLayer>& layers) {
  for (PsdLayer& layer : layers)
    for (PsdChannel& channel : layer.channels) {
      channel.offset = at;
      if (channel.length > bytes.size() - std::min(at, bytes.size()))
        return damaged("the pixels of layer \"" + layer.name + "\" run past the end");
      at += channel.length;
    }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> readPsdLayers(const ByteSource& bytes, const PsdDocument& document,
                                         std::vector<PsdLayer>& layers) {
  layers.clear();
  if (document.layerInfoBegin == 0) return std::nullopt;
  SourceReader reader(bytes, document.layerInfoBegin, document.layerInfoEnd);
  const int signedCount = reader.i16();
  const unsigned count = static_cast<unsigned>(signedCount < 0 ? -signedCount : signedCount);
  if (count > kMaxLayers) return damaged("too many layers (" + std::to_string(count) + ")");
  for (unsigned i = 0; i < count; ++i) {
    PsdLayer layer;
    if (auto problem = readLayerRecord(reader, document.header.large, i, layer)) return problem;
    layers.push_back(std::move(layer));
  }
  if (!reader.ok()) return damaged("the layer records are cut short");
  return placeChannelData(bytes, reader.pos(), layers);
}

}  // namespace qm
