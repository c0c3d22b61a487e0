#include <gtest/gtest.h>

#include "engine/writers/writers.h"
#include "formats/output_formats.h"
#include "settings/settings.h"

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

  // The DevIL formats carry DevIL's type constants, the rest FreeImage's ids.
  EXPECT_EQ(findOutputFormat("dds")->writer, Writer::DevIL);
  EXPECT_EQ(findOutputFormat("dds")->writerId, 0x0437);
  EXPECT_EQ(findOutputFormat("pcx")->writerId, 0x0428);
  EXPECT_EQ(findOutputFormat("psd")->writerId, 0x0439);
  EXPECT_EQ(findOutputFormat("webp")->writerId, 35);
  EXPECT_EQ(findOutputFormat("jxr")->writerId, 36);
  EXPECT_EQ(findOutputFormat("tga")->writerId, 17);
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

TEST(OutputFormats, SaveFlags) {
  Settings s;
  EXPECT_EQ(saveFlags("jpg", s), 95 + 0x10000);
  s.jpgChroma = 3;
  s.jpgSaveAs = 3;
  EXPECT_EQ(saveFlags("jpg", s), 95 + 0x1000 + 0x2000);

  s.pngCompression = 0;
  s.pngInterlaced = 1;
  EXPECT_EQ(saveFlags("png", s), 0x300);
  s.pngCompression = 3;
  EXPECT_EQ(saveFlags("png", s), 9 | 0x200);

  s.tiffCompression = 6;
  s.tiffColorModel = 2;
  EXPECT_EQ(saveFlags("tiff", s), 0x4000);
  s.tiffColorModel = 1;
  EXPECT_EQ(saveFlags("tiff", s), 0x4001);

  s.exrCompression = 5;
  EXPECT_EQ(saveFlags("exr", s), 0);
  s.exrCompression = -1;
  EXPECT_EQ(saveFlags("exr", s), 0);
  s.exrCompression = 0;
  EXPECT_EQ(saveFlags("exr", s), 2);

  s.bmpCompression = 1;
  EXPECT_EQ(saveFlags("bmp", s), 1);
  s.tgaCompression = 1;
  EXPECT_EQ(saveFlags("tga", s), 2);
  EXPECT_EQ(saveFlags("jxr", s), 100);
  EXPECT_EQ(saveFlags("webp", s), 0x100);
  for (const char* none : {"dds", "gif", "hdr", "ico", "pbm", "pcx", "psd", "xpm"})
    EXPECT_EQ(saveFlags(none, s), 0) << none;
}

}  // namespace
}  // namespace qm
