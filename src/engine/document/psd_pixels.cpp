#include "engine/document/psd_pixels.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <span>

#include "engine/document/source_reader.h"

namespace qm {

namespace {

constexpr std::uint64_t kLargestInflatedChannel = 1ull << 32;

std::uint64_t rowBytes(std::uint64_t width, unsigned depth) { return (width * depth + 7) / 8; }

float sample(const std::uint8_t* row, std::uint64_t x, unsigned depth) {
  switch (depth) {
    case 8: return static_cast<float>(row[x]) / 255.0f;
    case 16: return static_cast<float>(row[2 * x] << 8 | row[2 * x + 1]) / 65535.0f;
    case 32: {
      const std::uint32_t bits =
          static_cast<std::uint32_t>(row[4 * x]) << 24 | row[4 * x + 1] << 16 | row[4 * x + 2] << 8 | row[4 * x + 3];
      float value = 0;
      std::memcpy(&value, &bits, 4);
      return value == value ? value : 0.0f;  // NaN reads as 0
    }
    default: return (row[x / 8] >> (7 - x % 8) & 1) ? 0.0f : 1.0f;  // bitmap: 1 is black
  }
}

std::size_t areaSamples(const PsdRect& area) { return static_cast<std::size_t>(area.width() * area.height()); }

// Keeps the samples of one decoded row that fall inside the stored area.
// The plane is made at the first row that decoded, so a channel refused at
// its first row never costs its full size.
void storeRow(const std::uint8_t* row, std::int64_t y, const PsdRect& rect, unsigned depth, Plane& out) {
  if (y < out.area.top || y >= out.area.bottom) return;
  if (out.samples.empty()) out.samples.assign(areaSamples(out.area), 0.0f);
  float* target = out.samples.data() + static_cast<std::size_t>((y - out.area.top) * out.area.width());
  const std::int64_t from = out.area.left - std::int64_t{rect.left};
  for (std::int64_t x = 0; x < out.area.width(); ++x)
    target[x] = sample(row, static_cast<std::uint64_t>(from + x), depth);
}

// Undoes the prediction of zip-compressed rows: byte deltas for 8 bits,
// 16-bit deltas for 16, and for 32 byte deltas over the row whose four byte
// planes were stored one after the other.
void unpredictRow(std::uint8_t* row, std::uint64_t width, unsigned depth, std::vector<std::uint8_t>& scratch) {
  if (depth == 8) {
    for (std::uint64_t x = 1; x < width; ++x) row[x] = static_cast<std::uint8_t>(row[x] + row[x - 1]);
  } else if (depth == 16) {
    for (std::uint64_t x = 1; x < width; ++x) {
      const unsigned value = ((row[2 * x] << 8 | row[2 * x + 1]) + (row[2 * x - 2] << 8 | row[2 * x - 1])) & 0xFFFF;
      row[2 * x] = static_cast<std::uint8_t>(value >> 8);
      row[2 * x + 1] = static_cast<std::uint8_t>(value);
    }
  } else if (depth == 32) {
    const std::uint64_t bytes = width * 4;
    for (std::uint64_t i = 1; i < bytes; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - 1]);
    scratch.assign(row, row + bytes);
    for (std::uint64_t x = 0; x < width; ++x)
      for (int b = 0; b < 4; ++b)
        row[4 * x + static_cast<std::uint64_t>(b)] =
            scratch[static_cast<std::size_t>(static_cast<std::uint64_t>(b) * width + x)];
  }
}

// Inflates a zip stream a row at a time, reading the compressed bytes in
// blocks: neither the channel's compressed bytes nor its inflated size is
// ever held whole, so a stream that inflates to gigabytes costs a row.
class RowInflater {
 public:
  RowInflater(const ByteSource& bytes, std::uint64_t at, std::uint64_t size) : bytes_(bytes), at_(at), left_(size) {
    ready_ = inflateInit(&stream_) == Z_OK;
  }
  ~RowInflater() {
    if (ready_) inflateEnd(&stream_);
  }
  RowInflater(const RowInflater&) = delete;
  RowInflater& operator=(const RowInflater&) = delete;

  // False when the stream ends, or is damaged, before the row is full.
  bool next(std::uint8_t* row, std::size_t size) {
    if (!ready_) return false;
    stream_.next_out = row;
    stream_.avail_out = static_cast<uInt>(size);
    while (stream_.avail_out > 0) {
      if (stream_.avail_in == 0 && left_ > 0) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left_, kBlock));
        block_.resize(count);
        if (!bytes_.read(at_, block_.data(), count)) return false;
        at_ += count;
        left_ -= count;
        stream_.next_in = block_.data();
        stream_.avail_in = static_cast<uInt>(count);
      }
      const int status = inflate(&stream_, Z_NO_FLUSH);
      if (status == Z_STREAM_END) return stream_.avail_out == 0;
      if (status != Z_OK) return false;
    }
    return true;
  }

 private:
  static constexpr std::uint64_t kBlock = 1u << 16;
  const ByteSource& bytes_;
  std::uint64_t at_;
  std::uint64_t left_;
  std::vector<std::uint8_t> block_;
  z_stream stream_{};
  bool ready_ = false;
};

