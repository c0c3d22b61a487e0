#include "support/psd_writer.h"

#include <cstring>
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

namespace {

// One row of one channel as the file stores it: big-endian samples, or
// eight pixels to a byte in Bitmap mode.
std::vector<std::uint8_t> rowBytes(const PsdImage& image, unsigned channel, unsigned y) {
  std::vector<std::uint8_t> row;
  if (image.depth == 1) {
    row.assign((image.width + 7) / 8, 0);
    for (unsigned x = 0; x < image.width; ++x)
      if (image.at(channel, x, y)) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  } else if (image.depth == 32) {
    for (unsigned x = 0; x < image.width; ++x) {
      const float value = static_cast<float>(image.at(channel, x, y)) / 65535.0f;
      std::uint32_t bits = 0;
      std::memcpy(&bits, &value, sizeof bits);
      for (int shift = 24; shift >= 0; shift -= 8) row.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
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
  put16(out, 1);
  out.append(6, '\0');
  put16(out, image.channels);
  put32(out, image.height);
  put32(out, image.width);
  put16(out, image.depth);
  put16(out, static_cast<unsigned>(image.mode));

  std::string resources;
  if (image.mode == PsdColourMode::Indexed) {
    // All reds, then all greens, then all blues, 256 of each unless short.
    const unsigned entries = image.shortColourTable ? static_cast<unsigned>(image.palette.size()) : 256;
    put32(out, 3 * entries);
    for (unsigned component = 0; component < 3; ++component)
      for (unsigned i = 0; i < entries; ++i)
        out += static_cast<char>(i < image.palette.size() ? image.palette[i][component] : 0);
    // Readers use the full table only when the document says how much of it
    // is defined.
    if (!image.shortColourTable) imageResource(resources, 1046, static_cast<unsigned>(image.palette.size()));
  } else {
    put32(out, 0);
  }
  if (!image.iccProfile.empty()) {
    resources += "8BIM";
    put16(resources, 0x040F);
    put16(resources, 0);
    put32(resources, static_cast<std::uint32_t>(image.iccProfile.size()));
    resources.append(image.iccProfile.begin(), image.iccProfile.end());
    if (image.iccProfile.size() % 2 != 0) resources += '\0';
  }
  put32(out, static_cast<std::uint32_t>(resources.size()));
  out += resources;
  put32(out, 0);  // no layer and mask information

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
  for (const auto& row : packed) put16(out, static_cast<unsigned>(row.size()));
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
