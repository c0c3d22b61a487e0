// Reading theme packages, zip archives that anybody may hand around, with
// hard limits on what one package may cost: its file size, its number of
// entries, the unpacked size of any one entry and the unpacked bytes of
// one reader altogether. Sizes declared inside the archive are never
// trusted for these limits; the bytes are counted as they are unpacked.
//
// Entry names are only compared with the names a theme asks for, never
// turned into file-system paths, so names such as "../../etc/passwd" or
// "/tmp/x" are harmless text here.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_descriptor.h"
#include "platform/handle.h"

struct archive;

namespace qm {

// Frees a reader made by libarchive, whose header stays out of this one.
void releaseArchive(archive* handle);

struct ZipLimits {
  // A real theme is well under a megabyte. libarchive reads the whole
  // central directory before the first entry, and a package made of
  // nothing but empty entries costs it about two bytes of memory per byte
  // of file, so this also bounds that.
  std::uint64_t packageBytes = std::uint64_t{16} << 20;
  std::size_t entries = 4096;
  // Pictures and theme.cfg are a few kilobytes.
  std::size_t entryBytes = std::size_t{4} << 20;
  std::uint64_t totalBytes = std::uint64_t{32} << 20;
};

class ZipReader {
 public:
  // Nothing when the file is missing, not a regular file, empty, larger
  // than the limit, or not a zip archive with a readable central
  // directory (every zip writer writes one; a truncated download has
  // lost it).
  static std::optional<ZipReader> open(const std::string& path, const ZipLimits& limits = {});

  // Moves to the next entry. False at the end of the archive, and also
  // when the archive turns out damaged or holds more entries than the
  // limit; damaged() tells these apart.
  bool next();
  bool damaged() const { return damaged_; }

  // The current entry, as stored in the archive.
  const std::string& name() const { return name_; }
  // The unpacked size the archive claims; nothing when it claims none.
  std::optional<std::uint64_t> declaredSize() const { return declaredSize_; }
  bool isFile() const { return isFile_; }

  // The whole current entry. Nothing when it unpacks to more than the
  // entry limit or than what is left of the total, when it is damaged
  // (a wrong checksum, encryption), or when it was read already.
  std::optional<std::vector<std::uint8_t>> read();
  // At most `count` bytes from the start of the current entry (all of it
  // when shorter); nothing under the same conditions as read().
  std::optional<std::vector<std::uint8_t>> readPrefix(std::size_t count);

  // Bytes unpacked by this reader so far, counted against the total.
  std::uint64_t unpackedBytes() const { return unpackedBytes_; }

 private:
  using ArchiveHandle = Handle<archive, releaseArchive>;

  ZipReader(platform::FileDescriptor file, ArchiveHandle handle, const ZipLimits& limits)
      : file_(std::move(file)), archive_(std::move(handle)), limits_(limits) {}

  std::optional<std::vector<std::uint8_t>> unpack(std::size_t most, bool wholeEntry);

  // Declared in this order so that the archive lets go of the file
  // before the file is closed.
  platform::FileDescriptor file_;
  ArchiveHandle archive_;
  ZipLimits limits_;
  std::size_t entriesSeen_ = 0;
  std::uint64_t unpackedBytes_ = 0;
  bool damaged_ = false;
  bool atEntry_ = false;
  bool entryRead_ = false;
  std::string name_;
  std::optional<std::uint64_t> declaredSize_;
  bool isFile_ = false;
};

}  // namespace qm
