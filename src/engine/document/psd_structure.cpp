#include "engine/document/psd_structure.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace qm {

namespace {

// A read position inside [begin, end) of a byte source. A read past the end
// marks the cursor failed and yields zeros; callers check ok() at the points
// where a bad value would matter, so parsing code stays linear.
class Cursor {
 public:
  Cursor(const ByteSource& bytes, std::uint64_t begin, std::uint64_t end)
      : bytes_(bytes), pos_(begin), end_(std::min(end, bytes.size())) {}

  bool ok() const { return ok_; }
  std::uint64_t pos() const { return pos_; }
  std::uint64_t end() const { return end_; }
  std::uint64_t left() const { return pos_ < end_ ? end_ - pos_ : 0; }
  void fail() { ok_ = false; }

  std::uint64_t number(int count) {
    std::array<std::uint8_t, 8> buffer{};
    if (!take(buffer.data(), static_cast<std::size_t>(count))) return 0;
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | buffer[static_cast<std::size_t>(i)];
    return value;
  }
  std::uint8_t u8() { return static_cast<std::uint8_t>(number(1)); }
  std::uint16_t u16() { return static_cast<std::uint16_t>(number(2)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(number(4)); }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
  std::array<char, 4> key() {
    std::array<char, 4> k{};
    take(k.data(), 4);
    return k;
  }
  bool take(void* target, std::size_t count) {
    if (!ok_ || count > left() || !bytes_.read(pos_, target, count)) {
      ok_ = false;
      std::memset(target, 0, count);
      return false;
    }
    pos_ += count;
    return true;
  }
  void skip(std::uint64_t count) {
    if (count > left()) {
      ok_ = false;
      pos_ = end_;
    } else {
      pos_ += count;
    }
  }
  void seek(std::uint64_t at) {
    if (at > end_) {
      ok_ = false;
      pos_ = end_;
    } else {
      pos_ = at;
    }
  }
  // Looks at the next four bytes without moving.
  bool signatureAt(std::uint64_t at) const {
    char sig[4] = {};
    if (at + 4 > end_ || !bytes_.read(at, sig, 4)) return false;
    return std::memcmp(sig, "8BIM", 4) == 0 || std::memcmp(sig, "8B64", 4) == 0;
  }

 private:
  const ByteSource& bytes_;
  std::uint64_t pos_;
  std::uint64_t end_;
  bool ok_ = true;
};

bool is(const std::array<char, 4>& key, const char* text) { return std::memcmp(key.data(), text, 4) == 0; }

// Keys whose length is 64-bit in the large-document variant.
bool longLengthKey(const std::array<char, 4>& key) {
  for (const char* k :
       {"LMsk", "Lr16", "Lr32", "Layr", "Mt16", "Mt32", "Mtrn", "Alph", "FMsk", "lnk2", "FEid", "FXid", "PxSD"})
    if (is(key, k)) return true;
  return false;
}

// Tagged blocks are padded inconsistently between writers: the next block
// starts right after the data, or at the next even or fourth byte.
std::uint64_t nextBlock(const Cursor& cursor, std::uint64_t after) {
  for (std::uint64_t candidate : {after, (after + 1) & ~std::uint64_t{1}, (after + 3) & ~std::uint64_t{3}})
    if (cursor.signatureAt(candidate)) return candidate;
  return after;
}

struct TaggedBlock {
  std::array<char, 4> key{};
  std::uint64_t data = 0;
  std::uint64_t length = 0;
};

// Reads the tagged blocks from the cursor's position to its end.
template <typename Visit>
void readTaggedBlocks(Cursor& cursor, bool large, Visit visit) {
  unsigned count = 0;
  while (cursor.ok() && cursor.left() >= 12 && count++ < 4096) {
    if (!cursor.signatureAt(cursor.pos())) return;
    cursor.skip(4);
    TaggedBlock block;
    block.key = cursor.key();
    block.length = cursor.number(large && longLengthKey(block.key) ? 8 : 4);
    block.data = cursor.pos();
    if (!cursor.ok() || block.length > cursor.left()) return;
    visit(block);
    cursor.seek(nextBlock(cursor, block.data + block.length));
  }
}

std::string damaged(const std::string& what) { return "damaged: " + what; }

void readResources(const ByteSource& bytes, std::uint64_t begin, std::uint64_t end, PsdDocument& document) {
  Cursor cursor(bytes, begin, end);
  unsigned count = 0;
  while (cursor.ok() && cursor.left() >= 12 && count++ < 10000) {
    cursor.skip(4);  // signature
    const unsigned id = cursor.u16();
    const unsigned nameLength = cursor.u8();
    cursor.skip(nameLength + ((nameLength + 1) % 2));
    const std::uint64_t size = cursor.u32();
    if (!cursor.ok() || size > cursor.left()) return;
    const std::uint64_t data = cursor.pos();
    Cursor field(bytes, data, data + size);
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
    cursor.seek(data + size + (size % 2));
  }
}

}  // namespace

std::optional<std::string> readPsdStructure(const ByteSource& bytes, PsdDocument& document) {
  std::array<std::uint8_t, kPsdHeaderBytes> first{};
  auto headerBytes = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), first.size()));
  if (!bytes.read(0, first.data(), headerBytes)) headerBytes = 0;
  const PsdHeaderFields fields = readPsdHeader(std::span(first.data(), headerBytes));
  if (!fields.signature) return std::string("not a Photoshop document");
  if (!knownPsdVersion(fields.version)) return std::string("not a Photoshop document (unknown version)");
  if (!fields.complete) return damaged("the header is cut short");
  PsdHeader& header = document.header;
  header = fields.header;
  if (!possiblePsdSize(header)) return damaged("impossible header");
  if (!knownPsdDepth(header.depth)) return damaged("impossible depth " + std::to_string(header.depth));
  Cursor cursor(bytes, 0, bytes.size());
  cursor.seek(kPsdHeaderBytes);

  const std::uint64_t colourModeLength = cursor.u32();
  if (!cursor.ok() || colourModeLength > cursor.left()) return damaged("the colour mode data runs past the end");
  if (colourModeLength <= 4096) {
    document.colourModeData.resize(static_cast<std::size_t>(colourModeLength));
    cursor.take(document.colourModeData.data(), document.colourModeData.size());
  } else {
    cursor.skip(colourModeLength);
  }

  const std::uint64_t resourcesLength = cursor.u32();
  if (!cursor.ok() || resourcesLength > cursor.left()) return damaged("the image resources run past the end");
  readResources(bytes, cursor.pos(), cursor.pos() + resourcesLength, document);
  cursor.skip(resourcesLength);

  const std::uint64_t layerSectionLength = cursor.number(header.large ? 8 : 4);
  if (!cursor.ok() || layerSectionLength > cursor.left()) return damaged("the layer section runs past the end");
  const std::uint64_t layerSectionEnd = cursor.pos() + layerSectionLength;
  document.imageDataOffset = layerSectionEnd;
  if (layerSectionLength == 0) return std::nullopt;

  Cursor section(bytes, cursor.pos(), layerSectionEnd);
  const std::uint64_t layerInfoLength = section.number(header.large ? 8 : 4);
  if (!section.ok() || layerInfoLength > section.left()) return damaged("the layer information runs past the end");
  if (layerInfoLength >= 2) {
    document.layerInfoBegin = section.pos();
    document.layerInfoEnd = section.pos() + layerInfoLength;
  }
  section.skip(layerInfoLength);
  const std::uint64_t globalMaskLength = section.u32();
  if (section.ok()) section.skip(globalMaskLength);
  if (section.ok()) {
    readTaggedBlocks(section, header.large, [&](const TaggedBlock& block) {
      if (is(block.key, "Mtrn") || is(block.key, "Mt16") || is(block.key, "Mt32"))
        document.mergedHasTransparency = true;
      if ((is(block.key, "Patt") || is(block.key, "Pat2") || is(block.key, "Pat3")) && document.patterns.size() < 16)
        document.patterns.push_back({block.key, block.data, block.length});
      // Deeper documents keep their layers here instead.
      if ((is(block.key, "Lr16") || is(block.key, "Lr32") || is(block.key, "Layr")) && document.layerInfoBegin == 0 &&
          block.length >= 2) {
        document.layerInfoBegin = block.data;
        document.layerInfoEnd = block.data + block.length;
      }
    });
  }
  if (document.layerInfoBegin != 0) {
    Cursor count(bytes, document.layerInfoBegin, document.layerInfoEnd);
    document.layerCount = count.i16();
    if (document.layerCount < 0) document.mergedHasTransparency = true;
  }
  return std::nullopt;
}

