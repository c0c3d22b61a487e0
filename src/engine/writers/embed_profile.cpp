// Profiles the library's writers leave out. DevIL's Photoshop writer
// writes no image resources and FreeImage's JPEG 2000 writer names its
// colour space by number only; both files get the image's ICC profile
// written in after the writer is done, so colour-managed readers show the
// pixels in the document's colour space.
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/writers/output_file.h"
#include "engine/writers/writers.h"

namespace qm {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t get32(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) << 24 | static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
}

void put32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void append(Bytes& out, const Bytes& bytes, std::size_t from, std::size_t to) {
  out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(from),
             bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

bool readWhole(const std::string& path, Bytes& bytes, std::string& failure) {
  OutputFile file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    failure = cannotWrite(errno);
    return false;
  }
  std::uint8_t block[65536];
  std::size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) bytes.insert(bytes.end(), block, block + got);
  return true;
}

bool writeWhole(const std::string& path, const Bytes& bytes, std::string& failure) {
  OutputFile file = openOutputFile(path.c_str(), failure);
  if (!file) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() && failure.empty())
    failure = cannotWrite(errno);
  return closeOutputFile(std::move(file), failure) && failure.empty();
}

Bytes profileOf(const Bitmap& image) {
  const FIICCPROFILE* profile = FreeImage_GetICCProfile(image.get());
  if (!profile || !profile->data || profile->size <= 0) return {};
  const auto* data = static_cast<const std::uint8_t*>(profile->data);
  return Bytes(data, data + profile->size);
}

// Header (26 bytes), colour mode data and image resources, each section
// after its 32-bit length: the profile becomes one more resource.
bool withPsdProfile(Bytes& bytes, const Bytes& profile) {
  if (bytes.size() < 30) return false;
  const std::size_t resourcesAt = 30 + std::size_t{get32(bytes, 26)};
  if (resourcesAt + 4 > bytes.size()) return false;
  Bytes resource = {'8', 'B', 'I', 'M', 0x04, 0x0F, 0, 0};  // signature, id 0x040F, empty name
  put32(resource, static_cast<std::uint32_t>(profile.size()));
  resource.insert(resource.end(), profile.begin(), profile.end());
  if (profile.size() % 2 != 0) resource.push_back(0);
  Bytes rewritten;
  append(rewritten, bytes, 0, resourcesAt);
  put32(rewritten, get32(bytes, resourcesAt) + static_cast<std::uint32_t>(resource.size()));
  rewritten.insert(rewritten.end(), resource.begin(), resource.end());
  append(rewritten, bytes, resourcesAt + 4, bytes.size());
  bytes = std::move(rewritten);
  return true;
}

// The header box 'jp2h' holds the colour box 'colr', whose method 2
// carries an ICC profile instead of an enumerated space. Boxes are a 32-bit
// length (counting its own 8 header bytes) and a 4-letter type.
bool withJp2Profile(Bytes& bytes, const Bytes& profile) {
  auto box = [&](std::size_t at, std::string_view type) {
    return at + 8 <= bytes.size() && std::string_view(reinterpret_cast<const char*>(&bytes[at + 4]), 4) == type;
  };
  std::size_t header = 0;
  for (std::size_t at = 0; at + 8 <= bytes.size();) {
    const std::size_t length = get32(bytes, at);
    if (length < 8 || at + length > bytes.size()) return false;
    if (box(at, "jp2h")) {
      header = at;
      break;
    }
    at += length;
  }
  if (!box(header, "jp2h")) return false;
  const std::size_t headerEnd = header + get32(bytes, header);
  for (std::size_t at = header + 8; at + 8 <= headerEnd;) {
    const std::size_t length = get32(bytes, at);
    if (length < 8 || at + length > headerEnd) return false;
    if (box(at, "colr")) {
      Bytes colour;
      put32(colour, static_cast<std::uint32_t>(8 + 3 + profile.size()));
      colour.insert(colour.end(), {'c', 'o', 'l', 'r', 2, 0, 0});
      colour.insert(colour.end(), profile.begin(), profile.end());
      const auto grown = static_cast<std::uint32_t>(colour.size() - length);
      Bytes rewritten;
      append(rewritten, bytes, 0, header);
      put32(rewritten, get32(bytes, header) + grown);
      append(rewritten, bytes, header + 4, at);
      rewritten.insert(rewritten.end(), colour.begin(), colour.end());
      append(rewritten, bytes, at + length, bytes.size());
      bytes = std::move(rewritten);
      return true;
    }
    at += length;
  }
  return false;
}

}  // namespace

bool embedProfile(const Bitmap& image, std::string_view extension, const std::string& path, std::string& failure) {
  if (extension != "psd" && extension != "jp2") return true;
  const Bytes profile = profileOf(image);
  if (profile.empty()) return true;
  Bytes bytes;
  if (!readWhole(path, bytes, failure)) return false;
  // A file laid out otherwise than these writers lay it out keeps its
  // pixels and goes without the profile.
  const bool placed = extension == "psd" ? withPsdProfile(bytes, profile) : withJp2Profile(bytes, profile);
  return !placed || writeWhole(path, bytes, failure);
}

}  // namespace qm
