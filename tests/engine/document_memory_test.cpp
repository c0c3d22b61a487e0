// Documents that cost far more memory than their size on disk: a layer
// whose zip-compressed channel inflates to gigabytes, and groups nested
// seventy deep. Made here byte by byte and converted by the real program:
// each comes out right or fails with "too large: ...", never after taking
// gigabytes (the program's peak is measured from outside, not here).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/program_runner.h"
#include "support/psd_writer.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

using test::put16;
using test::put32;
using test::put8;

constexpr std::uint64_t kMegabyte = 1u << 20;

// A zlib stream of `size` bytes of `value`, made without compressing them
// all: after a full flush deflate starts afresh, so every further 1 MiB
// block compresses to the same bytes, and the checksum is combined.
std::string zlibOf(std::uint64_t size, std::uint8_t value) {
  const std::vector<std::uint8_t> block(kMegabyte, value);
  z_stream stream{};
  deflateInit(&stream, 9);
  std::vector<std::uint8_t> buffer(deflateBound(&stream, kMegabyte) + 64);
  auto deflateBlock = [&](std::size_t count, int flush) {
    stream.next_in = const_cast<Bytef*>(block.data());
    stream.avail_in = static_cast<uInt>(count);
    stream.next_out = buffer.data();
    stream.avail_out = static_cast<uInt>(buffer.size());
    deflate(&stream, flush);
    return std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(buffer.size() - stream.avail_out));
  };
  const std::uint64_t whole = size / kMegabyte;
  const std::uint64_t rest = size % kMegabyte;
  std::string out = deflateBlock(0, Z_FULL_FLUSH);  // the header
  if (whole > 0) {
    const std::string repeated = deflateBlock(kMegabyte, Z_FULL_FLUSH);
    for (std::uint64_t i = 0; i < whole; ++i) out += repeated;
  }
  out += deflateBlock(static_cast<std::size_t>(rest), Z_FINISH);
  deflateEnd(&stream);
  const uLong blockSum = adler32(1, block.data(), kMegabyte);
  uLong sum = adler32(0, nullptr, 0);
  for (std::uint64_t i = 0; i < whole; ++i) sum = adler32_combine(sum, blockSum, kMegabyte);
  sum = adler32_combine(sum, adler32(1, block.data(), static_cast<uInt>(rest)), static_cast<z_off_t>(rest));
  out.resize(out.size() - 4);
  put32(out, static_cast<std::uint32_t>(sum));
  return out;
}

struct Layer {
  std::int32_t top = 0, left = 0, bottom = 0, right = 0;
  std::vector<std::pair<int, std::string>> channels;  // id, compression field and data
  std::string blend = "norm";
  unsigned section = 0;  // 1 group folder, 3 group end
};

// An 8-bit RGB document saved without a merged image of its own (so it is
// composed from `layers`, bottom first); its stand-in merged image is zip.
std::string encodeDocument(std::uint32_t width, std::uint32_t height, const std::vector<Layer>& layers) {
  std::string out = "8BPS";
  put16(out, 1);
  out.append(6, '\0');
  put16(out, 3);
  put32(out, height);
  put32(out, width);
  put16(out, 8);
  put16(out, 3);
  put32(out, 0);
  std::string version;
  put32(version, 1);
  put8(version, 0);  // no real merged image
  put32(version, 0);
  put32(version, 0);
  put32(version, 1);
  std::string resources = "8BIM";
  put16(resources, 0x0421);
  put16(resources, 0);
  put32(resources, static_cast<std::uint32_t>(version.size()));
  resources += version;
  if (resources.size() % 2) put8(resources, 0);
  put32(out, static_cast<std::uint32_t>(resources.size()));
  out += resources;

  std::string info;
  put16(info, static_cast<unsigned>(layers.size()));
  for (const Layer& layer : layers) {
    for (std::int32_t side : {layer.top, layer.left, layer.bottom, layer.right})
      put32(info, static_cast<std::uint32_t>(side));
    put16(info, static_cast<unsigned>(layer.channels.size()));
    for (const auto& [id, data] : layer.channels) {
      put16(info, static_cast<unsigned>(id) & 0xFFFF);
      put32(info, static_cast<std::uint32_t>(data.size()));
    }
    info += "8BIM" + layer.blend;
    put8(info, 255);
    put8(info, 0);
    put8(info, 0);
    put8(info, 0);
    std::string extra;
    put32(extra, 0);  // no mask
    put32(extra, 0);  // no blending ranges
    put8(extra, 3);
    extra += "lay";
    if (layer.section != 0) {
      extra += "8BIMlsct";
      put32(extra, 12);
      put32(extra, layer.section);
      extra += "8BIM" + layer.blend;
    }
    put32(info, static_cast<std::uint32_t>(extra.size()));
    info += extra;
  }
  for (const Layer& layer : layers)
    for (const auto& channel : layer.channels) info += channel.second;
  if (info.size() % 2) put8(info, 0);
  std::string section;
  put32(section, static_cast<std::uint32_t>(info.size()));
  section += info;
  put32(section, 0);  // global mask
  put32(out, static_cast<std::uint32_t>(section.size()));
  out += section;
  put16(out, 2);
  out += zlibOf(std::uint64_t{width} * height * 3, 255);
  return out;
}

