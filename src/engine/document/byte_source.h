// Where the document reader takes its bytes from: an open file read with
// pread, or bytes already in memory (tests, the fuzz target). Every read
// names its offset and length and fails, rather than reading short, when
// any byte lies past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "platform/file_descriptor.h"
#include "platform/whole_file.h"

namespace qm {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  virtual bool read(std::uint64_t offset, void* target, std::size_t count) const = 0;
};

class MemoryBytes final : public ByteSource {
 public:
  explicit MemoryBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool read(std::uint64_t offset, void* target, std::size_t count) const override;

 private:
  std::span<const std::uint8_t> bytes_;
};

class FileBytes final : public ByteSource {
 public:
  // Opens the file for reading; valid() tells whether that worked.
  explicit FileBytes(const std::string& path);
  explicit FileBytes(RegularFile file) : fd_(std::move(file.file)), size_(file.size) {}
  bool valid() const { return fd_.valid(); }
  std::uint64_t size() const override { return size_; }
  bool read(std::uint64_t offset, void* target, std::size_t count) const override;

 private:
  platform::FileDescriptor fd_;
  std::uint64_t size_ = 0;
};

}  // namespace qm
