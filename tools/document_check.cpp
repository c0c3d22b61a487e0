// Developer checks of the document reader, run by hand on a folder of real
// documents:
//   document_check selfcheck <folder>   composes every document that carries
//       its own merged image from its layers and prints the PSNR of the two,
//       what the composite left out, the distribution, and the share at
//       40 dB or more among documents composed with nothing left out (exit 1
//       below 90 %).
//   document_check layers <document>   lists the layer records, with the
//       descriptors of adjustment and fill layers.
//   document_check fills <document>   paints every fill layer that also
//       stores its pixels from its description and prints the PSNR of the
//       two (QM_FILL_DUMP=1 prints samples of both as well).
//   document_check compare <document> <png>   the composite and the merged
//       image side by side.
//   document_check render <document> <png>   loads as the job does and
//       writes the working image as PNG (for a look or for comparing).
//   document_check layered <document> <width> <height> <layers>   writes an
//       8-bit RGB document saved without a merged image, of that many
//       partly transparent layers in several blend modes (for timing the
//       compositor).
//   document_check load <document>   loads as the job does and nothing else.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/document/descriptor.h"
#include "engine/document/document_image.h"
#include "engine/document/fill_layers.h"
#include "engine/document/psd_compose.h"
#include "engine/document/psd_pixels.h"
#include "engine/library_messages.h"
#include "engine/steps/steps.h"
#include "support/psd_writer.h"

namespace {

// PSNR of the composite over white against the merged image (stored over
// white as well), over the colour channels, at 8-bit scale.
double psnr(const qm::Composite& composite, const std::vector<qm::Plane>& merged) {
  double sum = 0;
  std::size_t count = 0;
  for (std::size_t c = 0; c < composite.colour.size() && c < merged.size(); ++c)
    for (std::size_t i = 0; i < composite.alpha.size(); ++i) {
      const double a = std::clamp(composite.alpha[i], 0.0f, 1.0f);
      const double over = std::clamp(composite.colour[c][i], 0.0f, 1.0f) * a + (1 - a);
      const double d = (over - std::clamp(merged[c].samples[i], 0.0f, 1.0f)) * 255.0;
      sum += d * d;
      ++count;
    }
  if (count == 0) return 0;
  const double mse = sum / static_cast<double>(count);
  return mse <= 1e-12 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

int selfCheck(const std::string& folder) {
  std::vector<std::filesystem::path> documents;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().extension() == ".psd") documents.push_back(entry.path());
  std::sort(documents.begin(), documents.end());
  std::vector<double> faithful, other;
  for (const auto& path : documents) {
    const qm::FileBytes bytes(path.string());
    qm::PsdDocument document;
    if (qm::readPsdStructure(bytes, document) || !document.hasRealMergedImage || document.layerInfoBegin == 0) continue;
    std::vector<qm::PsdLayer> layers;
    qm::Composite composite;
    std::vector<qm::Plane> merged;
    const unsigned channels = qm::composeChannels(document.header.mode);
    auto problem = qm::readPsdLayers(bytes, document, layers);
    if (!problem) problem = qm::composeLayers(bytes, document, layers, composite);
    if (!problem) problem = qm::decodeMergedImage(bytes, document, channels, merged);
    const bool drawable = composite.leftOut.empty();
    if (problem) {
      std::printf("   -    %s  %s: %s\n", drawable ? "F" : " ", path.c_str(), problem->c_str());
      continue;
    }
    const double value = psnr(composite, merged);
    (drawable ? faithful : other).push_back(value);
    std::printf("%6.1f  %s  %s", value, drawable ? "F" : " ", path.c_str());
    // What was left out, each kind once.
    std::vector<std::string> kinds;
    for (const std::string& line : composite.leftOut) {
      const std::string kind = line.substr(line.find("\": ") + 3);
      if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(kind);
    }
    for (const std::string& kind : kinds) std::printf("  | %s", kind.c_str());
    std::printf("\n");
  }
  auto histogram = [](const char* name, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
      return values.empty() ? 0.0 : values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))];
    };
    const auto share =
        values.empty()
            ? 0.0
            : static_cast<double>(std::count_if(values.begin(), values.end(), [](double v) { return v >= 40.0; })) /
                  static_cast<double>(values.size());
    std::printf("%s: %zu documents; PSNR min %.1f, 10%% %.1f, 25%% %.1f, median %.1f; at 40 dB or more: %.0f %%\n",
                name, values.size(), at(0), at(0.1), at(0.25), at(0.5), share * 100);
    return share;
  };
  const double share = histogram("nothing left out", faithful);
  histogram("parts left out", other);
  return share >= 0.9 ? 0 : 1;
}