std::string zipChannel(std::uint64_t size, std::uint8_t value) {
  std::string data;
  put16(data, 2);
  return data + zlibOf(size, value);
}

Layer filledLayer(std::int32_t top, std::int32_t left, std::int32_t bottom, std::int32_t right,
                  const std::vector<std::pair<int, std::uint8_t>>& values) {
  Layer layer{top, left, bottom, right, {}};
  const std::uint64_t size = std::uint64_t(bottom - top) * std::uint64_t(right - left);
  for (const auto& [id, value] : values) layer.channels.emplace_back(id, zipChannel(size, value));
  return layer;
}

// `layer` inside `depth` groups of `blend`, each nested in the next.
std::vector<Layer> nested(const Layer& layer, int depth, const std::string& blend) {
  Layer end;
  end.section = 3;
  end.blend = blend;
  Layer folder = end;
  folder.section = 1;
  std::vector<Layer> layers(static_cast<std::size_t>(depth), end);
  layers.push_back(layer);
  layers.insert(layers.end(), static_cast<std::size_t>(depth), folder);
  return layers;
}

// red,green,blue,alpha of one pixel of a written file, read by ImageMagick.
std::string magickPixel(const std::string& path, int x, int y) {
  const std::string command =
      "convert '" + path + "[1x1+" + std::to_string(x) + "+" + std::to_string(y) +
      "]' -format '%[fx:round(255*r)],%[fx:round(255*g)],%[fx:round(255*b)],%[fx:round(255*a)]' "
      "info: 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return "";
  char text[64] = {};
  const std::size_t got = std::fread(text, 1, sizeof text - 1, pipe);
  ::pclose(pipe);
  return std::string(text, got);
}

TEST(DocumentMemory, ZipBombsAndDeepGroupsConvertOrFailAsTooLarge) {
  test::TempFolder folder;
  const std::string in = folder.makeFolder("in");
  const std::string out = folder.makeFolder("out");
  struct Case {
    std::string name;
    std::string bytes;
    std::string reason;                                               // the start of the failure; empty when converted
    std::vector<std::pair<std::pair<int, int>, std::string>> pixels;  // (x, y), "r,g,b,a"
  };
  const std::vector<Case> cases = {
      // Red inflates to 2.1 GB, of which the document shows 1000 x 1000;
      // green and blue are missing (0), alpha too (opaque).
      {"bomb",
       encodeDocument(1000, 1000, {filledLayer(0, 0, 7000, 300000, {{0, 200}})}),
       "",
       {{{0, 0}, "200,0,0,255"}, {{999, 999}, "200,0,0,255"}}},
      // 4.5 GB in one channel: more than is ever inflated.
      {"bigger-bomb",
       encodeDocument(1000, 1000, {filledLayer(0, 0, 15000, 300000, {{0, 200}})}),
       "too large: a zip-compressed channel inflates to 4291 MiB",
       {}},
      // Seventy groups, each isolated by its own blend mode, around a small
      // layer of a large document.
      {"deep",
       encodeDocument(4000, 4000,
                      nested(filledLayer(10, 20, 12, 23, {{-1, 255}, {0, 10}, {1, 220}, {2, 30}}), 70, "mul ")),
       "",
       {{{20, 10}, "10,220,30,255"}, {{22, 11}, "10,220,30,255"}, {{23, 11}, "0,0,0,0"}, {{3999, 3999}, "0,0,0,0"}}},
      // The same around a layer that covers the largest document composed:
      // a canvas of its size at every level.
      {"deep-full",
       encodeDocument(11585, 11585,
                      nested(filledLayer(0, 0, 11585, 11585, {{-1, 255}, {0, 1}, {1, 2}, {2, 3}}), 70, "mul ")),
       "too large: composing its layers needs ",
       {}},
  };
  for (const Case& c : cases) folder.write("in/" + c.name + ".psd", c.bytes);

  const test::ProgramResult run = test::runProgram({"-i", in, "-o", out, "-c", "png", "--jobs=1"});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  for (const Case& c : cases) {
    const std::string output = (std::filesystem::path(out) / (c.name + ".png")).string();
    const std::string notConverted =
        "Not converted: " + (std::filesystem::path(in) / (c.name + ".psd")).string() + ": ";
    if (c.reason.empty()) {
      EXPECT_TRUE(std::filesystem::exists(output)) << c.name << "\n" << run.err;
      EXPECT_EQ(run.err.find(notConverted), std::string::npos) << run.err;
      for (const auto& [at, expected] : c.pixels)
        EXPECT_EQ(magickPixel(output, at.first, at.second), expected)
            << c.name << " at " << at.first << "," << at.second;
    } else {
      EXPECT_FALSE(std::filesystem::exists(output)) << c.name;
      EXPECT_NE(run.err.find(notConverted + c.reason), std::string::npos) << c.name << "\n" << run.err;
    }
  }
}

}  // namespace
}  // namespace qm
