// What can be told before the steps run: whether a file is a whole
// Photoshop document, and whether the result can be made and written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/document/psd_header.h"
#include "engine/steps/steps.h"
#include "platform/paths.h"
#include "settings/settings.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

// Every cut of a real document is named as truncated, never taken for
// whole; the whole document passes, in both compressions.
TEST(DocumentProblem, EveryTruncationIsFound) {
  test::TempFolder folder;
  for (test::PsdCompression compression : {test::PsdCompression::Raw, test::PsdCompression::Rle}) {
    test::PsdImage image(test::PsdColourMode::Rgb, 9, 7, 8, 4, compression);
    for (unsigned y = 0; y < 7; ++y)
      for (unsigned x = 0; x < 9; ++x)
        image.setPixel(x, y, static_cast<std::uint16_t>(x * 20), static_cast<std::uint16_t>(y * 30), 7, 255);
    const std::string whole = test::encodePsd(image);
    EXPECT_EQ(documentProblem(folder.write("whole.psd", whole)), std::nullopt);
    for (std::size_t size = 0; size < whole.size(); ++size) {
      auto problem = documentProblem(folder.write("cut.psd", whole.substr(0, size)));
      ASSERT_TRUE(problem.has_value()) << size;
      if (size >= 4) {
        EXPECT_TRUE(problem->starts_with("damaged")) << size << ": " << *problem;
      }
    }
  }
}

// The library would fill rows that do not unpack with black or take the
// next row's bytes for them; such documents are damaged, not converted.
TEST(DocumentProblem, PackedRowsMustUnpackToWholeRows) {
  test::TempFolder folder;
  test::PsdImage image(test::PsdColourMode::Rgb, 9, 7, 8, 3, test::PsdCompression::Rle);
  for (unsigned y = 0; y < 7; ++y)
    for (unsigned x = 0; x < 9; ++x)
      image.setPixel(x, y, static_cast<std::uint16_t>(x * 20), static_cast<std::uint16_t>(y * 30), 7);
  const std::string whole = test::encodePsd(image);
  constexpr std::size_t kTable = 40;  // header, three empty sections, compression
  constexpr std::size_t kRows = 3 * 7;
  auto length = [&](std::size_t row) {
    return static_cast<unsigned>(static_cast<unsigned char>(whole[kTable + 2 * row]) << 8 |
                                 static_cast<unsigned char>(whole[kTable + 2 * row + 1]));
  };
  auto withLength = [&](std::string bytes, std::size_t row, unsigned value) {
    bytes[kTable + 2 * row] = static_cast<char>(value >> 8);
    bytes[kTable + 2 * row + 1] = static_cast<char>(value);
    return bytes;
  };
  std::string zeroed = whole;
  std::fill(zeroed.begin() + kTable, zeroed.begin() + kTable + 2 * kRows, '\0');
  std::string overflowing = whole;
  overflowing[kTable + 2 * kRows] = 9;  // a literal of 10 bytes in a row of 9
  struct Case {
    std::string name;
    std::string bytes;
    std::optional<std::string> problem;
  };
  const std::vector<Case> cases = {
      {"whole", whole, std::nullopt},
      {"a zeroed table", zeroed, "damaged: row 1 of channel 1 of the merged image does not unpack to its width"},
      {"a byte moved from one row to the one before", withLength(withLength(whole, 0, length(0) + 1), 1, length(1) - 1),
       "damaged: row 2 of channel 1 of the merged image does not unpack to its width"},
      {"a packet past its row", overflowing,
       "damaged: row 1 of channel 1 of the merged image does not unpack to its width"},
      {"one length zeroed in the second channel", withLength(whole, 7, 0),
       "damaged: row 1 of channel 2 of the merged image does not unpack to its width"},
  };
  for (const Case& c : cases) EXPECT_EQ(documentProblem(folder.write("doc.psd", c.bytes)), c.problem) << c.name;
}