int render(const std::string& document, const std::string& output) {
  qm::LibraryMessages messages;
  qm::LoadedDocument loaded = qm::loadDocument(document);
  if (!loaded.image) {
    std::fprintf(stderr, "%s: %s\n", document.c_str(),
                 loaded.failure.empty() ? messages.last().c_str() : loaded.failure.c_str());
    return 1;
  }
  qm::Bitmap image = std::move(loaded.image);
  if (image.bpp() > 32 || FreeImage_GetImageType(image.get()) != FIT_BITMAP)
    image =
        qm::Bitmap(FreeImage_GetImageType(image.get()) == FIT_RGBAF || FreeImage_GetImageType(image.get()) == FIT_RGBA16
                       ? FreeImage_ConvertTo32Bits(image.get())
                       : FreeImage_ConvertToStandardType(image.get(), TRUE));
  if (image && image.bpp() > 32) image = qm::Bitmap(FreeImage_ConvertTo24Bits(image.get()));
  return image && FreeImage_Save(FIF_PNG, image.get(), output.c_str(), 0) ? 0 : 1;
}

}  // namespace

void printDescriptor(const qm::DescriptorValue& value, int depth) {
  std::printf("%*s%s %s", 2 * depth + 4, "", value.key.c_str(), value.type.c_str());
  if (!value.unit.empty()) std::printf(" %s", value.unit.c_str());
  if (value.type == "doub" || value.type == "UntF" || value.type == "long" || value.type == "bool")
    std::printf(" %g", value.number);
  if (!value.text.empty()) std::printf(" '%s'", value.text.c_str());
  std::printf("\n");
  for (const qm::DescriptorValue& item : value.items) printDescriptor(item, depth + 1);
}

int listLayers(const std::string& path) {
  const qm::FileBytes bytes(path);
  qm::PsdDocument document;
  if (auto problem = qm::readPsdStructure(bytes, document)) {
    std::printf("%s\n", problem->c_str());
    return 1;
  }
  std::printf("%u x %u, mode %d, depth %u, channels %u, merged %d, transparent %d, count %d, profile %zu\n",
              document.header.width, document.header.height, static_cast<int>(document.header.mode),
              document.header.depth, document.header.channels, document.hasRealMergedImage,
              document.mergedHasTransparency, document.layerCount, document.iccProfile.size());
  std::vector<qm::PsdLayer> layers;
  if (auto problem = qm::readPsdLayers(bytes, document, layers)) std::printf("%s\n", problem->c_str());
  for (const qm::PsdLayer& layer : layers) {
    std::printf("  [%d %d %d %d] %.4s op %u fill %u clip %d hidden %d section %d nodraw %d fx %d vm %d mask %d ch",
                layer.rect.top, layer.rect.left, layer.rect.bottom, layer.rect.right, layer.blendMode.data(),
                layer.opacity, layer.fillOpacity, layer.clipped, layer.hidden, static_cast<int>(layer.section),
                layer.notDrawable, layer.hasEffects, layer.hasVectorMask, layer.mask ? layer.mask->channel : 0);
    for (const auto& channel : layer.channels) std::printf(" %d", channel.id);
    std::printf("  %s\n", layer.name.c_str());
    if (layer.content.present() && layer.content.length < (1u << 20)) {
      std::vector<std::uint8_t> data(static_cast<std::size_t>(layer.content.length));
      std::printf("    %.4s\n", layer.content.key.data());
      if (bytes.read(layer.content.offset, data.data(), data.size()))
        if (auto description = qm::readVersionedDescriptor(data)) printDescriptor(*description, 0);
    }
  }
  return 0;
}

