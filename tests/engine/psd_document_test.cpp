// The document reader: composing documents saved without a merged image,
// the white matte of transparent merged images, indexed and grey
// transparency, damaged and truncated files. The documents are written
// here byte by byte, so every expected pixel is known.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/document/colour_profile.h"
#include "engine/document/document_image.h"
#include "engine/document/psd_compose.h"
#include "engine/document/psd_pixels.h"
#include "engine/document/psd_structure.h"
#include "engine/job.h"
#include "engine/steps/steps.h"
#include "settings/settings.h"
#include "support/image_readback.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

using test::put16;
using test::put32;
using test::put8;

std::string lengthPrefixed(const std::string& body, bool wide = false) {
  std::string out;
  if (wide)
    test::put64(out, body.size());
  else
    put32(out, static_cast<std::uint32_t>(body.size()));
  return out + body;
}

// One layer of 8-bit samples, raw; channels in the order given.
struct TestLayer {
  int top = 0, left = 0, bottom = 0, right = 0;
  std::vector<std::pair<int, std::vector<std::uint8_t>>> channels;  // id, samples
  std::string blend = "norm";
  unsigned opacity = 255;
  bool clipped = false;
  bool hidden = false;
  // Layer mask (channel -2) over its own rectangle.
  bool masked = false;
  int maskTop = 0, maskLeft = 0, maskBottom = 0, maskRight = 0;
  unsigned maskDefault = 0;
  unsigned section = 0;  // 1 group folder, 3 group end
  std::string blocks;    // further tagged blocks, as stored
};

struct TestDocument {
  unsigned width = 4, height = 2, channels = 3, mode = 3;
  bool realMerged = true;
  bool transparentMerged = false;     // negative layer count
  std::vector<std::uint8_t> palette;  // indexed: 768 bytes
  int transparencyIndex = -1;
  std::vector<std::uint8_t> profile;              // embedded colour profile, when not empty
  std::vector<TestLayer> layers;                  // bottom first
  std::vector<std::vector<std::uint8_t>> merged;  // planes of the merged image
  bool large = false;                             // version 2, with its 8-byte lengths
};

std::string resource(unsigned id, const std::string& data) {
  std::string out = "8BIM";
  put16(out, id);
  put16(out, 0);  // empty name, padded
  put32(out, static_cast<std::uint32_t>(data.size()));
  out += data;
  if (data.size() % 2) put8(out, 0);
  return out;
}

std::string encode(const TestDocument& doc) {
  std::string out = "8BPS";
  put16(out, doc.large ? 2 : 1);
  out.append(6, '\0');
  put16(out, doc.channels);
  put32(out, doc.height);
  put32(out, doc.width);
  put16(out, 8);
  put16(out, doc.mode);
  out += lengthPrefixed(std::string(doc.palette.begin(), doc.palette.end()));
  std::string resources;
  std::string version;
  put32(version, 1);
  put8(version, doc.realMerged ? 1 : 0);
  put32(version, 0);
  put32(version, 0);
  put32(version, 1);
  resources += resource(0x0421, version);
  if (doc.transparencyIndex >= 0) {
    std::string index;
    put16(index, static_cast<unsigned>(doc.transparencyIndex));
    resources += resource(0x0417, index);
  }
  if (!doc.profile.empty()) resources += resource(0x040F, std::string(doc.profile.begin(), doc.profile.end()));
  out += lengthPrefixed(resources);

  std::string info;
  if (!doc.layers.empty()) {
    const int count = static_cast<int>(doc.layers.size());
    put16(info, static_cast<unsigned>(doc.transparentMerged ? -count : count) & 0xFFFF);
    for (const TestLayer& layer : doc.layers) {
      put32(info, static_cast<std::uint32_t>(layer.top));
      put32(info, static_cast<std::uint32_t>(layer.left));
      put32(info, static_cast<std::uint32_t>(layer.bottom));
      put32(info, static_cast<std::uint32_t>(layer.right));
      put16(info, static_cast<unsigned>(layer.channels.size()));
      for (const auto& [id, samples] : layer.channels) {
        put16(info, static_cast<unsigned>(id) & 0xFFFF);
        if (doc.large)
          test::put64(info, samples.size() + 2);
        else
          put32(info, static_cast<std::uint32_t>(samples.size() + 2));
      }
      info += "8BIM";
      info += layer.blend;
      put8(info, layer.opacity);
      put8(info, layer.clipped ? 1 : 0);
      put8(info, layer.hidden ? 2 : 0);
      put8(info, 0);
      std::string extra;
      if (layer.masked) {
        std::string mask;
        put32(mask, static_cast<std::uint32_t>(layer.maskTop));
        put32(mask, static_cast<std::uint32_t>(layer.maskLeft));
        put32(mask, static_cast<std::uint32_t>(layer.maskBottom));
        put32(mask, static_cast<std::uint32_t>(layer.maskRight));
        put8(mask, layer.maskDefault);
        put8(mask, 0);
        put16(mask, 0);
        extra += lengthPrefixed(mask);
      } else {
        put32(extra, 0);
      }
      put32(extra, 0);  // blending ranges
      put8(extra, 3);
      extra += "lay";
      if (layer.section != 0) {
        extra += "8BIMlsct";
        std::string data;
        put32(data, layer.section);
        data += "8BIM";
        data += layer.blend;
        extra += lengthPrefixed(data);
      }
      extra += layer.blocks;
      info += lengthPrefixed(extra);
    }
    for (const TestLayer& layer : doc.layers)
      for (const auto& [id, samples] : layer.channels) {
        put16(info, 0);
        info.append(samples.begin(), samples.end());
      }
    if (info.size() % 2) put8(info, 0);
  }
  std::string section = info.empty() ? std::string() : lengthPrefixed(info, doc.large);
  if (!section.empty()) put32(section, 0);  // global mask
  out += lengthPrefixed(section, doc.large);
  put16(out, 0);
  for (unsigned c = 0; c < doc.channels; ++c) {
    std::vector<std::uint8_t> plane =
        c < doc.merged.size() ? doc.merged[c] : std::vector<std::uint8_t>(doc.width * doc.height, 255);
    out.append(plane.begin(), plane.end());
  }
  return out;
}

