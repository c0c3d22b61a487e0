#include "engine/document/patterns.h"

#include <algorithm>
#include <cmath>

#include "engine/document/psd_pixels.h"
#include "engine/document/span_reader.h"

namespace qm {

namespace {

constexpr std::uint64_t kMaxPatternPixels = 1u << 24;
constexpr unsigned kMaxPatterns = 1000;

using Bytes = SpanReader;

unsigned channelsOf(unsigned mode) {
  switch (mode) {
    case 1: return 1;  // greyscale
    case 3: return 3;  // RGB
    case 4: return 4;  // CMYK
    default: return 0;
  }
}

// One channel of the pattern's image: raw or PackBits, 8 bits.
bool readChannel(Bytes& in, unsigned width, unsigned height, std::vector<float>& plane) {
  if (in.u32() == 0) return false;  // not written
  const std::size_t length = in.u32();
  if (!in.ok() || length < 23 || length > in.left()) return false;
  const std::size_t end = in.pos() + length;
  in.skip(4);  // depth
  const std::int32_t top = static_cast<std::int32_t>(in.u32()), left = static_cast<std::int32_t>(in.u32());
  const std::int32_t bottom = static_cast<std::int32_t>(in.u32()), right = static_cast<std::int32_t>(in.u32());
  const unsigned depth = in.u16();
  const unsigned compression = in.u8();
  if (!in.ok() || depth != 8 || bottom - top != static_cast<std::int64_t>(height) ||
      right - left != static_cast<std::int64_t>(width))
    return false;
  plane.assign(std::size_t{width} * height, 0.0f);
  std::vector<std::uint8_t> row(width);
  if (compression == 0) {
    if (in.left() < plane.size()) return false;
    for (std::size_t i = 0; i < plane.size(); ++i) plane[i] = in.here()[i] / 255.0f;
  } else if (compression == 1) {
    std::vector<std::size_t> lengths(height);
    for (auto& n : lengths) n = in.u16();
    for (unsigned y = 0; y < height; ++y) {
      if (!in.ok() || lengths[y] > in.left() || !unpackBits(in.here(), lengths[y], row.data(), row.size()))
        return false;
      in.skip(lengths[y]);
      for (unsigned x = 0; x < width; ++x) plane[std::size_t{y} * width + x] = row[x] / 255.0f;
    }
  } else {
    return false;
  }
  in.skip(end > in.pos() ? end - in.pos() : 0);
  return in.ok();
}

// One pattern from `in`, which spans it; false when it cannot be drawn.
bool readPattern(Bytes& in, PsdMode mode, unsigned channels, Pattern& out) {
  in.skip(4);  // version
  const unsigned patternMode = in.u32();
  out.height = in.u16();
  out.width = in.u16();
  const std::size_t nameUnits = in.u32();
  if (!in.ok() || nameUnits > in.left() / 2) return false;
  in.skip(nameUnits * 2);
  const std::size_t idLength = in.u8();
  if (!in.ok() || idLength > in.left()) return false;
  out.id.assign(reinterpret_cast<const char*>(in.here()), idLength);
  in.skip(idLength);
  const unsigned stored = channelsOf(patternMode);
  if (stored == 0 || out.width == 0 || out.height == 0 || std::uint64_t{out.width} * out.height > kMaxPatternPixels)
    return false;
  // A greyscale pattern serves any mode; others only their own.
  if (stored != 1 && static_cast<unsigned>(mode) != patternMode) return false;
  in.skip(4 + 4 + 16);  // the array list's version, length and rectangle
  const unsigned arrays = in.u32();
  if (!in.ok() || arrays < stored) return false;
  std::vector<std::vector<float>> planes(stored);
  for (unsigned c = 0; c < stored; ++c)
    if (!readChannel(in, out.width, out.height, planes[c])) return false;
  out.colour.clear();
  for (unsigned c = 0; c < channels; ++c) out.colour.push_back(planes[stored == 1 ? 0 : c]);
  // A grey pattern in a CMYK document: no colour ink, the grey as black's.
  if (stored == 1 && mode == PsdMode::Cmyk && channels == 4) {
    for (unsigned c = 0; c < 3; ++c) std::fill(out.colour[c].begin(), out.colour[c].end(), 1.0f);
  }
  return true;
}

}  // namespace

void readPatterns(std::span<const std::uint8_t> block, PsdMode mode, unsigned channels, std::vector<Pattern>& out) {
  Bytes in(block, 0, block.size());
  while (in.ok() && in.left() >= 4 && out.size() < kMaxPatterns) {
    const std::size_t length = in.u32();
    if (!in.ok() || length > in.left()) return;
    const std::size_t begin = in.pos();
    Bytes one(block, begin, begin + length);
    Pattern pattern;
    if (readPattern(one, mode, channels, pattern)) out.push_back(std::move(pattern));
    in.skip(length + (4 - length % 4) % 4 <= in.left() ? length + (4 - length % 4) % 4 : length);
  }
}

bool paintPattern(const DescriptorValue& description, const std::vector<Pattern>& patterns, const PsdRect& area,
                  FillPaint& out) {
  const DescriptorValue* named = description.find("Ptrn");
  if (!named || area.empty()) return false;
  const std::string id = named->textOr("Idnt", "");
  const auto found =
      std::find_if(patterns.begin(), patterns.end(), [&](const Pattern& pattern) { return pattern.id == id; });
  if (found == patterns.end()) return false;
  const Pattern& pattern = *found;
  double scale = description.numberOr("Scl ", 100) / 100;
  if (!std::isfinite(scale) || scale < 0.01) scale = 1;
  double phaseX = 0, phaseY = 0;
  if (const DescriptorValue* phase = description.find("phase")) {
    phaseX = phase->numberOr("Hrzn", 0);
    phaseY = phase->numberOr("Vrtc", 0);
    if (!std::isfinite(phaseX) || !std::isfinite(phaseY)) phaseX = phaseY = 0;
  }
  const std::size_t count = static_cast<std::size_t>(area.width() * area.height());
  out.colour.assign(pattern.colour.size(), std::vector<float>(count));
  out.alpha.assign(count, 1.0f);
  const auto wrap = [](double v, unsigned size) {
    const double m = std::fmod(v, static_cast<double>(size));
    return static_cast<std::size_t>(std::clamp(m < 0 ? m + size : m, 0.0, size - 1.0));
  };
  std::size_t i = 0;
  for (std::int64_t y = area.top; y < area.bottom; ++y) {
    const std::size_t py = wrap(std::floor((static_cast<double>(y) - phaseY) / scale), pattern.height);
    for (std::int64_t x = area.left; x < area.right; ++x, ++i) {
      const std::size_t px = wrap(std::floor((static_cast<double>(x) - phaseX) / scale), pattern.width);
      for (std::size_t c = 0; c < pattern.colour.size(); ++c)
        out.colour[c][i] = pattern.colour[c][py * pattern.width + px];
    }
  }
  return true;
}

}  // namespace qm