// Decodes rows [0, height) of `rect` from the compressed data at `data`.
// For PackBits the caller passes the table of row lengths.
std::optional<std::string> decodeRows(const ByteSource& bytes, PsdCompression compression, std::uint64_t data,
                                      std::uint64_t dataEnd, const PsdRect& rect, const PsdHeader& header,
                                      const std::vector<std::uint64_t>* rowLengths, std::size_t firstRow, Plane& out) {
  const std::uint64_t width = static_cast<std::uint64_t>(rect.width());
  const std::uint64_t height = static_cast<std::uint64_t>(rect.height());
  const std::uint64_t stride = rowBytes(width, header.depth);
  const std::uint64_t available = dataEnd > data ? dataEnd - data : 0;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(stride));
  switch (compression) {
    case PsdCompression::Raw: {
      if (stride * height > available) return std::string("damaged: raw pixels run past their channel");
      for (std::uint64_t y = 0; y < height; ++y) {
        const std::int64_t docY = rect.top + static_cast<std::int64_t>(y);
        if (docY < out.area.top || docY >= out.area.bottom) continue;
        if (!bytes.read(data + y * stride, row.data(), row.size())) return std::string("damaged: unreadable pixels");
        storeRow(row.data(), docY, rect, header.depth, out);
      }
      return std::nullopt;
    }
    case PsdCompression::PackBits: {
      std::uint64_t at = data;
      std::vector<std::uint8_t> packed;
      for (std::uint64_t y = 0; y < height; ++y) {
        const std::uint64_t length = (*rowLengths)[firstRow + y];
        const std::int64_t docY = rect.top + static_cast<std::int64_t>(y);
        if (length > dataEnd - std::min(at, dataEnd)) return std::string("damaged: packed rows run past their channel");
        if (docY >= out.area.top && docY < out.area.bottom) {
          // PackBits makes at most 128 bytes of 2; a longer row is forged.
          if (stride > length * 64 + 128) return std::string("damaged: a packed row is too short for its width");
          packed.resize(static_cast<std::size_t>(length));
          if (!bytes.read(at, packed.data(), packed.size())) return std::string("damaged: unreadable pixels");
          if (!unpackBits(packed.data(), packed.size(), row.data(), row.size()))
            return std::string("damaged: a packed row does not fill its width");
          storeRow(row.data(), docY, rect, header.depth, out);
        }
        at += length;
      }
      return std::nullopt;
    }
    case PsdCompression::Zip:
    case PsdCompression::ZipWithPrediction: {
      if (header.depth == 1) return std::string("damaged: zip-compressed bitmap channel");
      // zlib cannot expand more than about 1032 times.
      if (stride * height > available * 1100 + 1024) return std::string("damaged: zip data too short for its size");
      // Memory no longer grows with the inflated size, but the time does.
      if (stride * height > kLargestInflatedChannel)
        return "too large: a zip-compressed channel inflates to " + std::to_string(stride * height >> 20) +
               " MiB, more than the " + std::to_string(kLargestInflatedChannel >> 20) + " MiB read of one channel";
      RowInflater inflater(bytes, data, available);
      std::vector<std::uint8_t> scratch;
      for (std::uint64_t y = 0; y < height; ++y) {
        if (!inflater.next(row.data(), row.size()))
          return std::string("damaged: zip data does not inflate to the channel's size");
        if (compression == PsdCompression::ZipWithPrediction) unpredictRow(row.data(), width, header.depth, scratch);
        storeRow(row.data(), rect.top + static_cast<std::int64_t>(y), rect, header.depth, out);
      }
      return std::nullopt;
    }
    default: return "damaged: unknown compression " + std::to_string(static_cast<unsigned>(compression));
  }
}

PsdRect intersect(const PsdRect& a, const PsdRect& b) {
  PsdRect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom), std::min(a.right, b.right)};
  if (r.empty()) r = {0, 0, 0, 0};
  return r;
}

std::optional<std::vector<std::uint64_t>> readRowLengths(const ByteSource& bytes, std::uint64_t at, std::uint64_t rows,
                                                         bool large, std::uint64_t end) {
  const std::size_t entry = large ? 4 : 2;
  SourceReader reader(bytes, at, end);
  if (rows * entry > reader.left()) return std::nullopt;
  // One read for the table: a row at a time would cost a read per row.
  std::vector<std::uint8_t> table(static_cast<std::size_t>(rows * entry));
  if (!reader.take(table.data(), table.size())) return std::nullopt;
  std::vector<std::uint64_t> lengths(static_cast<std::size_t>(rows));
  for (std::size_t i = 0; i < lengths.size(); ++i) lengths[i] = bigEndian(std::span(table).subspan(i * entry, entry));
  return lengths;
}