namespace {

void readMask(Cursor& cursor, PsdLayer& layer) {
  const std::uint64_t length = cursor.u32();
  if (!cursor.ok() || length > cursor.left()) {
    cursor.fail();
    return;
  }
  const std::uint64_t end = cursor.pos() + length;
  if (length >= 18) {
    PsdMask mask;
    mask.rect = {cursor.i32(), cursor.i32(), cursor.i32(), cursor.i32()};
    mask.defaultColour = cursor.u8();
    const unsigned flags = cursor.u8();
    mask.disabled = (flags & 2) != 0;
    mask.rendered = (flags & 8) != 0;
    if (flags & 16) {
      const unsigned parameters = cursor.u8();
      if (parameters & 1) mask.density = static_cast<float>(cursor.u8()) / 255.0f;
      if (parameters & 2) cursor.skip(8);
      if (parameters & 4) layer.vectorDensity = static_cast<float>(cursor.u8()) / 255.0f;
      if (parameters & 8) cursor.skip(8);
    }
    // Beside a vector mask, the pixel mask has a rectangle of its own.
    const bool hasReal = std::any_of(layer.channels.begin(), layer.channels.end(),
                                     [](const PsdChannel& channel) { return channel.id == -3; });
    if (hasReal && cursor.ok() && end >= cursor.pos() + 18) {
      const unsigned realFlags = cursor.u8();
      mask.defaultColour = cursor.u8();
      mask.rect = {cursor.i32(), cursor.i32(), cursor.i32(), cursor.i32()};
      mask.disabled = (realFlags & 2) != 0;
      mask.rendered = (realFlags & 8) != 0;
      mask.channel = -3;
    }
    const bool hasChannel = std::any_of(layer.channels.begin(), layer.channels.end(),
                                        [&](const PsdChannel& channel) { return channel.id == mask.channel; });
    if (cursor.ok() && hasChannel) layer.mask = mask;
  }
  cursor.seek(end);
}

bool adjustmentKey(const std::array<char, 4>& key) {
  for (const char* k : {"levl", "curv", "brit", "blnc", "blwh", "hue ", "hue2", "selc", "mixr", "grdm", "thrs", "post",
                        "nvrt", "vibA", "phfl", "clrL", "expA", "CgEd"})
    if (is(key, k)) return true;
  return false;
}

}  // namespace

