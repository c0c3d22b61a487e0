#include "support/picture_files.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace qm::test {

void putU16(Bytes& bytes, std::size_t at, std::uint32_t value) {
  if (bytes.size() < at + 2) bytes.resize(at + 2);
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  if (bytes.size() < at + 4) bytes.resize(at + 4);
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

Bytes encodePng(const RgbaImage& image, bool withAlpha) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  std::vector<std::uint8_t> source;
  if (withAlpha) {
    source = image.rgba;
  } else {
    for (std::size_t i = 0; i < image.rgba.size(); i += 4)
      source.insert(source.end(), &image.rgba[i], &image.rgba[i] + 3);
  }
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, source.data(), 0, nullptr)) return {};
  Bytes bytes(size);
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, source.data(), 0, nullptr)) return {};
  bytes.resize(size);
  return bytes;
}

namespace {

Bytes compressJpeg(const RgbaImage& image, int quality, const std::vector<jpeg_scan_info>& script) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (!script.empty()) {
    info.scan_info = script.data();
    info.num_scans = static_cast<int>(script.size());
  }
  jpeg_start_compress(&info, TRUE);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 3);
  while (info.next_scanline < info.image_height) {
    const std::uint8_t* source = &image.rgba[static_cast<std::size_t>(info.next_scanline) * image.width * 4];
    for (int x = 0; x < image.width; ++x)
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = source[x * 4 + c];
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_compress(&info);
  Bytes bytes(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return bytes;
}

}  // namespace

Bytes encodeJpeg(const RgbaImage& image, int quality) { return compressJpeg(image, quality, {}); }

Bytes encodeProgressiveJpeg(const RgbaImage& image, int scans) {
  std::vector<jpeg_scan_info> script;
  script.push_back({3, {0, 1, 2, 0}, 0, 0, 0, 0});
  const int acScans = scans - 1;
  for (int component = 0; component < 3; ++component) {
    // Coefficients 1..63 in `bands` bands as even as they come.
    const int bands = acScans / 3 + (component < acScans % 3 ? 1 : 0);
    int start = 1;
    for (int band = 0; band < bands; ++band) {
      const int end = start + (63 - start + 1) / (bands - band) - 1;
      script.push_back({1, {component, 0, 0, 0}, start, end, 0, 0});
      start = end + 1;
    }
  }
  return compressJpeg(image, 95, script);
}

namespace {

std::size_t stride(int width, int bitCount) { return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4; }

// BITMAPINFOHEADER at `at`.
void putInfoHeader(Bytes& bytes, std::size_t at, int width, int height, int bitCount, std::uint32_t colours) {
  putU32(bytes, at, 40);
  putU32(bytes, at + 4, static_cast<std::uint32_t>(width));
  putU32(bytes, at + 8, static_cast<std::uint32_t>(height));
  putU16(bytes, at + 12, 1);
  putU16(bytes, at + 14, static_cast<std::uint32_t>(bitCount));
  putU32(bytes, at + 16, 0);
  putU32(bytes, at + 20, 0);
  putU32(bytes, at + 24, 2835);
  putU32(bytes, at + 28, 2835);
  putU32(bytes, at + 32, colours);
  putU32(bytes, at + 36, 0);
}

// Colour rows in file order (bottom-up unless topDown), BGR(A).
Bytes colourRows(const RgbaImage& image, int bitCount, bool topDown) {
  const std::size_t rowBytes = stride(image.width, bitCount);
  Bytes rows(rowBytes * image.height, 0);
  for (int r = 0; r < image.height; ++r) {
    const int y = topDown ? r : image.height - 1 - r;
    std::uint8_t* target = &rows[r * rowBytes];
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
      const int bytes = bitCount / 8;
      target[x * bytes] = p[2];
      target[x * bytes + 1] = p[1];
      target[x * bytes + 2] = p[0];
      if (bytes == 4) target[x * bytes + 3] = p[3];
    }
  }
  return rows;
}

}  // namespace

Bytes encodeBmp(const RgbaImage& image, int bitCount, bool topDown) {
  Bytes rows = colourRows(image, bitCount, topDown);
  Bytes bytes(54, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  putU32(bytes, 2, static_cast<std::uint32_t>(54 + rows.size()));
  putU32(bytes, 10, 54);
  putInfoHeader(bytes, 14, image.width, topDown ? -image.height : image.height, bitCount, 0);
  bytes.insert(bytes.end(), rows.begin(), rows.end());
  return bytes;
}

Bytes encodeBmp8(int width, int height, const std::vector<std::uint8_t>& indices,
                 const std::vector<std::uint32_t>& paletteRgb) {
  const std::size_t paletteBytes = paletteRgb.size() * 4;
  const std::size_t offset = 54 + paletteBytes;
  const std::size_t rowBytes = stride(width, 8);
  Bytes bytes(offset + rowBytes * height, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  putU32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
  putU32(bytes, 10, static_cast<std::uint32_t>(offset));
  putInfoHeader(bytes, 14, width, height, 8, static_cast<std::uint32_t>(paletteRgb.size()));
  for (std::size_t i = 0; i < paletteRgb.size(); ++i) {
    bytes[54 + i * 4] = static_cast<std::uint8_t>(paletteRgb[i]);
    bytes[54 + i * 4 + 1] = static_cast<std::uint8_t>(paletteRgb[i] >> 8);
    bytes[54 + i * 4 + 2] = static_cast<std::uint8_t>(paletteRgb[i] >> 16);
  }
  for (int r = 0; r < height; ++r) {
    const int y = height - 1 - r;
    for (int x = 0; x < width; ++x) bytes[offset + r * rowBytes + x] = indices[static_cast<std::size_t>(y) * width + x];
  }
  return bytes;
}

Bytes encodeIco(const RgbaImage& image, IconKind kind) {
  Bytes data;
  if (kind == IconKind::Png) {
    data = encodePng(image, true);
  } else {
    const int bitCount = kind == IconKind::Bitmap32 ? 32 : 24;
    data.resize(40);
    putInfoHeader(data, 0, image.width, image.height * 2, bitCount, 0);
    Bytes rows = colourRows(image, bitCount, false);
    data.insert(data.end(), rows.begin(), rows.end());
    const std::size_t maskStride = stride(image.width, 1);
    Bytes mask(maskStride * image.height, 0);
    if (kind == IconKind::Bitmap24Masked) {
      for (int r = 0; r < image.height; ++r) {
        const int y = image.height - 1 - r;
        for (int x = 0; x < image.width; ++x) {
          if (image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4 + 3] < 128)
            mask[r * maskStride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
      }
    }
    data.insert(data.end(), mask.begin(), mask.end());
  }
  Bytes bytes(22, 0);
  putU16(bytes, 0, 0);
  putU16(bytes, 2, 1);
  putU16(bytes, 4, 1);
  bytes[6] = static_cast<std::uint8_t>(image.width >= 256 ? 0 : image.width);
  bytes[7] = static_cast<std::uint8_t>(image.height >= 256 ? 0 : image.height);
  putU16(bytes, 10, 1);
  putU16(bytes, 12, kind == IconKind::Bitmap24Masked ? 24 : 32);
  putU32(bytes, 14, static_cast<std::uint32_t>(data.size()));
  putU32(bytes, 18, 22);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

}  // namespace qm::test
