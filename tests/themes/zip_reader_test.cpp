// The package reader against what a hostile or broken package can do:
// entries that unpack to far more than they admit, too many entries, too
// large a file, damaged archives and data, and names that look like paths.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_folder.h"
#include "themes/theme_packages.h"
#include "themes/zip_reader.h"

namespace qm {
namespace {

using test::PackageEntry;
using test::TempFolder;
using test::writePackage;
using test::ZipWriter;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

std::string bytesText(const std::optional<std::vector<std::uint8_t>>& bytes) {
  return bytes ? std::string(bytes->begin(), bytes->end()) : "<refused>";
}

// Every 32-bit field equal to `from` after one of the zip signatures at
// the given offset becomes `to`: the local header, the data descriptor and
// the central directory all state an entry's unpacked size.
void replaceUnpackedSizes(std::string& zip, std::uint32_t from, std::uint32_t to) {
  const std::pair<std::string, std::size_t> fields[] = {
      {std::string("PK\x03\x04", 4), 22}, {std::string("PK\x07\x08", 4), 12}, {std::string("PK\x01\x02", 4), 24}};
  for (const auto& [signature, offset] : fields)
    for (std::size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 4)) {
      std::uint32_t value = 0;
      std::memcpy(&value, &zip[at + offset], 4);
      if (value == from) std::memcpy(&zip[at + offset], &to, 4);
    }
}

TEST(ZipReader, EntryUnpackingFarBeyondItsCapIsRefusedEarly) {
  TempFolder folder;
  const std::string path = folder / "bomb.zip";
  ZipWriter writer(path);
  writer.addZeros("zeros.png", 100 * kMiB);
  writer.add("after.txt", "still here");
  writer.close();
  ASSERT_LT(test::readFileBytes(path).size(), kMiB);

  const ZipLimits limits;
  std::optional<ZipReader> package = ZipReader::open(path);
  ASSERT_TRUE(package);
  ASSERT_TRUE(package->next());
  EXPECT_EQ(package->declaredSize(), 100 * kMiB);
  EXPECT_FALSE(package->read());
  EXPECT_LE(package->unpackedBytes(), limits.entryBytes + 1) << "stopped as soon as the cap was passed";
  ASSERT_TRUE(package->next());
  EXPECT_EQ(bytesText(package->read()), "still here");
  EXPECT_FALSE(package->next());
  EXPECT_FALSE(package->damaged());
}

TEST(ZipReader, DeclaredSizesAreNotTrusted) {
  TempFolder folder;
  const std::string path = folder / "liar.zip";
  ZipWriter writer(path);
  writer.addZeros("zeros.png", 8 * kMiB);
  writer.close();
  std::string zip = test::readFileBytes(path);
  replaceUnpackedSizes(zip, 8 * kMiB, 1000);
  folder.write("liar.zip", zip);

  std::optional<ZipReader> package = ZipReader::open(path);
  ASSERT_TRUE(package);
  ASSERT_TRUE(package->next());
  EXPECT_EQ(package->declaredSize(), 1000u);
  EXPECT_FALSE(package->read());
  EXPECT_LE(package->unpackedBytes(), ZipLimits{}.entryBytes + 1);
}

TEST(ZipReader, LimitsOnEntriesFileSizeAndTotal) {
  TempFolder folder;
  const std::string many = folder / "many.zip";
  const std::string manyMore = folder / "many-more.zip";
  for (const auto& [path, count] : {std::pair{many, 4096}, std::pair{manyMore, 4097}}) {
    ZipWriter writer(path);
    for (int i = 0; i < count; ++i) writer.add("e" + std::to_string(i), "x");
    writer.close();
  }
  for (const auto& [path, count, damaged] : {std::tuple{many, 4096, false}, std::tuple{manyMore, 4096, true}}) {
    std::optional<ZipReader> package = ZipReader::open(path);
    ASSERT_TRUE(package);
    int seen = 0;
    while (package->next()) ++seen;
    EXPECT_EQ(seen, count) << path;
    EXPECT_EQ(package->damaged(), damaged) << path;
  }

  const std::string small = folder / "small.zip";
  writePackage(small, {{"a", std::string(100, 'a')},
                       {"b", std::string(100, 'b')},
                       {"c", std::string(100, 'c')},
                       {"d", std::string(100, 'd')}});
  const std::uint64_t size = test::readFileBytes(small).size();
  EXPECT_FALSE(ZipReader::open(small, ZipLimits{.packageBytes = size - 1}));
  EXPECT_TRUE(ZipReader::open(small, ZipLimits{.packageBytes = size}));

  std::optional<ZipReader> package = ZipReader::open(small, ZipLimits{.totalBytes = 250});
  ASSERT_TRUE(package);
  std::vector<std::string> read;
  while (package->next()) read.push_back(bytesText(package->read()));
  EXPECT_EQ(read, (std::vector<std::string>{std::string(100, 'a'), std::string(100, 'b'), "<refused>", "<refused>"}));
}

TEST(ZipReader, DamagedOrNonPackagesDoNotOpen) {
  TempFolder folder;
  const std::string real = folder / "real.zip";
  writePackage(real, {{"theme.cfg", "[Theme]\r\nName=Real\r\n"}, {"icons/new_16.png", test::testPng(16, 1)}});
  const std::string zip = test::readFileBytes(real);

  std::mt19937 random(7);
  std::string noise(4000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  folder.write("noise.zip", noise);
  folder.write("truncated.zip", zip.substr(0, zip.size() / 2));
  folder.write("signature-only.zip", "PK\x05\x06");
  folder.write("empty.zip", "");
  folder.makeFolder("folder.zip");
  ASSERT_EQ(mkfifo((folder / "fifo.zip").c_str(), 0600), 0);

  for (const char* name :
       {"noise.zip", "truncated.zip", "signature-only.zip", "empty.zip", "folder.zip", "fifo.zip", "missing.zip"})
    EXPECT_FALSE(ZipReader::open(folder / name)) << name;
  EXPECT_TRUE(ZipReader::open(real));
}

TEST(ZipReader, DamagedEntryDataIsRefused) {
  TempFolder folder;
  const std::string path = folder / "stored.zip";
  const std::string content(300, 'q');
  writePackage(path, {{"a.png", content}, {"b.png", "fine"}}, true);
  std::string zip = test::readFileBytes(path);
  zip[zip.find(content) + 150] = 'Q';  // the checksum no longer matches
  folder.write("stored.zip", zip);

  std::optional<ZipReader> package = ZipReader::open(path);
  ASSERT_TRUE(package);
  ASSERT_TRUE(package->next());
  EXPECT_FALSE(package->read());
}

TEST(ZipReader, NamesAreTextAsStored) {
  TempFolder folder;
  const std::string path = folder / "names.zip";
  writePackage(path, {{"../../etc/passwd", "not the system file"},
                      {"/tmp/absolute.png", "absolute"},
                      {"Icons/New.PNG", std::string(1000, 'n')}});

  std::optional<ZipReader> package = ZipReader::open(path);
  ASSERT_TRUE(package);
  std::vector<std::pair<std::string, std::string>> entries;
  while (package->next()) entries.emplace_back(package->name(), bytesText(package->readPrefix(255)));
  EXPECT_EQ(entries, (std::vector<std::pair<std::string, std::string>>{{"../../etc/passwd", "not the system file"},
                                                                       {"/tmp/absolute.png", "absolute"},
                                                                       {"Icons/New.PNG", std::string(255, 'n')}}));
}

}  // namespace
}  // namespace qm
