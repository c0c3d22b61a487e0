// Check document: what can be told about a Photoshop document from its
// header and section lengths before the library reads it. The library
// takes a text file or a PNG named .psd for a broken document and fills a
// truncated one with black, and a merged image whose packed rows do not
// unpack to whole rows with black or stripes; this check names those files
// for what they are. It reads the header, four section lengths, the row
// length table and the packed rows, which it walks packet by packet
// without unpacking them.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "engine/document/byte_source.h"
#include "engine/document/psd_header.h"
#include "engine/document/source_reader.h"
#include "engine/steps/steps.h"
#include "platform/whole_file.h"

namespace qm {

namespace {

std::string truncated(std::uint64_t size, std::uint64_t needed) {
  return "damaged or truncated: the file ends at byte " + std::to_string(size) + ", its image data needs " +
         std::to_string(needed);
}

// Walks the PackBits packets of one row the way the decoder unpacks them:
// true when they fill exactly `width` bytes, no packet running past the
// row or past the packed bytes.
bool packedRowFills(const unsigned char* in, std::size_t size, std::uint64_t width) {
  std::size_t i = 0;
  std::uint64_t o = 0;
  while (i < size && o < width) {
    const int n = static_cast<signed char>(in[i++]);  // NOLINT(bugprone-signed-char-misuse): signed by design
    if (n >= 0) {
      const std::uint64_t count = static_cast<std::uint64_t>(n) + 1;
      if (count > size - i || count > width - o) return false;
      i += static_cast<std::size_t>(count);
      o += count;
    } else if (n != -128) {
      const std::uint64_t count = static_cast<std::uint64_t>(1 - n);
      if (i >= size || count > width - o) return false;
      ++i;
      o += count;
    }
  }
  return o == width;
}

std::string badRow(std::uint64_t row, std::uint64_t height) {
  return "damaged: row " + std::to_string(row % height + 1) + " of channel " + std::to_string(row / height + 1) +
         " of the merged image does not unpack to its width";
}

// The rows in file order, read in blocks of whole rows so that a large
// document costs a few hundred reads, not one per row.
std::optional<std::string> checkPackedRows(const ByteSource& file, std::uint64_t at,
                                           const std::vector<std::uint32_t>& lengths, std::uint64_t rowBytes,
                                           std::uint64_t height) {
  constexpr std::uint64_t kBlock = std::uint64_t{1} << 20;
  std::vector<unsigned char> block;
  std::size_t row = 0;
  while (row < lengths.size()) {
    std::size_t last = row;
    std::uint64_t bytes = 0;
    while (last < lengths.size() && (last == row || bytes + lengths[last] <= kBlock)) bytes += lengths[last++];
    block.resize(static_cast<std::size_t>(bytes));
    if (!file.read(at, block.data(), block.size())) return truncated(file.size(), at + bytes);
    std::size_t offset = 0;
    for (; row < last; ++row) {
      const auto length = static_cast<std::size_t>(lengths[row]);
      if (!packedRowFills(block.data() + offset, length, rowBytes)) return badRow(row, height);
      offset += length;
    }
    at += bytes;
  }
  return std::nullopt;
}

}  // namespace

std::optional<FileBytes> openDocument(const std::string& path, std::string& failure) {
  int openError = 0;
  std::optional<RegularFile> opened = openRegularFile(path, &openError);
  if (!opened && openError != 0) failure = "cannot be read: " + std::string(std::strerror(openError));
  if (!opened && openError == 0) failure = "not a regular file";
  if (!opened) return std::nullopt;
  return std::optional<FileBytes>(std::in_place, std::move(*opened));
}

std::optional<std::string> documentProblem(const std::string& path) {
  std::string failure;
  const std::optional<FileBytes> file = openDocument(path, failure);
  if (!file) return failure;
  return documentProblem(*file);
}

std::optional<std::string> documentProblem(const ByteSource& file) {
  const PsdHeaderFields fields = readPsdHeader(file);
  if (!fields.signature) return "not a Photoshop document";
  if (!fields.complete) return truncated(file.size(), kPsdHeaderBytes);
  if (!knownPsdVersion(fields.version)) return "not a Photoshop document (unknown version)";
  const PsdHeader& header = fields.header;
  const bool large = header.large;
  const std::uint64_t channels = header.channels;
  const std::uint64_t height = header.height;
  const std::uint64_t width = header.width;
  const std::uint64_t depth = header.depth;
  if (!possiblePsdSize(header))
    return "damaged: impossible header (" + std::to_string(width) + " x " + std::to_string(height) + ", " +
           std::to_string(channels) + " channels)";
  if (!knownPsdMode(fields.mode) || !knownPsdDepth(header.depth))
    return "colour mode " + std::to_string(fields.mode) + " at " + std::to_string(depth) + " bits is not supported";

  const PsdSections sections = readPsdSections(file, large);
  if (sections.cut) return truncated(file.size(), sections.needed);
  SourceReader merged(file, sections.imageData, file.size());
  const std::uint64_t compression = merged.u16();
  if (!merged.ok()) return truncated(file.size(), sections.imageData + 2);
  std::uint64_t at = merged.pos();
  const std::uint64_t rows = channels * height;
  const std::uint64_t rowBytes = (width * depth + 7) / 8;
  switch (static_cast<PsdCompression>(compression)) {
    case PsdCompression::Raw:
      if (at + rows * rowBytes > file.size()) return truncated(file.size(), at + rows * rowBytes);
      return std::nullopt;
    case PsdCompression::PackBits: {
      // A table of packed row lengths, then the rows.
      const std::uint64_t entryBytes = large ? 4 : 2;
      if (at + rows * entryBytes > file.size()) return truncated(file.size(), at + rows * entryBytes);
      std::vector<unsigned char> table(static_cast<std::size_t>(rows * entryBytes));
      if (!file.read(at, table.data(), table.size())) return truncated(file.size(), at + table.size());
      // PackBits covers at most 128 bytes with 2; a shorter row is forged
      // or zeroed, and costs nothing to tell.
      const std::uint64_t shortest = (rowBytes + 127) / 128 * 2;
      std::vector<std::uint32_t> lengths(static_cast<std::size_t>(rows));
      std::uint64_t packed = 0;
      for (std::size_t i = 0; i < lengths.size(); ++i) {
        const auto length = static_cast<std::uint32_t>(bigEndian(std::span(table).subspan(i * entryBytes, entryBytes)));
        if (length < shortest) return badRow(i, height);
        lengths[i] = length;
        packed += length;
      }
      const std::uint64_t rowsAt = at + table.size();
      table = {};
      if (rowsAt + packed > file.size()) return truncated(file.size(), rowsAt + packed);
      return checkPackedRows(file, rowsAt, lengths, rowBytes, height);
    }
    case PsdCompression::Zip:
    case PsdCompression::ZipWithPrediction:
      if (at >= file.size()) return truncated(file.size(), at + 1);
      // zlib cannot expand more than about 1032 times: a header claiming
      // more pixels than the rest of the file could inflate to is forged,
      // and the library's reader would allocate them all first.
      if (rows * rowBytes > (file.size() - at) * 1100 + 1024)
        return "damaged: the merged image's zip data (" + std::to_string(file.size() - at) +
               " bytes) cannot hold its " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
      return std::nullopt;
    default: return "damaged: unknown compression " + std::to_string(compression);
  }
}

}  // namespace qm
