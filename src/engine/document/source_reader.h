// A big-endian reader over [begin, end) of a byte source: the sections,
// layer records and pixel data of a document, which stay in the file. It
// reads the way SpanReader reads bytes already in memory: a read past the
// end yields zeros and marks the reader failed, so a parser reads on and
// checks ok() once where a bad value would matter.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>

#include "engine/document/byte_source.h"
#include "engine/document/span_reader.h"

namespace qm {

class SourceReader {
 public:
  SourceReader(const ByteSource& bytes, std::uint64_t begin, std::uint64_t end)
      : bytes_(bytes), pos_(begin), end_(std::min(end, bytes.size())) {}

  const ByteSource& source() const { return bytes_; }
  bool ok() const { return ok_; }
  void fail() { ok_ = false; }
  std::uint64_t pos() const { return pos_; }
  std::uint64_t end() const { return end_; }
  std::uint64_t left() const { return pos_ < end_ ? end_ - pos_ : 0; }

  std::uint64_t number(std::size_t count) {
    std::array<std::uint8_t, 8> buffer{};
    count = std::min(count, buffer.size());
    if (!take(buffer.data(), count)) return 0;
    return bigEndian(std::span(buffer.data(), count));
  }
  std::uint8_t u8() { return static_cast<std::uint8_t>(number(1)); }
  std::uint16_t u16() { return static_cast<std::uint16_t>(number(2)); }
  std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(number(4)); }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  std::array<char, 4> key() {
    std::array<char, 4> k{};
    take(k.data(), k.size());
    return k;
  }
  // Fills `target` and moves past it; zeros and failed when it does not fit.
  bool take(void* target, std::size_t count) {
    if (!ok_ || count > left() || !bytes_.read(pos_, target, count)) {
      ok_ = false;
      if (count > 0) std::memset(target, 0, count);
      return false;
    }
    pos_ += count;
    return true;
  }
  // A skip or seek past the end leaves the reader failed at the end.
  void skip(std::uint64_t count) {
    if (count > left()) {
      ok_ = false;
      pos_ = end_;
    } else {
      pos_ += count;
    }
  }
  void seek(std::uint64_t at) {
    if (at > end_) {
      ok_ = false;
      pos_ = end_;
    } else {
      pos_ = at;
    }
  }

 private:
  const ByteSource& bytes_;
  std::uint64_t pos_;
  std::uint64_t end_;
  bool ok_ = true;
};

}  // namespace qm