std::string write(const test::TempFolder& folder, const std::string& name, const TestDocument& doc) {
  const std::string path = (folder.path() / name).string();
  const std::string bytes = encode(doc);
  FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  return path;
}

std::vector<std::uint8_t> filled(std::size_t count, std::uint8_t value) {
  return std::vector<std::uint8_t>(count, value);
}

TestLayer solidLayer(int top, int left, int bottom, int right, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                     std::uint8_t a = 255) {
  TestLayer layer;
  layer.top = top, layer.left = left, layer.bottom = bottom, layer.right = right;
  const std::size_t n = static_cast<std::size_t>((bottom - top) * (right - left));
  layer.channels = {{-1, filled(n, a)}, {0, filled(n, r)}, {1, filled(n, g)}, {2, filled(n, b)}};
  return layer;
}

RGBQUAD pixel(const Bitmap& image, unsigned x, unsigned y) {
  RGBQUAD value{};
  FreeImage_GetPixelColor(image.get(), x, image.height() - 1 - y, &value);
  return value;
}

TEST(PsdDocument, DocumentWithoutMergedImageIsComposedFromItsLayers) {
  test::TempFolder folder;
  TestDocument doc;
  doc.realMerged = false;
  doc.width = 4;
  doc.height = 2;
  TestLayer background = solidLayer(0, 0, 2, 4, 200, 0, 0);
  TestLayer half = solidLayer(0, 0, 2, 4, 0, 0, 255);
  half.opacity = 128;
  // Masked off in the right half: the mask covers columns 0-1 white, the
  // rest takes the default colour black.
  half.masked = true;
  half.maskTop = 0, half.maskLeft = 0, half.maskBottom = 2, half.maskRight = 2;
  half.channels.push_back({-2, filled(4, 255)});
  TestLayer hidden = solidLayer(0, 0, 2, 4, 0, 255, 0);
  hidden.hidden = true;
  TestLayer multiply = solidLayer(1, 3, 2, 4, 128, 255, 255);
  multiply.blend = "mul ";
  doc.layers = {background, half, hidden, multiply};
  const LoadedDocument loaded = loadDocument(write(folder, "composed.psd", doc));
  ASSERT_TRUE(loaded.image) << loaded.failure;
  EXPECT_EQ(loaded.image.bpp(), 24u);
  const RGBQUAD mixed = pixel(loaded.image, 0, 0);
  EXPECT_NEAR(mixed.rgbRed, 200 * 127 / 255, 1);
  EXPECT_NEAR(mixed.rgbBlue, 128, 1);
  EXPECT_EQ(mixed.rgbGreen, 0);  // the hidden green layer is left out
  const RGBQUAD outside = pixel(loaded.image, 2, 0);
  EXPECT_EQ(outside.rgbRed, 200);
  EXPECT_EQ(outside.rgbBlue, 0);
  const RGBQUAD multiplied = pixel(loaded.image, 3, 1);
  EXPECT_NEAR(multiplied.rgbRed, 100, 1);
}

