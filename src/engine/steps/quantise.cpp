// Quantise to 256 colours with the Wu quantiser, without its one weakness:
// its histogram counts overflow for a colour that covers more than about
// 2^23 pixels, and that colour then comes out as some other one (a white
// page turns black). Images too small for that go to the quantiser as they
// are. Larger ones keep their exact colours when they have at most 256;
// otherwise the palette is built from an even sample of at most kSafePixels
// pixels and every pixel takes its nearest palette colour.
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/steps/steps.h"

namespace qm {

namespace {

constexpr std::uint64_t kSafePixels = std::uint64_t{1} << 22;

std::uint32_t colourAt(const BYTE* line, unsigned x) {
  const BYTE* p = line + static_cast<std::size_t>(x) * 3;
  return static_cast<std::uint32_t>(p[FI_RGBA_RED]) << 16 | static_cast<std::uint32_t>(p[FI_RGBA_GREEN]) << 8 |
         p[FI_RGBA_BLUE];
}

RGBQUAD quad(std::uint32_t colour) {
  RGBQUAD q{};
  q.rgbRed = static_cast<BYTE>(colour >> 16);
  q.rgbGreen = static_cast<BYTE>(colour >> 8);
  q.rgbBlue = static_cast<BYTE>(colour);
  return q;
}

Bitmap allocatePaletted(const Bitmap& image) {
  Bitmap made(FreeImage_Allocate(static_cast<int>(image.width()), static_cast<int>(image.height()), 8));
  if (made) {
    FreeImage_SetDotsPerMeterX(made.get(), FreeImage_GetDotsPerMeterX(image.get()));
    FreeImage_SetDotsPerMeterY(made.get(), FreeImage_GetDotsPerMeterY(image.get()));
  }
  return made;
}

// The image's colours in order of appearance, or nothing when it has more
// than 256.
std::optional<std::vector<std::uint32_t>> fewColours(const Bitmap& image) {
  std::unordered_map<std::uint32_t, int> seen;
  std::vector<std::uint32_t> colours;
  for (unsigned y = 0; y < image.height(); ++y) {
    const BYTE* line = FreeImage_GetScanLine(image.get(), static_cast<int>(y));
    std::uint32_t last = ~0u;
    for (unsigned x = 0; x < image.width(); ++x) {
      const std::uint32_t colour = colourAt(line, x);
      if (colour == last) continue;
      last = colour;
      if (seen.emplace(colour, 0).second) {
        if (colours.size() == 256) return std::nullopt;
        colours.push_back(colour);
      }
    }
  }
  return colours;
}

// Every `step`-th pixel of every `step`-th row, as a 24-bit image.
Bitmap evenSample(const Bitmap& image, unsigned step) {
  const unsigned width = (image.width() + step - 1) / step, height = (image.height() + step - 1) / step;
  Bitmap sample(FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 24));
  if (!sample) return sample;
  for (unsigned y = 0; y < height; ++y) {
    const BYTE* in = FreeImage_GetScanLine(image.get(), static_cast<int>(y * step));
    BYTE* out = FreeImage_GetScanLine(sample.get(), static_cast<int>(y));
    for (unsigned x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) out[3 * x + c] = in[3 * x * step + c];
  }
  return sample;
}

// Maps every pixel to its palette index; `indexOf` answers for one colour.
template <typename IndexOf>
Bitmap mapPixels(const Bitmap& image, const std::vector<std::uint32_t>& palette, IndexOf indexOf) {
  Bitmap made = allocatePaletted(image);
  if (!made) return made;
  RGBQUAD* entries = FreeImage_GetPalette(made.get());
  for (std::size_t i = 0; i < 256; ++i) entries[i] = i < palette.size() ? quad(palette[i]) : RGBQUAD{};
  for (unsigned y = 0; y < image.height(); ++y) {
    const BYTE* in = FreeImage_GetScanLine(image.get(), static_cast<int>(y));
    BYTE* out = FreeImage_GetScanLine(made.get(), static_cast<int>(y));
    std::uint32_t last = ~0u;
    BYTE index = 0;
    for (unsigned x = 0; x < image.width(); ++x) {
      const std::uint32_t colour = colourAt(in, x);
      if (colour != last) {
        last = colour;
        index = indexOf(colour);
      }
      out[x] = index;
    }
  }
  return made;
}

Bitmap exactPalette(const Bitmap& image, const std::vector<std::uint32_t>& colours) {
  std::unordered_map<std::uint32_t, BYTE> index;
  for (std::size_t i = 0; i < colours.size(); ++i) index.emplace(colours[i], static_cast<BYTE>(i));
  return mapPixels(image, colours, [&](std::uint32_t colour) { return index.at(colour); });
}

Bitmap nearestPalette(const Bitmap& image, const std::vector<std::uint32_t>& palette) {
  // One answer per colour the image holds, found once.
  std::vector<std::int16_t> known(std::size_t{1} << 24, -1);
  return mapPixels(image, palette, [&](std::uint32_t colour) {
    std::int16_t& answer = known[colour];
    if (answer < 0) {
      int best = 0;
      long bestDistance = -1;
      for (std::size_t i = 0; i < palette.size(); ++i) {
        const long dr = static_cast<long>(colour >> 16 & 0xFF) - static_cast<long>(palette[i] >> 16 & 0xFF);
        const long dg = static_cast<long>(colour >> 8 & 0xFF) - static_cast<long>(palette[i] >> 8 & 0xFF);
        const long db = static_cast<long>(colour & 0xFF) - static_cast<long>(palette[i] & 0xFF);
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
          bestDistance = distance;
          best = static_cast<int>(i);
        }
      }
      answer = static_cast<std::int16_t>(best);
    }
    return static_cast<BYTE>(answer);
  });
}

}  // namespace

Bitmap quantiseTo256Colours(Bitmap image) {
  if (!image || image.bpp() != 24 || FreeImage_GetImageType(image.get()) != FIT_BITMAP) return {};
  const std::uint64_t pixels = std::uint64_t{image.width()} * image.height();
  if (pixels <= kSafePixels) return Bitmap(FreeImage_ColorQuantizeEx(image.get(), FIQ_WUQUANT, 256, 0, nullptr));

  if (auto colours = fewColours(image)) return exactPalette(image, *colours);

  const auto step = static_cast<unsigned>(std::ceil(std::sqrt(static_cast<double>(pixels) / kSafePixels)));
  Bitmap sample = evenSample(image, step);
  if (!sample) return {};
  Bitmap quantised(FreeImage_ColorQuantizeEx(sample.get(), FIQ_WUQUANT, 256, 0, nullptr));
  if (!quantised) return {};
  std::vector<std::uint32_t> palette;
  const RGBQUAD* entries = FreeImage_GetPalette(quantised.get());
  for (unsigned i = 0; i < FreeImage_GetColorsUsed(quantised.get()); ++i)
    palette.push_back(static_cast<std::uint32_t>(entries[i].rgbRed) << 16 |
                      static_cast<std::uint32_t>(entries[i].rgbGreen) << 8 | entries[i].rgbBlue);
  return nearestPalette(image, palette);
}

}  // namespace qm
