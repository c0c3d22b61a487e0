#include "support/psd_writer.h"

#include <fstream>

namespace qm::test {

void put8(std::string& out, unsigned value) { out += static_cast<char>(value & 0xFF); }

void put16(std::string& out, unsigned value) {
  put8(out, value >> 8);
  put8(out, value);
}

void put32(std::string& out, std::uint32_t value) {
  put16(out, value >> 16);
  put16(out, value & 0xFFFF);
}

void put64(std::string& out, std::uint64_t value) {
  put32(out, static_cast<std::uint32_t>(value >> 32));
  put32(out, static_cast<std::uint32_t>(value));
}

namespace {

// One row of one channel as the file stores it: big-endian samples, or
// eight pixels to a byte in Bitmap mode.
std::vector<std::uint8_t> rowBytes(const PsdImage& image, unsigned channel, unsigned y) {
  std::vector<std::uint8_t> row;
  if (image.depth == 1) {
    row.assign((image.width + 7) / 8, 0);
    for (unsigned x = 0; x < image.width; ++x)
      if (image.at(channel, x, y)) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  } else if (image.depth == 16) {
    row.reserve(image.width * 2);
    for (unsigned x = 0; x < image.width; ++x) {
      row.push_back(static_cast<std::uint8_t>(image.at(channel, x, y) >> 8));
      row.push_back(static_cast<std::uint8_t>(image.at(channel, x, y) & 0xFF));
    }
  } else {
    row.reserve(image.width);
    for (unsigned x = 0; x < image.width; ++x) row.push_back(static_cast<std::uint8_t>(image.at(channel, x, y)));
  }
  return row;
}

void imageResource(std::string& out, unsigned id, unsigned value) {
  out += "8BIM";
  put16(out, id);
  put16(out, 0);  // empty name, padded to an even length
  put32(out, 2);
  put16(out, value);
}

}  // namespace

PsdImage::PsdImage(PsdColourMode mode_, unsigned width_, unsigned height_, unsigned depth_, unsigned channels_,
                   PsdCompression compression_)
    : mode(mode_),
      width(width_),
      height(height_),
      depth(depth_),
      channels(channels_),
      compression(compression_),
      samples(static_cast<std::size_t>(width_) * height_ * channels_, 0) {}

void PsdImage::setPixel(unsigned x, unsigned y, std::uint16_t c0, std::uint16_t c1, std::uint16_t c2,
                        std::uint16_t c3) {
  at(0, x, y) = c0;
  if (channels > 1) at(1, x, y) = c1;
  if (channels > 2) at(2, x, y) = c2;
  if (channels > 3) at(3, x, y) = c3;
}

std::vector<std::uint8_t> packBits(const std::uint8_t* bytes, std::size_t size) {
  std::vector<std::uint8_t> out;
  std::size_t i = 0;
  while (i < size) {
    std::size_t run = 1;
    while (i + run < size && run < 128 && bytes[i + run] == bytes[i]) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(257 - run));  // -(run - 1) as a signed byte
      out.push_back(bytes[i]);
      i += run;
      continue;
    }
    // A literal stretch ends where a run of at least two begins.
    std::size_t start = i;
    std::size_t length = 0;
    while (i < size && length < 128) {
      if (i + 1 < size && bytes[i + 1] == bytes[i]) break;
      ++i;
      ++length;
    }
    out.push_back(static_cast<std::uint8_t>(length - 1));
    out.insert(out.end(), bytes + start, bytes + start + length);
  }
  return out;
}

std::string encodePsd(const PsdImage& image) {
  std::string out;
  out += "8BPS";
  put16(out, image.large ? 2 : 1);
  out.append(6, '\0');
  put16(out, image.channels);
  put32(out, image.height);
  put32(out, image.width);
  put16(out, image.depth);
  put16(out, static_cast<unsigned>(image.mode));

  if (image.mode == PsdColourMode::Indexed) {
    // All reds, then all greens, then all blues, always 256 of each.
    put32(out, 768);
    for (unsigned component = 0; component < 3; ++component)
      for (unsigned i = 0; i < 256; ++i)
        out += static_cast<char>(i < image.palette.size() ? image.palette[i][component] : 0);
    // Readers use the table only when the document says how much of it is
    // defined.
    std::string resources;
    imageResource(resources, 1046, static_cast<unsigned>(image.palette.size()));
    put32(out, static_cast<std::uint32_t>(resources.size()));
    out += resources;
  } else {
    put32(out, 0);
    put32(out, 0);
  }
  // No layer and mask information.
  if (image.large)
    put64(out, 0);
  else
    put32(out, 0);

  put16(out, static_cast<unsigned>(image.compression));
  if (image.compression == PsdCompression::Raw) {
    for (unsigned c = 0; c < image.channels; ++c)
      for (unsigned y = 0; y < image.height; ++y) {
        auto row = rowBytes(image, c, y);
        out.append(reinterpret_cast<const char*>(row.data()), row.size());
      }
    return out;
  }
  std::vector<std::vector<std::uint8_t>> packed;
  packed.reserve(static_cast<std::size_t>(image.channels) * image.height);
  for (unsigned c = 0; c < image.channels; ++c)
    for (unsigned y = 0; y < image.height; ++y) {
      auto row = rowBytes(image, c, y);
      packed.push_back(packBits(row.data(), row.size()));
    }
  for (const auto& row : packed) {
    if (image.large)
      put32(out, static_cast<std::uint32_t>(row.size()));
    else
      put16(out, static_cast<unsigned>(row.size()));
  }
  for (const auto& row : packed) out.append(reinterpret_cast<const char*>(row.data()), row.size());
  return out;
}

std::string writePsd(const std::string& path, const PsdImage& image) {
  std::string bytes = encodePsd(image);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return {};
  file.close();
  return file ? path : std::string();
}

}  // namespace qm::test