// Paints every gradient or colour fill layer that also stores its pixels
// from its description, over its own rectangle, and prints the PSNR of the
// painting against the stored colour where the stored alpha is full.
int fills(const std::string& path) {
  const qm::FileBytes bytes(path);
  qm::PsdDocument document;
  std::vector<qm::PsdLayer> layers;
  if (qm::readPsdStructure(bytes, document) || qm::readPsdLayers(bytes, document, layers)) return 1;
  const unsigned channels = qm::composeChannels(document.header.mode);
  for (const qm::PsdLayer& layer : layers) {
    if (!layer.fillLayer || !layer.content.present() || layer.rect.empty()) continue;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(std::min<std::uint64_t>(layer.content.length, 1u << 20)));
    if (!bytes.read(layer.content.offset, data.data(), data.size())) continue;
    const auto description = qm::readVersionedDescriptor(data);
    qm::FillPaint paint;
    if (!description ||
        !qm::paintFill(layer.content.key, *description, document.header, channels, layer.rect, layer.rect, paint)) {
      std::printf("   -   %s (not painted)\n", layer.name.c_str());
      continue;
    }
    std::vector<qm::Plane> stored(channels + 1);
    for (const qm::PsdChannel& channel : layer.channels) {
      const int slot = channel.id == -1 ? static_cast<int>(channels) : channel.id;
      if (slot < 0 || slot > static_cast<int>(channels)) continue;
      qm::decodeChannel(bytes, channel, layer.rect, layer.rect, document.header,
                        stored[static_cast<std::size_t>(slot)]);
    }
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < paint.alpha.size(); ++i) {
      if (stored[channels].samples.size() != paint.alpha.size() || stored[channels].samples[i] < 0.999f) continue;
      for (unsigned c = 0; c < channels; ++c) {
        if (stored[c].samples.size() != paint.alpha.size()) continue;
        const double d = (stored[c].samples[i] - paint.colour[c][i]) * 255;
        sum += d * d;
        ++count;
      }
    }
    if (std::getenv("QM_FILL_DUMP")) {
      const std::int64_t w = layer.rect.width(), h = layer.rect.height();
      for (std::int64_t y = 0; y < h; y += 3) {
        for (std::int64_t x = 0; x < w; x += 3) {
          const std::size_t i = static_cast<std::size_t>(y * w + x);
          std::printf("%3d/%3d ", static_cast<int>(stored[channels - 1].samples[i] * 255),
                      static_cast<int>(paint.colour[channels - 1][i] * 255));
        }
        std::printf("\n");
      }
    }
    const double mse = count ? sum / static_cast<double>(count) : 0;
    std::printf("%6.1f  %s\n", mse <= 1e-12 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse), layer.name.c_str());
  }
  return 0;
}

// Writes the composite and the merged image over white, side by side.
int compare(const std::string& path, const std::string& output) {
  const qm::FileBytes bytes(path);
  qm::PsdDocument document;
  std::vector<qm::PsdLayer> layers;
  qm::Composite composite;
  std::vector<qm::Plane> merged;
  auto problem = qm::readPsdStructure(bytes, document);
  if (!problem) problem = qm::readPsdLayers(bytes, document, layers);
  if (!problem) problem = qm::composeLayers(bytes, document, layers, composite);
  if (!problem) problem = qm::decodeMergedImage(bytes, document, qm::composeChannels(document.header.mode), merged);
  if (problem) {
    std::fprintf(stderr, "%s\n", problem->c_str());
    return 1;
  }
  const unsigned w = composite.width, h = composite.height;
  qm::Bitmap image(FreeImage_Allocate(static_cast<int>(2 * w), static_cast<int>(h), 24));
  for (unsigned y = 0; y < h; ++y) {
    BYTE* line = FreeImage_GetScanLine(image.get(), static_cast<int>(h - 1 - y));
    for (unsigned x = 0; x < w; ++x) {
      const std::size_t i = std::size_t{y} * w + x;
      for (int c = 0; c < 3; ++c) {
        const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(c), composite.colour.size() - 1);
        const float a = composite.alpha[i];
        const float over = std::clamp(composite.colour[k][i], 0.0f, 1.0f) * a + 1 - a;
        const int index = c == 0 ? FI_RGBA_RED : c == 1 ? FI_RGBA_GREEN : FI_RGBA_BLUE;
        line[3 * x + index] = static_cast<BYTE>(std::lround(over * 255));
        line[3 * (x + w) + index] = static_cast<BYTE>(std::lround(std::clamp(merged[k].samples[i], 0.0f, 1.0f) * 255));
      }
    }
  }
  return FreeImage_Save(FIF_PNG, image.get(), output.c_str(), 0) ? 0 : 1;
}

namespace {

using qm::test::put16;
using qm::test::put32;
using qm::test::put8;

// One channel, compressed row by row as Photoshop does: the compression,
// the byte count of every row, then the rows.
std::string rleChannel(unsigned width, unsigned height, const std::function<std::uint8_t(unsigned, unsigned)>& sample) {
  std::vector<std::uint8_t> row(width);
  std::string counts, rows;
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) row[x] = sample(x, y);
    const std::vector<std::uint8_t> packed = qm::test::packBits(row.data(), row.size());
    put16(counts, static_cast<unsigned>(packed.size()));
    rows.append(packed.begin(), packed.end());
  }
  std::string out;
  put16(out, 1);
  return out + counts + rows;
}

