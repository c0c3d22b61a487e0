#include "themes/zip_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "platform/whole_file.h"

namespace qm {

void releaseArchive(archive* handle) { archive_read_free(handle); }

namespace {

constexpr std::size_t kBlockBytes = std::size_t{64} * 1024;
constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;

}  // namespace

std::optional<ZipReader> ZipReader::open(const std::string& path, const ZipLimits& limits) {
  std::optional<RegularFile> opened = openRegularFile(path);
  if (!opened || opened->size == 0 || opened->size > limits.packageBytes) return std::nullopt;
  platform::FileDescriptor file = std::move(opened->file);

  ZipReader::ArchiveHandle handle(archive_read_new());
  if (!handle) return std::nullopt;
  // Only the reader that starts from the central directory: it knows every
  // entry's sizes, passes over unwanted entries by seeking instead of
  // unpacking them, and refuses a package whose directory is gone.
  if (archive_read_support_format_zip_seekable(handle.get()) != ARCHIVE_OK) return std::nullopt;
  if (archive_read_open_fd(handle.get(), file.get(), kBlockBytes) != ARCHIVE_OK) return std::nullopt;
  return ZipReader(std::move(file), std::move(handle), limits);
}

bool ZipReader::next() {
  atEntry_ = false;
  entryRead_ = false;
  name_.clear();
  declaredSize_.reset();
  isFile_ = false;
  if (damaged_) return false;

  archive_entry* entry = nullptr;
  const int result = archive_read_next_header(archive_.get(), &entry);
  if (result == ARCHIVE_EOF) return false;
  if ((result != ARCHIVE_OK && result != ARCHIVE_WARN) || !entry || ++entriesSeen_ > limits_.entries) {
    damaged_ = true;
    return false;
  }

  const char* name = archive_entry_pathname(entry);
  if (!name) name = archive_entry_pathname_utf8(entry);
  name_ = name ? name : "";
  if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0)
    declaredSize_ = static_cast<std::uint64_t>(archive_entry_size(entry));
  isFile_ = archive_entry_filetype(entry) == AE_IFREG;
  atEntry_ = true;
  return true;
}

std::optional<std::vector<std::uint8_t>> ZipReader::read() { return unpack(limits_.entryBytes, true); }

std::optional<std::vector<std::uint8_t>> ZipReader::readPrefix(std::size_t count) {
  return unpack(std::min(count, limits_.entryBytes), false);
}

std::optional<std::vector<std::uint8_t>> ZipReader::unpack(std::size_t most, bool wholeEntry) {
  if (!atEntry_ || entryRead_) return std::nullopt;
  entryRead_ = true;
  // A refused read may have gone one byte past the total.
  const std::uint64_t budgetLeft = unpackedBytes_ < limits_.totalBytes ? limits_.totalBytes - unpackedBytes_ : 0;
  if (!wholeEntry && most > budgetLeft) return std::nullopt;
  const std::size_t allowed = static_cast<std::size_t>(std::min<std::uint64_t>(most, budgetLeft));
  // One byte past what is allowed proves a whole entry too large without
  // unpacking any more of it.
  const std::size_t target = wholeEntry ? allowed + 1 : allowed;

  std::vector<std::uint8_t> bytes;
  while (bytes.size() < target) {
    const std::size_t got = bytes.size();
    bytes.resize(got + std::min(kChunkBytes, target - got));
    const la_ssize_t count = archive_read_data(archive_.get(), bytes.data() + got, bytes.size() - got);
    if (count < 0) return std::nullopt;
    bytes.resize(got + static_cast<std::size_t>(count));
    unpackedBytes_ += static_cast<std::uint64_t>(count);
    if (count == 0) break;
  }
  if (wholeEntry && bytes.size() > allowed) return std::nullopt;
  return bytes;
}

}  // namespace qm
