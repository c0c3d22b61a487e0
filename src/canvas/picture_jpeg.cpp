// JPEG pictures through libjpeg: decoding, and encoding for the window's
// own pictures. libjpeg reports fatal errors by a call
// that must not return, so it jumps back with longjmp; the two functions
// that hold a setjmp keep only trivially destructible locals, and every
// owned object lives in decodeJpeg's frame, which a jump never skips.
// Warnings about damaged data (a truncated file among them) count as
// failure: a logo with grey bands is no stamp to put on a picture. So does
// a progressive file of more scans than any encoder writes: each scan
// costs a pass over the whole picture, and a few hundred kilobytes of
// near-empty scans would keep the decoder busy for minutes.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "canvas/picture.h"

namespace qm {

namespace {

struct JpegErrors {
  jpeg_error_mgr manager;  // first, so the library's pointer is ours too
  std::jmp_buf jump;
};

[[noreturn]] void jumpOnError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }
void stayQuiet(j_common_ptr) {}

// Encoders write about ten scans, a finely split script a few dozen; a
// picture gains nothing from more.
constexpr int kMaxJpegScans = 100;

void limitScans(j_common_ptr info) {
  const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (info->is_decompressor && decompress->input_scan_number > kMaxJpegScans) jumpOnError(info);
}

struct JpegReader {
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  jpeg_progress_mgr progress{};
  bool created = false;
  JpegReader() = default;
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;
  ~JpegReader() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

bool readHeader(JpegReader& reader, const std::uint8_t* data, std::size_t size) {
  reader.info.err = jpeg_std_error(&reader.errors.manager);
  reader.errors.manager.error_exit = jumpOnError;
  reader.errors.manager.output_message = stayQuiet;
  if (setjmp(reader.errors.jump)) return false;
  jpeg_create_decompress(&reader.info);
  reader.created = true;
  reader.progress.progress_monitor = limitScans;
  reader.info.progress = &reader.progress;
  jpeg_mem_src(&reader.info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&reader.info, TRUE) != JPEG_HEADER_OK) return false;
  const bool cmyk = reader.info.jpeg_color_space == JCS_CMYK || reader.info.jpeg_color_space == JCS_YCCK;
  reader.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  return reader.errors.manager.num_warnings == 0;
}

// Rows go one after the other into `out`, `rowBytes` apart.
bool readRows(JpegReader& reader, std::uint8_t* out, std::size_t rowBytes) {
  if (setjmp(reader.errors.jump)) return false;
  jpeg_start_decompress(&reader.info);
  while (reader.info.output_scanline < reader.info.output_height) {
    JSAMPROW row = out + reader.info.output_scanline * rowBytes;
    if (jpeg_read_scanlines(&reader.info, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(&reader.info);
  return reader.errors.manager.num_warnings == 0;
}

}  // namespace

std::optional<Picture> decodeJpeg(std::span<const std::uint8_t> bytes) {
  JpegReader reader;
  if (bytes.empty() || !readHeader(reader, bytes.data(), bytes.size())) return std::nullopt;
  const std::int64_t width = reader.info.image_width;
  const std::int64_t height = reader.info.image_height;
  std::optional<Picture> picture = makePicture(width, height, false);
  if (!picture) return std::nullopt;

  const bool cmyk = reader.info.out_color_space == JCS_CMYK;
  const std::size_t components = cmyk ? 4 : 3;
  // Rows are decoded into the front of the picture's own buffer and then
  // spread out to four bytes a pixel from the end backwards.
  std::uint8_t* buffer = picture->rgba.data();
  if (!readRows(reader, buffer, static_cast<std::size_t>(width) * components)) return std::nullopt;
  if (reader.info.output_width != width || reader.info.output_height != height ||
      reader.info.output_components != static_cast<int>(components)) {
    return std::nullopt;
  }
  // Adobe's writers store CMYK inverted (0 = full ink), and say so in
  // their marker.
  const bool inverted = reader.info.saw_Adobe_marker;
  for (std::size_t i = static_cast<std::size_t>(width * height); i-- > 0;) {
    const std::uint8_t* source = buffer + i * components;
    std::uint8_t* target = buffer + i * 4;
    std::uint8_t r, g, b;
    if (cmyk) {
      auto light = [inverted](std::uint8_t v) -> unsigned { return inverted ? v : 255u - v; };
      const unsigned k = light(source[3]);
      r = static_cast<std::uint8_t>((light(source[0]) * k + 127) / 255);
      g = static_cast<std::uint8_t>((light(source[1]) * k + 127) / 255);
      b = static_cast<std::uint8_t>((light(source[2]) * k + 127) / 255);
    } else {
      r = source[0];
      g = source[1];
      b = source[2];
    }
    target[0] = r;
    target[1] = g;
    target[2] = b;
    target[3] = 255;
  }
  return picture;
}

namespace {

struct JpegWriter {
  jpeg_compress_struct info{};
  JpegErrors errors{};
  unsigned char* output = nullptr;  // libjpeg's buffer, grown with malloc
  unsigned long outputSize = 0;
  bool created = false;
  JpegWriter() = default;
  JpegWriter(const JpegWriter&) = delete;
  JpegWriter& operator=(const JpegWriter&) = delete;
  ~JpegWriter() {
    if (created) jpeg_destroy_compress(&info);
    std::free(output);
  }
};

// `rgb` holds the rows one after the other, three bytes a pixel.
bool writeRows(JpegWriter& writer, const std::uint8_t* rgb, int width, int height, int quality) {
  writer.info.err = jpeg_std_error(&writer.errors.manager);
  writer.errors.manager.error_exit = jumpOnError;
  writer.errors.manager.output_message = stayQuiet;
  if (setjmp(writer.errors.jump)) return false;
  jpeg_create_compress(&writer.info);
  writer.created = true;
  jpeg_mem_dest(&writer.info, &writer.output, &writer.outputSize);
  writer.info.image_width = static_cast<JDIMENSION>(width);
  writer.info.image_height = static_cast<JDIMENSION>(height);
  writer.info.input_components = 3;
  writer.info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&writer.info);
  jpeg_set_quality(&writer.info, quality, TRUE);
  jpeg_start_compress(&writer.info, TRUE);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  while (writer.info.next_scanline < writer.info.image_height) {
    JSAMPROW row = const_cast<std::uint8_t*>(rgb + writer.info.next_scanline * rowBytes);
    jpeg_write_scanlines(&writer.info, &row, 1);
  }
  jpeg_finish_compress(&writer.info);
  return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> encodeJpeg(const Picture& picture, int quality) {
  const std::size_t pixels = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
  if (picture.width <= 0 || picture.height <= 0 || picture.rgba.size() != pixels * 4) return std::nullopt;
  // JPEG has no transparency: what is transparent shows the white below.
  std::vector<std::uint8_t> rgb(pixels * 3);
  for (std::size_t i = 0; i < pixels; ++i) {
    const unsigned alpha = picture.rgba[i * 4 + 3];
    for (int c = 0; c < 3; ++c)
      rgb[i * 3 + c] = static_cast<std::uint8_t>((picture.rgba[i * 4 + c] * alpha + 255 * (255 - alpha) + 127) / 255);
  }
  JpegWriter writer;
  if (!writeRows(writer, rgb.data(), picture.width, picture.height, std::clamp(quality, 1, 100))) return std::nullopt;
  return std::vector<std::uint8_t>(writer.output, writer.output + writer.outputSize);
}

}  // namespace qm