std::optional<std::string> decodeChannelRows(const ByteSource& bytes, const PsdChannel& channel, const PsdRect& rect,
                                             const PsdHeader& header, Plane& out) {
  if (rect.empty()) return std::nullopt;
  if (rect.width() > 300000 || rect.height() > 300000) return std::string("damaged: a layer of impossible size");
  if (channel.length < 2) return std::string("damaged: a channel without its compression");
  SourceReader reader(bytes, channel.offset, channel.offset + channel.length);
  const auto compression = static_cast<PsdCompression>(reader.u16());
  if (!reader.ok()) return std::string("damaged: unreadable channel");
  const std::uint64_t data = reader.pos();
  const std::uint64_t end = channel.offset + channel.length;
  if (compression == PsdCompression::PackBits) {
    const std::uint64_t rows = static_cast<std::uint64_t>(rect.height());
    const auto lengths = readRowLengths(bytes, data, rows, header.large, end);
    if (!lengths) return std::string("damaged: the row lengths run past their channel");
    return decodeRows(bytes, PsdCompression::PackBits, data + rows * (header.large ? 4 : 2), end, rect, header,
                      &*lengths, 0, out);
  }
  return decodeRows(bytes, compression, data, end, rect, header, nullptr, 0, out);
}

std::optional<std::string> decodeMergedRows(const ByteSource& bytes, const PsdDocument& document, unsigned count,
                                            std::vector<Plane>& planes) {
  const PsdHeader& header = document.header;
  const PsdRect rect{0, 0, static_cast<std::int32_t>(header.height), static_cast<std::int32_t>(header.width)};
  count = std::min(count, header.channels);
  SourceReader reader(bytes, document.imageDataOffset, bytes.size());
  const auto compression = static_cast<PsdCompression>(reader.u16());
  if (!reader.ok()) return std::string("damaged: the merged image is missing");
  const std::uint64_t data = reader.pos();
  const std::uint64_t end = bytes.size();
  planes.assign(count, Plane{rect, {}});
  const std::uint64_t rows = header.height;
  if (compression == PsdCompression::Raw) {
    const std::uint64_t size = rowBytes(header.width, header.depth) * rows;
    for (unsigned c = 0; c < count; ++c)
      if (auto problem =
              decodeRows(bytes, PsdCompression::Raw, data + c * size, end, rect, header, nullptr, 0, planes[c]))
        return problem;
    return std::nullopt;
  }
  if (compression != PsdCompression::PackBits)
    return "the merged image uses compression " + std::to_string(static_cast<unsigned>(compression));
  const auto lengths = readRowLengths(bytes, data, rows * header.channels, header.large, end);
  if (!lengths) return std::string("damaged: the row lengths run past the end");
  std::uint64_t at = data + rows * header.channels * (header.large ? 4 : 2);
  for (unsigned c = 0; c < count; ++c) {
    if (auto problem =
            decodeRows(bytes, PsdCompression::PackBits, at, end, rect, header, &*lengths, c * rows, planes[c]))
      return problem;
    for (std::uint64_t y = 0; y < rows; ++y) at += (*lengths)[static_cast<std::size_t>(c * rows + y)];
  }
  return std::nullopt;
}

}  // namespace

bool unpackBits(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize) {
  std::size_t i = 0, o = 0;
  while (i < inSize && o < outSize) {
    const int n = static_cast<std::int8_t>(in[i++]);  // NOLINT(bugprone-signed-char-misuse): signed by design
    if (n >= 0) {
      const std::size_t count = static_cast<std::size_t>(n) + 1;
      if (count > inSize - i || count > outSize - o) return false;
      std::memcpy(out + o, in + i, count);
      i += count;
      o += count;
    } else if (n != -128) {
      const std::size_t count = static_cast<std::size_t>(1 - n);
      if (i >= inSize || count > outSize - o) return false;
      std::memset(out + o, in[i++], count);
      o += count;
    }
  }
  return o == outSize;
}

std::optional<std::string> decodeChannel(const ByteSource& bytes, const PsdChannel& channel, const PsdRect& rect,
                                         const PsdRect& clip, const PsdHeader& header, Plane& out) {
  out.area = intersect(rect, clip);
  out.samples.clear();
  std::optional<std::string> problem = decodeChannelRows(bytes, channel, rect, header, out);
  if (!problem && out.samples.empty()) out.samples.assign(areaSamples(out.area), 0.0f);
  return problem;
}

std::optional<std::string> decodeMergedImage(const ByteSource& bytes, const PsdDocument& document, unsigned count,
                                             std::vector<Plane>& planes) {
  planes.clear();
  std::optional<std::string> problem = decodeMergedRows(bytes, document, count, planes);
  for (Plane& plane : planes)
    if (!problem && plane.samples.empty()) plane.samples.assign(areaSamples(plane.area), 0.0f);
  return problem;
}

}  // namespace qm