// The large document format differs only in the width of its lengths: the
// same layers compose to the same pixels, and its merged image reads the
// same.
TEST(PsdDocument, LargeDocumentsReadLikeTheirSmallTwins) {
  test::TempFolder folder;
  TestDocument doc;
  doc.width = 4;
  doc.height = 2;
  TestLayer background = solidLayer(0, 0, 2, 4, 200, 10, 0);
  TestLayer half = solidLayer(0, 0, 2, 2, 0, 0, 255);
  half.opacity = 128;
  TestLayer end = solidLayer(0, 0, 0, 0, 0, 0, 0);
  end.channels.clear();
  end.section = 3;
  TestLayer group = solidLayer(0, 0, 0, 0, 0, 0, 0);
  group.channels.clear();
  group.section = 1;
  TestLayer inGroup = solidLayer(1, 1, 2, 3, 0, 250, 0);
  doc.layers = {background, half, end, inGroup, group};
  doc.merged = {filled(8, 11), filled(8, 22), filled(8, 33)};
  for (bool realMerged : {false, true}) {
    SCOPED_TRACE(realMerged ? "merged image" : "composed from the layers");
    doc.realMerged = realMerged;
    doc.large = false;
    const LoadedDocument small = loadDocument(write(folder, "small.psd", doc));
    doc.large = true;
    const LoadedDocument large = loadDocument(write(folder, "large.psb", doc));
    ASSERT_TRUE(small.image) << small.failure;
    ASSERT_TRUE(large.image) << large.failure;
    EXPECT_EQ(test::countDifferences(small.image, large.image), 0);
    const RGBQUAD corner = pixel(large.image, 0, 0);
    EXPECT_NEAR(corner.rgbRed, realMerged ? 11 : 200 * 127 / 255, 1);
    const RGBQUAD grouped = pixel(large.image, 2, 1);
    EXPECT_EQ(grouped.rgbGreen, realMerged ? 22 : 250);
  }
}

TEST(PsdDocument, GroupsAndClippingFollowTheirOwnSettings) {
  test::TempFolder folder;
  TestDocument doc;
  doc.realMerged = false;
  doc.width = 2;
  doc.height = 1;
  TestLayer end = solidLayer(0, 0, 0, 0, 0, 0, 0);
  end.channels.clear();
  end.section = 3;
  // Inside the group: a base that covers only the left pixel, and a
  // clipped white layer over both.
  TestLayer base = solidLayer(0, 0, 1, 1, 0, 0, 0);
  TestLayer clipped = solidLayer(0, 0, 1, 2, 255, 255, 255);
  clipped.clipped = true;
  TestLayer folderRecord = end;
  folderRecord.section = 1;
  folderRecord.blend = "pass";
  folderRecord.opacity = 51;  // 20 %
  doc.layers = {solidLayer(0, 0, 1, 2, 0, 0, 0), end, base, clipped, folderRecord};
  const LoadedDocument loaded = loadDocument(write(folder, "group.psd", doc));
  ASSERT_TRUE(loaded.image) << loaded.failure;
  EXPECT_NEAR(pixel(loaded.image, 0, 0).rgbRed, 51, 1);  // white at 20 % over black
  EXPECT_EQ(pixel(loaded.image, 1, 0).rgbRed, 0);        // clipped away
}

TEST(PsdDocument, NothingToComposeFailsWithItsReason) {
  test::TempFolder folder;
  TestDocument doc;
  doc.realMerged = false;
  const LoadedDocument noLayers = loadDocument(write(folder, "none.psd", doc));
  EXPECT_FALSE(noLayers.image);
  EXPECT_NE(noLayers.failure.find("no merged image"), std::string::npos) << noLayers.failure;
}