// The three sections after the header, as one reader bounds them for the
// check and the structure reader alike; a forged 64-bit length must not
// wrap the offset of the merged image back into the file.
TEST(DocumentProblem, SectionsRunningPastTheEndNameTheByteTheyNeed) {
  test::PsdImage image(test::PsdColourMode::Rgb, 2, 2, 8, 3);
  image.large = true;
  const std::string whole = test::encodePsd(image);  // header, 4 + 4 + 8 bytes of lengths, then the image
  auto withLayerLength = [&](std::uint64_t length) {
    std::string bytes = whole.substr(0, 34);
    test::put64(bytes, length);
    return bytes + whole.substr(42);
  };
  constexpr std::uint64_t kMost = ~std::uint64_t{0};
  struct Case {
    std::string bytes;
    std::optional<PsdSectionName> cut;
    std::uint64_t needed;
  };
  const Case cases[] = {
      {whole, std::nullopt, 0},
      {whole.substr(0, 28), PsdSectionName::ColourMode, 30},
      {whole.substr(0, 32), PsdSectionName::Resources, 34},
      {whole.substr(0, 40), PsdSectionName::LayerAndMask, 42},
      {withLayerLength(100), PsdSectionName::LayerAndMask, 142},
      {withLayerLength(kMost - 30), PsdSectionName::LayerAndMask, kMost},
      {withLayerLength(kMost), PsdSectionName::LayerAndMask, kMost},
  };
  for (const Case& c : cases) {
    const MemoryBytes bytes({reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size()});
    const PsdSections sections = readPsdSections(bytes, true);
    EXPECT_EQ(sections.cut, c.cut) << c.needed;
    EXPECT_EQ(sections.needed, c.needed);
    const std::optional<std::string> problem = documentProblem(bytes);
    if (c.cut)
      EXPECT_EQ(problem, "damaged or truncated: the file ends at byte " + std::to_string(c.bytes.size()) +
                             ", its image data needs " + std::to_string(c.needed));
    else
      EXPECT_EQ(problem, std::nullopt);
  }
  EXPECT_EQ(
      readPsdSections(MemoryBytes({reinterpret_cast<const std::uint8_t*>(whole.data()), whole.size()}), true).imageData,
      42u);
}

// The check must not refuse what the corpus's own writers made.
TEST(DocumentProblem, EveryCorpusDocumentsPackedRowsUnpack) {
  const std::filesystem::path corpus = QM_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus";
  int checked = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".psd") continue;
    const auto problem = documentProblem(entry.path().string());
    ++checked;
    EXPECT_EQ(problem.value_or("").find("does not unpack"), std::string::npos)
        << entry.path() << ": " << problem.value_or("");
  }
  EXPECT_GT(checked, 0);
}

TEST(DocumentProblem, NamesWhatTheFileIs) {
  test::TempFolder folder;
  std::string header = test::encodePsd(test::PsdImage(test::PsdColourMode::Rgb, 4, 4, 8, 3));
  int patches = 0;
  auto patched = [&](std::size_t at, std::string bytes) {
    std::string copy = header;
    copy.replace(at, bytes.size(), bytes);
    return folder.write("patched" + std::to_string(++patches) + ".psd", copy);
  };
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {folder.write("text.psd", "hello"), "not a Photoshop document"},
      {folder.write("empty.psd", ""), "not a Photoshop document"},
      {patched(4, std::string("\0\3", 2)), "not a Photoshop document (unknown version)"},
      {patched(24, std::string("\0\5", 2)), "colour mode 5 at 8 bits is not supported"},
      {patched(22, std::string("\0\7", 2)), "colour mode 3 at 7 bits is not supported"},
      {patched(14, std::string("\0\1\0\0", 4)), "damaged: impossible header (4 x 65536, 3 channels)"},
      {folder / "missing.psd", "cannot be read: No such file or directory"},
      {folder.makeFolder("folder.psd"), "not a regular file"},
      {folder.write("signature.psd", std::string("8BPS\0\1", 6)),
       "damaged or truncated: the file ends at byte 6, its image data needs 26"},
      {patched(12, std::string("\0\x39", 2)), "damaged: impossible header (4 x 4, 57 channels)"},
      // 30000 x 30000 pixels claimed by 48 bytes of zip data: the library's
      // reader would take gigabytes before it failed.
      {patched(14, std::string("\0\0\x75\x30\0\0\x75\x30\0\x08\0\x03", 12) + std::string(12, '\0') +
                       std::string("\0\2", 2)),
       "damaged: the merged image's zip data (48 bytes) cannot hold its 30000 x 30000 pixels"},
  };
  for (const Case& c : cases) EXPECT_EQ(documentProblem(c.path).value_or("none"), c.reason) << c.path;

  // Opened without blocking: a FIFO with no writer is refused at once.
  const std::string fifo = folder / "fifo.psd";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(documentProblem(fifo).value_or("none"), "not a regular file");
}

