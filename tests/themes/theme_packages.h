// Real zip packages for the theme tests, written with libarchive's zip
// writer, and the test pictures that go into them.
#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "canvas/picture.h"
#include "support/picture_files.h"

namespace qm::test {

struct PackageEntry {
  std::string name;
  std::string bytes;
};

class ZipWriter {
 public:
  // Deflated entries unless `stored`.
  explicit ZipWriter(const std::string& path, bool stored = false) : archive_(archive_write_new()) {
    if (!archive_ || archive_write_set_format_zip(archive_.get()) != ARCHIVE_OK ||
        (stored ? archive_write_zip_set_compression_store(archive_.get())
                : archive_write_zip_set_compression_deflate(archive_.get())) != ARCHIVE_OK ||
        archive_write_open_filename(archive_.get(), path.c_str()) != ARCHIVE_OK)
      throw std::runtime_error("cannot write " + path);
  }

  void add(const std::string& name, const std::string& bytes) {
    begin(name, bytes.size());
    write(bytes.data(), bytes.size());
    end();
  }

  // `size` bytes of zeros, written a megabyte at a time so that even a
  // huge entry costs the test little memory.
  void addZeros(const std::string& name, std::uint64_t size) {
    const std::vector<char> zeros(std::size_t{1} << 20, 0);
    begin(name, size);
    for (std::uint64_t left = size; left > 0;) {
      const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
      write(zeros.data(), part);
      left -= part;
    }
    end();
  }

  void close() {
    if (archive_write_close(archive_.get()) != ARCHIVE_OK) throw std::runtime_error("cannot close package");
  }

 private:
  struct WriteFree {
    void operator()(archive* handle) const { archive_write_free(handle); }
  };
  struct EntryFree {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
  };

  void begin(const std::string& name, std::uint64_t size) {
    std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
    archive_entry_set_pathname(entry.get(), name.c_str());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(size));
    if (archive_write_header(archive_.get(), entry.get()) != ARCHIVE_OK) throw std::runtime_error("cannot add " + name);
  }
  void write(const char* data, std::size_t size) {
    if (archive_write_data(archive_.get(), data, size) != static_cast<la_ssize_t>(size))
      throw std::runtime_error("cannot write entry data");
  }
  void end() { archive_write_finish_entry(archive_.get()); }

  std::unique_ptr<archive, WriteFree> archive_;
};

inline void writePackage(const std::string& path, const std::vector<PackageEntry>& entries, bool stored = false) {
  ZipWriter writer(path, stored);
  for (const PackageEntry& entry : entries) writer.add(entry.name, entry.bytes);
  writer.close();
}

// A picture whose every pixel depends on its position and on `seed`, with
// graded alpha, so that two test pictures never look alike and a decoder
// that drops alpha or swaps channels is caught.
inline RgbaImage testPicture(int size, int seed) {
  RgbaImage image(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      image.set(x, y, static_cast<std::uint8_t>(x * 7 + seed * 31), static_cast<std::uint8_t>(y * 5 + seed * 17),
                static_cast<std::uint8_t>((x + y) * 3 + seed), static_cast<std::uint8_t>(255 - (x * y + seed) % 200));
  return image;
}

inline std::string testPng(int size, int seed) { return asText(encodePng(testPicture(size, seed), true)); }

inline bool hasPixels(const Picture& picture, const RgbaImage& expected) {
  return picture.width == expected.width && picture.height == expected.height && picture.rgba == expected.rgba;
}

inline bool samePicture(const Picture& a, const Picture& b) {
  return a.width == b.width && a.height == b.height && a.rgba == b.rgba;
}

}  // namespace qm::test
