#include "engine/document/psd_header.h"

#include <algorithm>
#include <array>

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

bool possiblePsdSize(const PsdHeader& header) {
  const unsigned maxSide = header.large ? kMaxLargePsdSide : kMaxPsdSide;
  return header.channels >= 1 && header.channels <= kMaxPsdChannels && header.width >= 1 && header.height >= 1 &&
         header.width <= maxSide && header.height <= maxSide;
}

bool knownPsdMode(unsigned mode) { return mode <= 4 || (mode >= 7 && mode <= 9); }

}  // namespace qm