TEST(Limits, SizesKnownBeforeTheSteps) {
  Settings settings;
  resetSettings(settings, SettingsForm::CommandLine, DesktopSize{});
  settings.doImageRotation = 1;
  settings.imageRotation = 90;
  EXPECT_EQ(rotatedSize(settings, 40, 10).width, 10);
  EXPECT_EQ(rotatedSize(settings, 40, 10).height, 40);
  settings.imageRotation = 45;
  EXPECT_EQ(rotatedSize(settings, 100, 100).width, 142);  // 100 * sqrt(2), rounded up
  settings.imageRotationType = 1;                         // advanced rotation keeps the size
  EXPECT_EQ(rotatedSize(settings, 100, 50).width, 100);

  settings.doImageResize = 1;
  settings.imageWidth = 50;
  settings.imageHeight = 50;
  settings.keepAspectRatio = 1;
  EXPECT_EQ(resizedSize(settings, 200, 100).width, 50);
  EXPECT_EQ(resizedSize(settings, 200, 100).height, 25);
  settings.imageWidthUnit = 1;  // percent
  EXPECT_EQ(resizedSize(settings, 200, 100).width, 100);
}

TEST(Limits, WhatFormatsAndTheMachineCannotHold) {
  EXPECT_EQ(sizeProblem("png", 1000000, 1), std::nullopt);
  EXPECT_EQ(sizeProblem("png", 1000001, 1).value_or(""),
            "too large: the result would be 1000001 x 1 pixels, and png holds at most 1000000 a side");
  EXPECT_TRUE(sizeProblem("webp", 100, 16384).has_value());
  EXPECT_TRUE(sizeProblem("tiff", 2000000000, 2000000000).value_or("").find("memory") != std::string::npos);
  EXPECT_EQ(sizeProblem("tiff", 4000, 3000), std::nullopt);

  struct Case {
    const char* extension;
    int width, height;
    bool holds;
  };
  for (const Case& c : {Case{"ico", 16, 16, true}, Case{"ico", 256, 256, true}, Case{"ico", 15, 15, false},
                        Case{"ico", 32, 31, false}, Case{"ico", 257, 257, false}, Case{"jp2", 32, 32, true},
                        Case{"j2k", 31, 100, false}, Case{"jp2", 100, 31, false}, Case{"png", 1, 1, true}}) {
    EXPECT_EQ(!formatProblem(c.extension, c.width, c.height).has_value(), c.holds)
        << c.extension << " " << c.width << "x" << c.height;
  }
}

TEST(Limits, SameFileSeesThroughLinks) {
  test::TempFolder folder;
  const std::string file = folder.write("a.psd", "x");
  const std::string other = folder.write("b.psd", "x");
  std::filesystem::create_symlink(file, folder / "link.psd");
  EXPECT_TRUE(platform::sameFile(file, folder / "link.psd"));
  EXPECT_TRUE(platform::sameFile(file, folder.str() + "./a.psd"));
  EXPECT_FALSE(platform::sameFile(file, other));
  EXPECT_FALSE(platform::sameFile(file, folder / "missing.psd"));
}

}  // namespace
}  // namespace qm
