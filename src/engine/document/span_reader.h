// A big-endian reader over bytes already in memory: the tagged blocks,
// descriptors, patterns and adjustment records of a document. Reading past
// the end (or past `end`, when given) yields zeros and marks the reader
// failed, so a parser reads on and checks ok() once where it matters.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>
#include <string>

namespace qm {

// The big-endian unsigned number the bytes spell (at most eight of them).
inline std::uint64_t bigEndian(std::span<const std::uint8_t> bytes) {
  std::uint64_t value = 0;
  for (std::uint8_t byte : bytes) value = value << 8 | byte;
  return value;
}

class SpanReader {
 public:
  explicit SpanReader(std::span<const std::uint8_t> bytes) : bytes_(bytes), end_(bytes.size()) {}
  SpanReader(std::span<const std::uint8_t> bytes, std::size_t begin, std::size_t end)
      : bytes_(bytes), pos_(begin), end_(std::min(end, bytes.size())) {}

  bool ok() const { return ok_; }
  void fail() { ok_ = false; }
  std::size_t pos() const { return pos_; }
  std::size_t left() const { return pos_ < end_ ? end_ - pos_ : 0; }
  const std::uint8_t* here() const { return bytes_.data() + pos_; }

  std::uint64_t number(std::size_t count) {
    if (!ok_ || count > left()) {
      ok_ = false;
      return 0;
    }
    const std::uint64_t value = bigEndian(bytes_.subspan(pos_, count));
    pos_ += count;
    return value;
  }
  std::uint8_t u8() { return static_cast<std::uint8_t>(number(1)); }
  std::uint16_t u16() { return static_cast<std::uint16_t>(number(2)); }
  std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(number(4)); }
  float f32() { return std::bit_cast<float>(u32()); }
  double f64() { return std::bit_cast<double>(number(8)); }

  std::string bytes(std::size_t count) {
    if (!ok_ || count > left()) {
      ok_ = false;
      return {};
    }
    std::string out(reinterpret_cast<const char*>(here()), count);
    pos_ += count;
    return out;
  }
  // A skip past the end leaves the reader failed at the end.
  void skip(std::uint64_t count) {
    if (count <= left()) {
      pos_ += static_cast<std::size_t>(count);
    } else {
      ok_ = false;
      pos_ = end_;
    }
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  std::size_t end_;
  bool ok_ = true;
};

}  // namespace qm