// Descriptor pieces as layer records store them: keys as four characters
// after a zero length.
std::string descriptorKey(const char* key) {
  std::string out;
  put32(out, 0);
  return out + key;
}
std::string descriptorDouble(double v) {
  std::string out = "doub";
  std::uint64_t bits;
  std::memcpy(&bits, &v, 8);
  for (int i = 7; i >= 0; --i) put8(out, static_cast<unsigned>(bits >> (8 * i)) & 0xFF);
  return out;
}
std::string descriptorLong(int v) {
  std::string out = "long";
  put32(out, static_cast<std::uint32_t>(v));
  return out;
}
std::string descriptorObject(const char* classKey, const std::vector<std::pair<const char*, std::string>>& items) {
  std::string out;
  put32(out, 0);  // empty name
  out += descriptorKey(classKey);
  put32(out, static_cast<std::uint32_t>(items.size()));
  for (const auto& [key, value] : items) out += descriptorKey(key) + value;
  return out;
}
std::string descriptorList(const std::vector<std::string>& objects) {
  std::string out = "VlLs";
  put32(out, static_cast<std::uint32_t>(objects.size()));
  for (const std::string& object : objects) out += "Objc" + object;
  return out;
}
std::string rgb(double r, double g, double b) {
  return "Objc" +
         descriptorObject(
             "RGBC", {{"Rd  ", descriptorDouble(r)}, {"Grn ", descriptorDouble(g)}, {"Bl  ", descriptorDouble(b)}});
}
std::string taggedBlock(const char* key, const std::string& body) {
  std::string data;
  put32(data, 16);  // descriptor version
  data += body;
  return std::string("8BIM") + key + lengthPrefixed(data);
}
// A black-to-white gradient, evenly paced, along `degrees`.
std::string gradientFill(const char* type, double degrees, bool reverse) {
  auto colourStop = [](int at, double v) {
    return descriptorObject("Clrt",
                            {{"Clr ", rgb(v, v, v)}, {"Lctn", descriptorLong(at)}, {"Mdpn", descriptorLong(50)}});
  };
  const std::string gradient =
      descriptorObject("Grdn", {{"GrdF", "enum" + descriptorKey("GrdF") + descriptorKey("CstS")},
                                {"Intr", descriptorDouble(0)},
                                {"Clrs", descriptorList({colourStop(0, 0), colourStop(4096, 255)})}});
  std::string angle = "UntF#Ang";
  angle += descriptorDouble(degrees).substr(4);
  std::string reversed = "bool";
  put8(reversed, reverse ? 1 : 0);
  return taggedBlock("GdFl", descriptorObject("null", {{"Angl", angle},
                                                       {"Type", "enum" + descriptorKey("GrdT") + descriptorKey(type)},
                                                       {"Rvrs", reversed},
                                                       {"Grad", "Objc" + gradient}}));
}

