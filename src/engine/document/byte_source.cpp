#include "engine/document/byte_source.h"

#include <unistd.h>

#include <cstring>
#include <optional>
#include <utility>

namespace qm {

bool MemoryBytes::read(std::uint64_t offset, void* target, std::size_t count) const {
  if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
  if (count > 0) std::memcpy(target, bytes_.data() + offset, count);
  return true;
}

FileBytes::FileBytes(const std::string& path)
    : FileBytes(openRegularFile(path).value_or(RegularFile{platform::FileDescriptor(), 0})) {}

bool FileBytes::read(std::uint64_t offset, void* target, std::size_t count) const {
  if (!fd_.valid() || offset > size_ || count > size_ - offset) return false;
  auto* bytes = static_cast<char*>(target);
  while (count > 0) {
    const ssize_t got = ::pread(fd_.get(), bytes, count, static_cast<off_t>(offset));
    if (got <= 0) return false;
    bytes += got;
    offset += static_cast<std::uint64_t>(got);
    count -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace qm