int layered(const std::string& path, unsigned width, unsigned height, unsigned count) {
  if (width == 0 || height == 0 || width > 30000 || height > 30000 || count == 0 || count > 100) return 2;
  static const char* const kModes[] = {"norm", "mul ", "scrn", "over", "lite", "dark", "norm", "hLit", "sLit", "diff"};
  std::string records, data;
  for (unsigned k = 0; k < count; ++k) {
    // Each layer a little further in, so the layers overlap in part.
    const unsigned left = k * width / (4 * count), top = k * height / (4 * count);
    const unsigned w = width - left - width / 8, h = height - top - height / 8;
    put32(records, top);
    put32(records, left);
    put32(records, top + h);
    put32(records, left + w);
    put16(records, 4);
    std::string channels[4];
    channels[0] = rleChannel(
        w, h, [&](unsigned x, unsigned y) { return static_cast<std::uint8_t>(64 + (x + y) * 191 / (w + h)); });
    for (unsigned c = 0; c < 3; ++c)
      channels[c + 1] = rleChannel(w, h, [&](unsigned x, unsigned y) {
        return static_cast<std::uint8_t>(c == 0 ? x * 255 / w : c == 1 ? y * 255 / h : (k * 40 + x / 16) & 0xFF);
      });
    const int ids[4] = {-1, 0, 1, 2};
    for (unsigned c = 0; c < 4; ++c) {
      put16(records, static_cast<unsigned>(ids[c]) & 0xFFFF);
      put32(records, static_cast<std::uint32_t>(channels[c].size()));
      data += channels[c];
    }
    records += "8BIM";
    records += kModes[k % 10];
    put8(records, 220);  // opacity
    put8(records, 0);    // not clipped
    put8(records, 0);    // visible
    put8(records, 0);
    std::string extra;
    put32(extra, 0);  // no mask
    put32(extra, 0);  // no blending ranges
    const std::string name = "layer " + std::to_string(k);
    std::string pascal;
    put8(pascal, static_cast<unsigned>(name.size()));
    pascal += name;
    while (pascal.size() % 4) put8(pascal, 0);
    extra += pascal;
    put32(records, static_cast<std::uint32_t>(extra.size()));
    records += extra;
  }
  std::string info;
  put16(info, count);
  info += records + data;
  if (info.size() % 2) put8(info, 0);

  std::string out = "8BPS";
  put16(out, 1);
  out.append(6, '\0');
  put16(out, 3);
  put32(out, height);
  put32(out, width);
  put16(out, 8);
  put16(out, 3);
  put32(out, 0);  // no colour table
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
  if (version.size() % 2) put8(resources, 0);
  put32(out, static_cast<std::uint32_t>(resources.size()));
  out += resources;
  std::string section;
  put32(section, static_cast<std::uint32_t>(info.size()));
  section += info;
  put32(section, 0);  // no global mask
  put32(out, static_cast<std::uint32_t>(section.size()));
  out += section;
  // The white stand-in a document without a merged image carries.
  put16(out, 1);
  std::string counts, rows;
  const std::vector<std::uint8_t> white(width, 255);
  const std::vector<std::uint8_t> packed = qm::test::packBits(white.data(), white.size());
  for (unsigned r = 0; r < 3 * height; ++r) {
    put16(counts, static_cast<unsigned>(packed.size()));
    rows.append(packed.begin(), packed.end());
  }
  out += counts + rows;
  std::ofstream file(path, std::ios::binary);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  return file.good() ? 0 : 1;
}

// A positive whole number, or 0 for anything else.
unsigned number(const std::string& text) {
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 100000) return 0;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

int load(const std::string& document) {
  const qm::LoadedDocument loaded = qm::loadDocument(document);
  if (!loaded.image) {
    std::fprintf(stderr, "%s: %s\n", document.c_str(), loaded.failure.c_str());
    return 1;
  }
  std::printf("%u x %u, %u bits\n", loaded.image.width(), loaded.image.height(), loaded.image.bpp());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "selfcheck") return selfCheck(args[1]);
  if (args.size() == 2 && args[0] == "layers") return listLayers(args[1]);
  if (args.size() == 2 && args[0] == "fills") return fills(args[1]);
  if (args.size() == 3 && args[0] == "compare") return compare(args[1], args[2]);
  if (args.size() == 3 && args[0] == "render") return render(args[1], args[2]);
  if (args.size() == 2 && args[0] == "load") return load(args[1]);
  if (args.size() == 5 && args[0] == "layered")
    return layered(args[1], number(args[2]), number(args[3]), number(args[4]));
  std::fprintf(stderr,
               "usage: document_check selfcheck <folder> | render <document> <png> | load <document>\n"
               "       | layered <document> <width> <height> <layers>\n");
  return 2;
}