// What the compositor makes of layers it draws from their description,
// and of documents where nothing can be drawn: every case on a 4 x 2 RGB
// document saved without a merged image.
TEST(PsdDocument, FillsAreDrawnAndWhatIsLeftOutIsNamed) {
  TestLayer hidden = solidLayer(0, 0, 2, 4, 0, 0, 0);
  hidden.hidden = true;
  TestLayer red;  // a fill layer stores no pixels of its own
  red.channels = {{-1, {}}, {0, {}}, {1, {}}, {2, {}}};
  TestLayer linear = red, reversed = red, levels = red, pattern = red;
  red.blocks = taggedBlock("SoCo", descriptorObject("null", {{"Clr ", rgb(255, 0, 0)}}));
  linear.blocks = gradientFill("Lnr ", 0, false);
  reversed.blocks = gradientFill("Lnr ", 0, true);
  levels.blocks = taggedBlock("levl", descriptorObject("null", {}));
  pattern.blocks = taggedBlock("PtFl", descriptorObject("null", {}));
  const TestLayer grey = solidLayer(0, 0, 2, 4, 100, 100, 100);
  struct Case {
    const char* name;
    std::vector<TestLayer> layers;
    bool transparent;
    std::vector<float> red, alpha;  // along the top row
    const char* leftOut;            // in the one line naming what is left out; "" for none
  };
  const Case cases[] = {
      {"nothing drawable: white", {hidden}, false, {1, 1, 1, 1}, {1, 1, 1, 1}, ""},
      {"nothing drawable, transparent document", {hidden}, true, {0, 0, 0, 0}, {0, 0, 0, 0}, ""},
      {"solid colour fill", {red}, false, {1, 1, 1, 1}, {1, 1, 1, 1}, ""},
      {"linear gradient", {linear}, false, {0, 0.25f, 0.5f, 0.75f}, {1, 1, 1, 1}, ""},
      {"reversed linear gradient", {reversed}, false, {1, 0.75f, 0.5f, 0.25f}, {1, 1, 1, 1}, ""},
      {"adjustment over pixels",
       {grey, levels},
       false,
       {0.392f, 0.392f, 0.392f, 0.392f},
       {1, 1, 1, 1},
       "layer \"lay\": levels adjustment"},
      {"pattern fill",
       {grey, pattern},
       false,
       {0.392f, 0.392f, 0.392f, 0.392f},
       {1, 1, 1, 1},
       "layer \"lay\": pattern fill (its description is not drawn)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestDocument doc;
    doc.realMerged = false;
    doc.transparentMerged = c.transparent;
    doc.layers = c.layers;
    const std::string encoded = encode(doc);
    const MemoryBytes bytes({reinterpret_cast<const std::uint8_t*>(encoded.data()), encoded.size()});
    PsdDocument document;
    std::vector<PsdLayer> layers;
    Composite pixels;
    ASSERT_FALSE(readPsdStructure(bytes, document));
    ASSERT_FALSE(readPsdLayers(bytes, document, layers));
    const auto problem = composeLayers(bytes, document, layers, pixels);
    ASSERT_FALSE(problem) << *problem;
    for (std::size_t x = 0; x < 4; ++x) {
      EXPECT_NEAR(pixels.alpha[x], c.alpha[x], 0.01f) << x;
      if (c.alpha[x] > 0) {
        EXPECT_NEAR(pixels.colour[0][x], c.red[x], 0.01f) << x;
      }
    }
    if (*c.leftOut) {
      ASSERT_EQ(pixels.leftOut.size(), 1u);
      EXPECT_EQ(pixels.leftOut[0], c.leftOut);
    } else {
      EXPECT_TRUE(pixels.leftOut.empty()) << pixels.leftOut.front();
    }
  }
}

TEST(PsdDocument, WhiteMatteIsTakenOutOfPartlyTransparentPixels) {
  test::TempFolder folder;
  TestDocument doc;
  doc.width = 3;
  doc.height = 1;
  doc.channels = 4;
  doc.transparentMerged = true;
  // An anti-aliased black edge and a red one: alpha 4 and 128, stored
  // over white the way the merged image holds them.
  const std::vector<std::uint8_t> alpha = {4, 128, 255};
  const std::vector<std::uint8_t> red = {0, 255, 0}, green = {0, 0, 0}, blue = {0, 0, 0};
  auto over = [&](const std::vector<std::uint8_t>& c) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < c.size(); ++i)
      out.push_back(static_cast<std::uint8_t>(std::lround(c[i] * alpha[i] / 255.0 + 255.0 * (255 - alpha[i]) / 255.0)));
    return out;
  };
  doc.merged = {over(red), over(green), over(blue), alpha};
  TestLayer layer;
  layer.bottom = 1, layer.right = 3;
  layer.channels = {{-1, alpha}, {0, red}, {1, green}, {2, blue}};
  doc.layers = {layer};
  const LoadedDocument loaded = loadDocument(write(folder, "edge.psd", doc));
  ASSERT_TRUE(loaded.image) << loaded.failure;
  ASSERT_EQ(loaded.image.bpp(), 32u);
  const RGBQUAD edge = pixel(loaded.image, 0, 0);
  EXPECT_EQ(edge.rgbReserved, 4);
  EXPECT_LE(edge.rgbRed, 40);  // near-white (251) before
  EXPECT_LE(edge.rgbGreen, 40);
  const RGBQUAD half = pixel(loaded.image, 1, 0);
  EXPECT_NEAR(half.rgbRed, 255, 2);
  EXPECT_LE(half.rgbGreen, 2);
}

TEST(PsdDocument, IndexedAndGreyTransparencyIsKept) {
  test::TempFolder folder;
  TestDocument indexed;
  indexed.mode = 2;
  indexed.channels = 1;
  indexed.palette.assign(768, 0);
  indexed.palette[1] = 255;  // red of entry 1
  indexed.transparencyIndex = 1;
  indexed.merged = {{0, 1, 0, 1, 1, 1, 0, 0}};
  const LoadedDocument palette = loadDocument(write(folder, "indexed.psd", indexed));
  ASSERT_TRUE(palette.image) << palette.failure;
  EXPECT_TRUE(FreeImage_IsTransparent(palette.image.get()));
  EXPECT_EQ(FreeImage_GetTransparentIndex(palette.image.get()), 1);
  // A transparent entry no pixel uses leaves the image opaque, so writers
  // that store alpha only when there is some do not see any.
  indexed.transparencyIndex = 2;
  const LoadedDocument unused = loadDocument(write(folder, "unused.psd", indexed));
  ASSERT_TRUE(unused.image) << unused.failure;
  EXPECT_FALSE(FreeImage_IsTransparent(unused.image.get()));

  TestDocument grey;
  grey.mode = 1;
  grey.channels = 2;
  grey.transparentMerged = true;
  TestLayer layer;
  layer.bottom = 2, layer.right = 4;
  layer.channels = {{-1, {0, 64, 255, 255, 0, 0, 0, 0}}, {0, filled(8, 0)}};
  grey.layers = {layer};
  grey.merged = {{255, 191, 0, 0, 255, 255, 255, 255}, {0, 64, 255, 255, 0, 0, 0, 0}};
  const LoadedDocument withAlpha = loadDocument(write(folder, "grey.psd", grey));
  ASSERT_TRUE(withAlpha.image) << withAlpha.failure;
  EXPECT_EQ(withAlpha.image.bpp(), 32u);
  EXPECT_EQ(pixel(withAlpha.image, 0, 0).rgbReserved, 0);
  EXPECT_EQ(pixel(withAlpha.image, 1, 0).rgbReserved, 64);
  EXPECT_LE(pixel(withAlpha.image, 1, 0).rgbRed, 2);  // black once the matte is out
  EXPECT_EQ(pixel(withAlpha.image, 2, 0).rgbReserved, 255);
}

