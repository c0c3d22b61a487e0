// Writes Photoshop documents (and large documents) byte by byte from
// sample values the caller chooses, so tests (and the sample and benchmark generators) know every
// pixel of their input exactly. Only the merged image is written: no
// layers, no resources beyond what indexed colour needs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qm::test {

enum class PsdColourMode : std::uint16_t { Bitmap = 0, Greyscale = 1, Indexed = 2, Rgb = 3, Cmyk = 4 };
enum class PsdCompression : std::uint16_t { Raw = 0, Rle = 1 };

struct PsdImage {
  PsdColourMode mode = PsdColourMode::Rgb;
  unsigned width = 0;
  unsigned height = 0;
  // Bits per channel: 1 (Bitmap only), 8, 16, or 32 (floats, written as
  // sample / 65535).
  unsigned depth = 8;
  unsigned channels = 3;  // colour channels plus extra (alpha) channels
  PsdCompression compression = PsdCompression::Raw;
  // The large document format (version 2): 8-byte section lengths, 4-byte
  // packed row lengths.
  bool large = false;
  // Indexed colour: up to 256 entries of red, green, blue.
  std::vector<std::array<std::uint8_t, 3>> palette;
  // Indexed colour as some programs save it: a colour table of only the
  // entries in use, and no resource saying how many there are.
  bool shortColourTable = false;
  // An embedded ICC profile; empty for none.
  std::vector<std::uint8_t> iccProfile;
  // Samples, channel after channel, rows top to bottom. Bitmap mode: 1 is
  // black, 0 white.
  std::vector<std::uint16_t> samples;

  PsdImage() = default;
  PsdImage(PsdColourMode mode, unsigned width, unsigned height, unsigned depth, unsigned channels,
           PsdCompression compression = PsdCompression::Raw);

  std::uint16_t& at(unsigned channel, unsigned x, unsigned y) {
    return samples[(static_cast<std::size_t>(channel) * height + y) * width + x];
  }
  std::uint16_t at(unsigned channel, unsigned x, unsigned y) const {
    return samples[(static_cast<std::size_t>(channel) * height + y) * width + x];
  }
  // Sets channels 0, 1, 2 (and 3 when there is one) of a pixel.
  void setPixel(unsigned x, unsigned y, std::uint16_t c0, std::uint16_t c1, std::uint16_t c2, std::uint16_t c3 = 0);
};

// The document as bytes.
std::string encodePsd(const PsdImage& image);

// Big-endian writers, as the file format stores its numbers.
void put8(std::string& out, unsigned value);
void put16(std::string& out, unsigned value);
void put32(std::string& out, std::uint32_t value);
void put64(std::string& out, std::uint64_t value);
// Writes the document (creating nothing but the file) and returns the path;
// empty when the file could not be written.
std::string writePsd(const std::string& path, const PsdImage& image);

// PackBits, as Photoshop compresses each row of each channel.
std::vector<std::uint8_t> packBits(const std::uint8_t* bytes, std::size_t size);

}  // namespace qm::test
