#include "engine/document/psd_header.h"

#include <algorithm>
#include <array>

#include <limits>
#include <utility>

#include "engine/document/byte_source.h"
#include "engine/document/source_reader.h"
#include "engine/document/span_reader.h"

namespace qm {

PsdHeaderFields readPsdHeader(std::span<const std::uint8_t> bytes) {
  PsdHeaderFields fields;
  // Zeros past the bytes given, so a short file still yields its version.
  std::array<std::uint8_t, kPsdHeaderBytes> padded{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), padded.size()), padded.begin());
  fields.complete = bytes.size() >= kPsdHeaderBytes;
  SpanReader reader(padded);
  const bool signature = reader.bytes(4) == "8BPS";
  fields.signature = bytes.size() >= 4 && signature;
  fields.version = reader.u16();
  reader.skip(6);  // reserved
  PsdHeader& header = fields.header;
  header.large = fields.version == 2;
  header.channels = reader.u16();
  header.height = reader.u32();
  header.width = reader.u32();
  header.depth = reader.u16();
  fields.mode = reader.u16();
  header.mode = static_cast<PsdMode>(fields.mode);
  return fields;
}

PsdHeaderFields readPsdHeader(const ByteSource& bytes) {
  std::array<std::uint8_t, kPsdHeaderBytes> first{};
  auto count = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), first.size()));
  if (!bytes.read(0, first.data(), count)) count = 0;
  return readPsdHeader(std::span(first.data(), count));
}

PsdSections readPsdSections(const ByteSource& bytes, bool large) {
  PsdSections sections;
  SourceReader reader(bytes, kPsdHeaderBytes, bytes.size());
  const std::pair<PsdSectionName, PsdExtent*> order[] = {{PsdSectionName::ColourMode, &sections.colourMode},
                                                         {PsdSectionName::Resources, &sections.resources},
                                                         {PsdSectionName::LayerAndMask, &sections.layerAndMask}};
  for (const auto& [name, extent] : order) {
    const std::size_t lengthBytes = large && name == PsdSectionName::LayerAndMask ? 8 : 4;
    const std::uint64_t lengthAt = reader.pos();
    const std::uint64_t length = reader.number(lengthBytes);
    if (!reader.ok() || length > reader.left()) {
      sections.cut = name;
      // A forged 64-bit length may reach past any offset; it still needs
      // more than the file has.
      const std::uint64_t data = lengthAt + lengthBytes;
      sections.needed = !reader.ok() ? data
                        : length > std::numeric_limits<std::uint64_t>::max() - data
                            ? std::numeric_limits<std::uint64_t>::max()
                            : data + length;
      return sections;
    }
    *extent = {reader.pos(), length};
    reader.skip(length);
  }
  sections.imageData = reader.pos();
  return sections;
}

bool possiblePsdSize(const PsdHeader& header) {
  const unsigned maxSide = header.large ? kMaxLargePsdSide : kMaxPsdSide;
  return header.channels >= 1 && header.channels <= kMaxPsdChannels && header.width >= 1 && header.height >= 1 &&
         header.width <= maxSide && header.height <= maxSide;
}

bool knownPsdMode(unsigned mode) { return mode <= 4 || (mode >= 7 && mode <= 9); }

}  // namespace qm