// The profile in a PNG file's iCCP chunk, read with libpng: FreeImage's
// PNG reader gives no profile back here even where libpng reads one.
std::string pngProfile(const std::string& path) {
  struct Source {
    std::string bytes;
    std::size_t at = 0;
  } source{test::readFileBytes(path)};
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, [](png_structp, png_const_charp) {});
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::string profile;
  if (info && !setjmp(png_jmpbuf(png))) {
    png_set_read_fn(png, &source, [](png_structp p, png_bytep out, png_size_t length) {
      auto* from = static_cast<Source*>(png_get_io_ptr(p));
      if (from->bytes.size() - from->at < length) png_error(p, "truncated");
      std::memcpy(out, from->bytes.data() + from->at, length);
      from->at += length;
    });
    png_read_info(png, info);
    png_charp name = nullptr;
    int compression = 0;
    png_bytep data = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &data, &length))
      profile.assign(reinterpret_cast<const char*>(data), length);
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  return profile;
}

// The document's own profile goes into every output format that stores
// one, at every depth whose pixels are still colour; a greyscale output
// gets none, since the profile describes colour.
TEST(PsdDocument, EmbeddedProfileReachesEveryWriterThatStoresOne) {
  test::TempFolder folder;
  TestDocument doc;
  doc.width = doc.height = 32;
  doc.profile = srgbProfile();
  ASSERT_GE(doc.profile.size(), 128u);
  for (int c = 0; c < 3; ++c) {
    std::vector<std::uint8_t> plane(32 * 32);
    for (std::size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<std::uint8_t>(i * (c + 3));
    doc.merged.push_back(plane);
  }
  const std::string document = write(folder, "profiled.psd", doc);
  const std::string profile(doc.profile.begin(), doc.profile.end());

  struct Case {
    const char* extension;
    int depth;  // 0 = Auto
    bool greyscale;
    bool carries;
  };
  const Case cases[] = {
      {"png", 0, false, true},   {"png", 8, false, true},  {"png", 48, false, true},  {"tiff", 0, false, true},
      {"tiff", 48, false, true}, {"jpg", 24, false, true}, {"webp", 32, false, true}, {"jxr", 24, false, true},
      {"jxr", 48, false, true},  {"png", 8, true, false},  {"jpg", 8, false, false},
  };
  Settings base;
  resetSettings(base, SettingsForm::CommandLine, DesktopSize{});
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.extension) + " at " + std::to_string(c.depth) + (c.greyscale ? ", greyscale" : ""));
    Settings s = base;
    s.filenameMask = "out" + std::to_string(index++) + ".%ext%";
    if (std::int32_t* bpp = bppField(s, c.extension)) *bpp = c.depth;
    s.doImageGreyscale = c.greyscale ? 1 : 0;
    JobInput input;
    input.inputPath = document;
    input.outputFolder = folder.path().string();
    const JobResult result = convertFile(s, makeRunFormat(s, c.extension), input, nullptr);
    ASSERT_TRUE(result.written) << result.failure;
    // The other containers store the profile as it is; png compresses it.
    const bool carried = std::string_view(c.extension) == "png"
                             ? pngProfile(result.outputPath) == profile
                             : test::readFileBytes(result.outputPath).find(profile) != std::string::npos;
    EXPECT_EQ(carried, c.carries);
  }
}

