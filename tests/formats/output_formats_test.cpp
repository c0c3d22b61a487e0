#include <gtest/gtest.h>

#include "formats/output_formats.h"

namespace qm {
namespace {

TEST(OutputFormats, ListOrderAndLookup) {
  auto extensions = outputExtensions();
  ASSERT_EQ(extensions.size(), 23u);
  EXPECT_EQ(extensions.front(), "bmp");
  EXPECT_EQ(outputFormatIndex("jpg"), 9u);
  EXPECT_EQ(outputFormatIndex("xpm"), 22u);
  EXPECT_EQ(extensions[17], "psd");

  EXPECT_FALSE(isOutputExtension("JPG"));
  EXPECT_FALSE(isOutputExtension("jpeg"));
  EXPECT_TRUE(isOutputExtension("tiff"));
  EXPECT_FALSE(isOutputExtension("tif"));
  EXPECT_FALSE(isOutputExtension(""));
}

TEST(OutputFormats, Labels) {
  EXPECT_EQ(formatLabel("tiff", true), "TIFF (Tagged Image File Format)");
  EXPECT_EQ(formatLabel("jpg", false), "JPG");
}

TEST(OutputFormats, PermittedAndAutomaticBitDepth) {
  EXPECT_TRUE(isBitDepthPermitted("jpg", 0));
  EXPECT_FALSE(isBitDepthPermitted("jpg", 32));
  EXPECT_TRUE(isBitDepthPermitted("tiff", 96));
  EXPECT_FALSE(isBitDepthPermitted("tiff", 16));

  struct Case {
    const char* extension;
    int source;
    int expected;
  };
  const Case cases[] = {
      {"jpg", 32, 24}, {"jpg", 8, 8},   {"png", 48, 48},  {"tiff", 64, 96}, {"gif", 1, 8},
      {"psd", 1, 32},  {"psd", 96, 32}, {"dds", 24, 32},  {"pcx", 8, 24},   {"pcx", 32, 24},
      {"png", 16, 24}, {"bmp", 16, 16}, {"png", 128, 48}, {"wbmp", 24, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(automaticBitDepth(c.extension, c.source), c.expected) << c.extension << " from " << c.source;
}

}  // namespace
}  // namespace qm