std::optional<std::string> readPsdLayers(const ByteSource& bytes, const PsdDocument& document,
                                         std::vector<PsdLayer>& layers) {
  layers.clear();
  if (document.layerInfoBegin == 0) return std::nullopt;
  const bool large = document.header.large;
  Cursor cursor(bytes, document.layerInfoBegin, document.layerInfoEnd);
  const int signedCount = cursor.i16();
  const unsigned count = static_cast<unsigned>(signedCount < 0 ? -signedCount : signedCount);
  if (count > kMaxLayers) return damaged("too many layers (" + std::to_string(count) + ")");
  for (unsigned i = 0; i < count; ++i) {
    PsdLayer layer;
    layer.rect = {cursor.i32(), cursor.i32(), cursor.i32(), cursor.i32()};
    const unsigned channelCount = cursor.u16();
    if (!cursor.ok() || channelCount > 64) return damaged("layer " + std::to_string(i + 1) + " is unreadable");
    for (unsigned c = 0; c < channelCount; ++c) {
      PsdChannel channel;
      channel.id = cursor.i16();
      channel.length = cursor.number(large ? 8 : 4);
      layer.channels.push_back(channel);
    }
    if (!is(cursor.key(), "8BIM")) return damaged("layer " + std::to_string(i + 1) + " has no blend signature");
    layer.blendMode = cursor.key();
    layer.opacity = cursor.u8();
    layer.clipped = cursor.u8() != 0;
    const unsigned flags = cursor.u8();
    layer.hidden = (flags & 2) != 0;
    cursor.skip(1);
    const std::uint64_t extraLength = cursor.u32();
    if (!cursor.ok() || extraLength > cursor.left())
      return damaged("layer " + std::to_string(i + 1) + " runs past its section");
    const std::uint64_t extraEnd = cursor.pos() + extraLength;
    Cursor extra(bytes, cursor.pos(), extraEnd);
    readMask(extra, layer);
    extra.skip(extra.u32());  // blending ranges
    const unsigned nameLength = extra.u8();
    layer.name.resize(nameLength);
    extra.take(layer.name.data(), nameLength);
    extra.skip((4 - (nameLength + 1) % 4) % 4);
    if (extra.ok()) {
      readTaggedBlocks(extra, large, [&](const TaggedBlock& block) {
        Cursor data(bytes, block.data, block.data + block.length);
        if (is(block.key, "lsct") || is(block.key, "lsdk")) {
          const std::uint32_t type = data.u32();
          layer.section = type == 1   ? PsdSection::OpenFolder
                          : type == 2 ? PsdSection::ClosedFolder
                          : type == 3 ? PsdSection::Divider
                                      : PsdSection::None;
          if (block.length >= 12 && is(data.key(), "8BIM")) {
            const BlendKey key = data.key();
            if (data.ok()) layer.blendMode = key;
          }
        } else if (is(block.key, "infx") && block.length >= 1) {
          layer.interiorEffectsWithFill = data.u8() != 0;
        } else if (is(block.key, "iOpa") && block.length >= 1) {
          layer.fillOpacity = data.u8();
        } else if (is(block.key, "lfx2") || is(block.key, "lrFX") || is(block.key, "lmfx")) {
          layer.hasEffects = true;
          // The description, rather than the older binary form; the first one found.
          if (!is(block.key, "lrFX") && !layer.effects.present()) layer.effects = {block.key, block.data, block.length};
        } else if (is(block.key, "artb") || is(block.key, "artd") || is(block.key, "abdd")) {
          layer.fillLayer = true;  // an artboard: its background is described, not stored
        } else if (is(block.key, "vmsk") || is(block.key, "vsms")) {
          layer.hasVectorMask = true;
          layer.vectorMask = {block.key, block.data, block.length};
        } else if (is(block.key, "vstk")) {
          layer.vectorStroke = {block.key, block.data, block.length};
        } else if (is(block.key, "vscg") && block.length > 4) {
          // A shape's fill: the kind's key, then its description.
          const BlendKey kind = data.key();
          if (data.ok() && (is(kind, "SoCo") || is(kind, "GdFl") || is(kind, "PtFl"))) {
            layer.fillLayer = true;
            layer.content = {kind, block.data + 4, block.length - 4};
          }
        } else if (is(block.key, "SoCo") || is(block.key, "GdFl") || is(block.key, "PtFl")) {
          layer.fillLayer = true;
          layer.content = {block.key, block.data, block.length};
        } else if (adjustmentKey(block.key)) {
          layer.notDrawable = true;
          layer.content = {block.key, block.data, block.length};
        }
      });
    }
    if (!extra.ok()) return damaged("layer " + std::to_string(i + 1) + " is unreadable");
    cursor.seek(extraEnd);
    layers.push_back(std::move(layer));
  }
  if (!cursor.ok()) return damaged("the layer records are cut short");
  // The channel data follows the records, layer after layer, channel after
  // channel, each with its compression field.
  std::uint64_t at = cursor.pos();
  for (PsdLayer& layer : layers)
    for (PsdChannel& channel : layer.channels) {
      channel.offset = at;
      if (channel.length > bytes.size() - std::min(at, bytes.size()))
        return damaged("the pixels of layer \"" + layer.name + "\" run past the end");
      at += channel.length;
    }
  return std::nullopt;
}

}  // namespace qm