TEST(PsdDocument, EveryTruncationOfADocumentIsRefusedOrReadSafely) {
  TestDocument doc;
  doc.realMerged = false;
  TestLayer layer = solidLayer(0, 0, 2, 4, 10, 20, 30);
  layer.masked = true;
  layer.maskBottom = 2, layer.maskRight = 2;
  layer.channels.push_back({-2, filled(4, 255)});
  doc.layers = {solidLayer(0, 0, 2, 4, 1, 2, 3), layer};
  const std::string whole = encode(doc);
  unsigned composed = 0;
  for (std::size_t size = 0; size <= whole.size(); ++size) {
    const MemoryBytes bytes({reinterpret_cast<const std::uint8_t*>(whole.data()), size});
    PsdDocument document;
    std::vector<PsdLayer> layers;
    Composite pixels;
    if (readPsdStructure(bytes, document) || readPsdLayers(bytes, document, layers)) continue;
    if (!composeLayers(bytes, document, layers, pixels)) ++composed;
  }
  // Only the complete document (and those cut inside the unused merged
  // image) compose; every shorter one is refused with a reason.
  EXPECT_GE(composed, 1u);
  EXPECT_LT(composed, 40u);
}

TEST(PsdDocument, ForgedSizesAreRefusedBeforeTheyCostMemory) {
  TestDocument doc;
  doc.realMerged = false;
  doc.layers = {solidLayer(0, 0, 2, 4, 1, 2, 3)};
  std::string bytes = encode(doc);
  // Make the layer claim 30000 rows of 30000 columns: its 8 bytes of raw
  // samples cannot hold them.
  const std::size_t rect = bytes.find("8BIMnorm") - (16 + 2 + 4 * 6);
  for (int k = 0; k < 4; ++k) bytes[rect + 8 + static_cast<std::size_t>(k)] = "\x00\x00\x75\x30"[k];
  for (int k = 0; k < 4; ++k) bytes[rect + 12 + static_cast<std::size_t>(k)] = "\x00\x00\x75\x30"[k];
  const MemoryBytes source({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  PsdDocument document;
  std::vector<PsdLayer> layers;
  ASSERT_FALSE(readPsdStructure(source, document));
  ASSERT_FALSE(readPsdLayers(source, document, layers));
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_EQ(layers[0].rect.bottom, 30000);
  Composite pixels;
  const auto problem = composeLayers(source, document, layers, pixels);
  ASSERT_TRUE(problem);
  EXPECT_NE(problem->find("damaged"), std::string::npos) << *problem;
}

// The structure reader and the document check read the header alike but
// word its faults each in their own way; these are the structure reader's.
TEST(PsdStructure, HeaderFaultsInTheOrderTheyAreJudged) {
  std::string valid;
  valid.append("8BPS", 4);
  put16(valid, 1);
  valid.append(6, '\0');
  put16(valid, 3);  // channels
  put32(valid, 4);  // height
  put32(valid, 5);  // width
  put16(valid, 8);  // depth
  put16(valid, 3);  // RGB
  put32(valid, 0);  // colour mode data, resources, layers
  put32(valid, 0);
  put32(valid, 0);
  auto patched = [&](std::size_t at, std::string bytes) {
    return valid.substr(0, at) + bytes + valid.substr(at + bytes.size());
  };
  struct Case {
    std::string bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"8BP", "not a Photoshop document"},
      {std::string("8BPS\0", 5), "not a Photoshop document (unknown version)"},
      {valid.substr(0, 25), "damaged: the header is cut short"},
      {patched(12, std::string("\0\x39", 2)), "damaged: impossible header"},
      {patched(18, std::string("\0\0\x75\x31", 4)), "damaged: impossible header"},
      {patched(22, std::string("\0\7", 2)), "damaged: impossible depth 7"},
      {valid, ""},
  };
  for (const Case& c : cases) {
    const MemoryBytes bytes({reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size()});
    PsdDocument document;
    EXPECT_EQ(readPsdStructure(bytes, document).value_or(""), c.reason) << c.reason;
    if (!*c.reason) {
      EXPECT_EQ(document.header.width * document.header.height, 20u);
    }
  }
  // The large variant allows ten times the side.
  PsdHeader large{true, 3, 300000, 1, 8, PsdMode::Rgb};
  EXPECT_TRUE(possiblePsdSize(large));
  large.large = false;
  EXPECT_FALSE(possiblePsdSize(large));
}

// Every key a kind of tagged block goes by reaches the same reading of it;
// a key no kind lists leaves the layer as its record made it.
TEST(PsdStructure, TaggedBlocksAreReadUnderEachOfTheirKeys) {
  auto tagged = [](const std::string& key, const std::string& data) { return "8BIM" + key + lengthPrefixed(data); };
  std::string groupEnd, byte, shapeFill = "SoCo";
  put32(groupEnd, 2);
  put8(byte, 77);
  byte.append(3, '\0');
  shapeFill.append(8, '\x01');
  struct Case {
    std::string blocks;
    bool (*holds)(const PsdLayer&);
  };
  const Case cases[] = {
      {tagged("lsct", groupEnd), [](const PsdLayer& l) { return l.section == PsdSection::ClosedFolder; }},
      {tagged("lsdk", groupEnd), [](const PsdLayer& l) { return l.section == PsdSection::ClosedFolder; }},
      {tagged("iOpa", byte), [](const PsdLayer& l) { return l.fillOpacity == 77; }},
      {tagged("infx", byte), [](const PsdLayer& l) { return l.interiorEffectsWithFill; }},
      {tagged("lrFX", byte), [](const PsdLayer& l) { return l.hasEffects && !l.effects.present(); }},
      {tagged("lmfx", byte), [](const PsdLayer& l) { return l.hasEffects && l.effects.present(); }},
      {tagged("abdd", byte), [](const PsdLayer& l) { return l.fillLayer && !l.content.present(); }},
      {tagged("vsms", byte), [](const PsdLayer& l) { return l.hasVectorMask && l.vectorMask.length == 4; }},
      {tagged("vscg", shapeFill),
       [](const PsdLayer& l) {
         return l.fillLayer && l.content.key == BlendKey{'S', 'o', 'C', 'o'} && l.content.length == 8;
       }},
      {tagged("GdFl", byte),
       [](const PsdLayer& l) {
         return l.fillLayer && l.content.key == BlendKey{'G', 'd', 'F', 'l'};
       }},
      {tagged("hue ", byte),
       [](const PsdLayer& l) {
         return l.notDrawable && l.content.key == BlendKey{'h', 'u', 'e', ' '};
       }},
      {tagged("CgEd", byte), [](const PsdLayer& l) { return l.notDrawable; }},
      {tagged("xxxx", byte) + tagged("iOpa", byte),
       [](const PsdLayer& l) { return !l.notDrawable && !l.fillLayer && !l.hasEffects && l.fillOpacity == 77; }},
  };
  for (const Case& c : cases) {
    TestDocument doc;
    doc.layers = {solidLayer(0, 0, 2, 4, 10, 20, 30)};
    doc.layers[0].blocks = c.blocks;
    const std::string encoded = encode(doc);
    const MemoryBytes bytes({reinterpret_cast<const std::uint8_t*>(encoded.data()), encoded.size()});
    PsdDocument document;
    std::vector<PsdLayer> layers;
    ASSERT_EQ(readPsdStructure(bytes, document), std::nullopt);
    ASSERT_EQ(readPsdLayers(bytes, document, layers), std::nullopt) << c.blocks.substr(4, 4);
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_TRUE(c.holds(layers[0])) << c.blocks.substr(4, 4);
  }
}

// The library reads the document through the conversion's one open file;
// what it makes of it must be what it makes of the file it opens itself.
TEST(PsdDocument, LibraryReadsTheOpenFileAsItReadsThePath) {
  const std::filesystem::path corpus = QM_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus";
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::string path = entry.path().string();
    PsdDocument document;
    const FileBytes file(path);
    // Documents the load hands to the library and leaves as it read them.
    if (compared == 12 || entry.path().extension() != ".psd" || readPsdStructure(file, document) ||
        !document.hasRealMergedImage || document.mergedHasTransparency || document.header.mode != PsdMode::Rgb ||
        !document.iccProfile.empty())
      continue;
    const Bitmap own(FreeImage_Load(FIF_PSD, path.c_str(), PSD_DEFAULT));
    const Bitmap loaded = loadDocument(file).image;
    ASSERT_EQ(static_cast<bool>(own), static_cast<bool>(loaded)) << path;
    if (!own) continue;
    ASSERT_EQ(own.bpp(), loaded.bpp()) << path;
    ASSERT_EQ(own.width(), loaded.width()) << path;
    ASSERT_EQ(own.height(), loaded.height()) << path;
    const unsigned pitch = FreeImage_GetLine(own.get());
    for (unsigned y = 0; y < own.height(); ++y)
      ASSERT_EQ(std::memcmp(FreeImage_GetScanLine(own.get(), static_cast<int>(y)),
                            FreeImage_GetScanLine(loaded.get(), static_cast<int>(y)), pitch),
                0)
          << path << " row " << y;
    ++compared;
  }
  EXPECT_GT(compared, 3);
}

}  // namespace
}  // namespace qm
