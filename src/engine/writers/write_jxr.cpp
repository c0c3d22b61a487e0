// The JPEG XR writer. FreeImage's own JPEG XR plugin fails on every image
// (the note on jxrlib's headers below says why), so the bitmap goes to
// jxrlib directly. jxrlib encodes into memory and the finished file goes
// out through an OutputFile: jxrlib's own file stream never checks its
// close, so the last buffer could fail to reach a full disk unnoticed.
#include "engine/writers/output_file.h"
#include "engine/writers/writers.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "platform/handle.h"

// jxrlib's headers come after every other header: they define macros with
// common names (min, max, and the annotation words of another compiler),
// and the two that would shadow std:: functions go again. FreeImage.h
// defines _WINDOWS_, which makes jxrlib's GUID 24 bytes instead of the 16
// the library was built with, and every pixel format passed by value then
// arrives garbled (this is why FreeImage's own JPEG XR plugin fails), so
// jxrlib must not see it.
#pragma push_macro("_WINDOWS_")
#undef _WINDOWS_
#include <JXRGlue.h>
#pragma pop_macro("_WINDOWS_")
#undef min
#undef max

static_assert(sizeof(GUID) == 16, "jxrlib's pixel formats must have the library's own layout");

namespace qm {

namespace {

// ---------------------------------------------------------------------------
// The stream jxrlib encodes into: a growing byte buffer with a position of
// its own, since the encoder goes back to fill in sizes once it knows them.

class MemoryStream {
 public:
  MemoryStream() {
    stream_.state.pvObj = this;
    stream_.fMem = TRUE;
    stream_.Close = close;
    stream_.EOS = atEnd;
    stream_.Read = read;
    stream_.Write = write;
    stream_.SetPos = setPosition;
    stream_.GetPos = getPosition;
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  WMPStream* get() { return &stream_; }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  static MemoryStream& of(WMPStream* stream) { return *static_cast<MemoryStream*>(stream->state.pvObj); }

  // The encoder "closes" the stream it was given when it is released; the
  // bytes stay here until this object goes.
  static ERR close(WMPStream** stream) {
    if (stream) *stream = nullptr;
    return WMP_errSuccess;
  }

  static Bool atEnd(WMPStream* stream) {
    MemoryStream& self = of(stream);
    return self.position_ >= self.bytes_.size();
  }

  static ERR read(WMPStream* stream, void* into, std::size_t count) {
    MemoryStream& self = of(stream);
    if (self.position_ > self.bytes_.size() || count > self.bytes_.size() - self.position_) return WMP_errFileIO;
    if (count > 0) std::memcpy(into, self.bytes_.data() + self.position_, count);
    self.position_ += count;
    return WMP_errSuccess;
  }

  // A write past the end (after a seek there) fills the gap with zeros.
  static ERR write(WMPStream* stream, const void* from, std::size_t count) {
    MemoryStream& self = of(stream);
    if (count == 0) return WMP_errSuccess;
    if (count > std::numeric_limits<std::size_t>::max() - self.position_) return WMP_errBufferOverflow;
    const std::size_t end = self.position_ + count;
    try {
      if (end > self.bytes_.size()) self.bytes_.resize(end);
    } catch (const std::bad_alloc&) {
      return WMP_errOutOfMemory;
    } catch (const std::length_error&) {
      return WMP_errOutOfMemory;
    }
    std::memcpy(self.bytes_.data() + self.position_, from, count);
    self.position_ = end;
    return WMP_errSuccess;
  }

  static ERR setPosition(WMPStream* stream, std::size_t position) {
    of(stream).position_ = position;
    return WMP_errSuccess;
  }

  static ERR getPosition(WMPStream* stream, std::size_t* position) {
    *position = of(stream).position_;
    return WMP_errSuccess;
  }

  WMPStream stream_{};
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// ---------------------------------------------------------------------------
// Owners of jxrlib's objects.

void releaseCodecFactory(PKCodecFactory* factory) { factory->Release(&factory); }
using CodecFactory = Handle<PKCodecFactory, releaseCodecFactory>;

// jxrlib's Release closes the encoder's stream without looking whether it
// has one; before Initialize it has none and holds nothing but itself.
void releaseEncoder(PKImageEncode* encoder) {
  if (encoder->pStream)
    encoder->Release(&encoder);
  else
    PKFree(reinterpret_cast<void**>(&encoder));
}
using Encoder = Handle<PKImageEncode, releaseEncoder>;

// ---------------------------------------------------------------------------
// The pixels in a layout jxrlib takes: top row first, rows `stride` bytes
// apart (FreeImage keeps the bottom row first).

struct Pixels {
  const PKPixelFormatGUID* format = nullptr;
  COLORFORMAT colours = YUV_444;  // inside the codestream: grey or full colour
  bool alpha = false;
  bool blackWhite = false;  // one bit per pixel
  std::size_t stride = 0;
  std::vector<std::uint8_t> bytes;
};

// Room for `rows` rows of `stride` bytes, or false when that overflows the
// sizes jxrlib takes (its strides are 32-bit).
bool allocate(Pixels& pixels, std::size_t stride, unsigned rows) {
  if (stride == 0 || stride > std::numeric_limits<U32>::max() ||
      rows > std::numeric_limits<std::size_t>::max() / stride)
    return false;
  pixels.stride = stride;
  try {
    pixels.bytes.assign(stride * rows, 0);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

// `width` times `bytesPerPixel`, or 0 when that overflows.
std::size_t rowBytes(unsigned width, std::size_t bytesPerPixel) {
  if (width > std::numeric_limits<std::size_t>::max() / bytesPerPixel) return 0;
  return width * bytesPerPixel;
}

const BYTE* sourceRow(const Bitmap& image, unsigned topRow) {
  return FreeImage_GetScanLine(image.get(), static_cast<int>(image.height() - 1 - topRow));
}

// Rows whose bytes jxrlib takes as FreeImage holds them (BGR, BGRA, RGB16).
bool copyRows(const Bitmap& image, std::size_t bytesPerPixel, Pixels& pixels) {
  const std::size_t row = rowBytes(image.width(), bytesPerPixel);
  if (!allocate(pixels, row, image.height())) return false;
  for (unsigned y = 0; y < image.height(); ++y) std::memcpy(&pixels.bytes[y * pixels.stride], sourceRow(image, y), row);
  return true;
}

unsigned paletteIndex(const BYTE* row, std::size_t x, unsigned bpp) {
  switch (bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    default: return row[x];
  }
}

bool isGrey(const RGBQUAD& entry) { return entry.rgbRed == entry.rgbGreen && entry.rgbGreen == entry.rgbBlue; }

// Palettised images: grey levels when every entry is grey, colour otherwise.
// An index past the palette (a damaged bitmap) reads as its last entry.
bool expandPalette(const Bitmap& image, Pixels& pixels) {
  const RGBQUAD* palette = FreeImage_GetPalette(image.get());
  const unsigned entries = FreeImage_GetColorsUsed(image.get());
  if (!palette || entries == 0) return false;
  const bool grey = std::all_of(palette, palette + entries, isGrey);
  pixels.format = grey ? &GUID_PKPixelFormat8bppGray : &GUID_PKPixelFormat24bppBGR;
  pixels.colours = grey ? Y_ONLY : YUV_444;
  const std::size_t bytesPerPixel = grey ? 1 : 3;
  if (!allocate(pixels, rowBytes(image.width(), bytesPerPixel), image.height())) return false;
  for (unsigned y = 0; y < image.height(); ++y) {
    const BYTE* in = sourceRow(image, y);
    std::uint8_t* out = &pixels.bytes[y * pixels.stride];
    for (std::size_t x = 0; x < image.width(); ++x) {
      const RGBQUAD& entry = palette[std::min(paletteIndex(in, x, image.bpp()), entries - 1)];
      if (grey) {
        out[x] = entry.rgbRed;
      } else {
        out[3 * x] = entry.rgbBlue;
        out[3 * x + 1] = entry.rgbGreen;
        out[3 * x + 2] = entry.rgbRed;
      }
    }
  }
  return true;
}

// A two-entry palette of pure black and pure white stays one bit deep.
bool isBlackAndWhite(const Bitmap& image) {
  const RGBQUAD* palette = FreeImage_GetPalette(image.get());
  if (image.bpp() != 1 || !palette || FreeImage_GetColorsUsed(image.get()) != 2) return false;
  auto level = [](const RGBQUAD& entry) { return isGrey(entry) ? entry.rgbRed : -1; };
  const int first = level(palette[0]);
  const int second = level(palette[1]);
  return (first == 0 && second == 255) || (first == 255 && second == 0);
}

// jxrlib's black-and-white pixels are 1 for white, most significant bit
// first; FreeImage's bits are palette indices, so a palette with white
// first is inverted on the way.
bool packBlackAndWhite(const Bitmap& image, Pixels& pixels) {
  const bool whiteFirst = FreeImage_GetPalette(image.get())[0].rgbRed == 255;
  const std::size_t row = (static_cast<std::size_t>(image.width()) + 7) / 8;
  if (!allocate(pixels, row, image.height())) return false;
  for (unsigned y = 0; y < image.height(); ++y) {
    const BYTE* in = sourceRow(image, y);
    std::uint8_t* out = &pixels.bytes[y * pixels.stride];
    for (std::size_t i = 0; i < row; ++i) out[i] = whiteFirst ? static_cast<std::uint8_t>(~in[i]) : in[i];
  }
  pixels.format = &GUID_PKPixelFormatBlackWhite;
  pixels.colours = Y_ONLY;
  pixels.blackWhite = true;
  return true;
}

// JPEG XR has no three-float pixel; its float RGB pixel carries a fourth,
// unused float.
bool padFloats(const Bitmap& image, Pixels& pixels) {
  if (!allocate(pixels, rowBytes(image.width(), 4 * sizeof(float)), image.height())) return false;
  for (unsigned y = 0; y < image.height(); ++y) {
    const BYTE* in = sourceRow(image, y);
    std::uint8_t* out = &pixels.bytes[y * pixels.stride];
    for (unsigned x = 0; x < image.width(); ++x)
      std::memcpy(out + 4 * sizeof(float) * x, in + 3 * sizeof(float) * x, 3 * sizeof(float));
  }
  pixels.format = &GUID_PKPixelFormat128bppRGBFloat;
  return true;
}

// The image in jxrlib's terms; false for a kind of bitmap no output depth
// produces.
bool preparePixels(const Bitmap& image, Pixels& pixels) {
  switch (FreeImage_GetImageType(image.get())) {
    case FIT_BITMAP:
      switch (image.bpp()) {
        case 1:
          if (isBlackAndWhite(image)) return packBlackAndWhite(image, pixels);
          return expandPalette(image, pixels);
        case 4:
        case 8: return expandPalette(image, pixels);
        case 16: {
          // Widened to 24 bits the way the rest of the program widens
          // 16-bit pixels.
          const Bitmap wide(FreeImage_ConvertTo24Bits(image.get()));
          pixels.format = &GUID_PKPixelFormat24bppBGR;
          return wide && copyRows(wide, 3, pixels);
        }
        case 24: pixels.format = &GUID_PKPixelFormat24bppBGR; return copyRows(image, 3, pixels);
        case 32:
          pixels.format = &GUID_PKPixelFormat32bppBGRA;
          pixels.alpha = true;
          return copyRows(image, 4, pixels);
        default: return false;
      }
    case FIT_RGB16: pixels.format = &GUID_PKPixelFormat48bppRGB; return copyRows(image, 6, pixels);
    case FIT_RGBF: return padFloats(image, pixels);
    default: return false;
  }
}

// ---------------------------------------------------------------------------
// Encoding.

// FreeImage's JPEG XR save flags: the quality in the low seven bits, 0 for
// its default of 80, 100 for lossless.
int qualityOf(std::int32_t saveFlags) {
  const int quality = saveFlags & 0x7F;
  return quality == 0 ? 80 : std::min(quality, 100);
}

// Quantiser index 1 keeps every value. Below that the index grows with the
// lost quality, over the range that suits the channel depth.
CWMIStrCodecParam codecParameters(const Pixels& pixels, int quality) {
  CWMIStrCodecParam parameters{};
  parameters.cfColorFormat = pixels.colours;
  parameters.bdBitDepth = BD_LONG;
  // Spatial order with a single tile: jxrlib then writes one stream in one
  // pass, with no index table and no temporary files of its own.
  parameters.bfBitstreamFormat = SPATIAL;
  parameters.sbSubband = SB_ALL;
  parameters.uAlphaMode = pixels.alpha ? 2 : 0;  // alpha as a plane of its own
  parameters.bBlackWhite = FALSE;
  const bool lossless = quality >= 100 || pixels.blackWhite;
  parameters.olOverlap = lossless ? OL_NONE : OL_ONE;
  const bool deep = pixels.format == &GUID_PKPixelFormat48bppRGB || pixels.format == &GUID_PKPixelFormat128bppRGBFloat;
  const int range = deep ? 196 : 66;
  parameters.uiDefaultQPIndex = static_cast<U8>(lossless ? 1 : 1 + (100 - quality) * range / 100);
  parameters.uiDefaultQPIndexAlpha = 1;
  if (pixels.format == &GUID_PKPixelFormat128bppRGBFloat) {
    // Floats are kept to 16 bits of mantissa, 1 part in 130000, with an
    // exponent bias that keeps everything from 2^-15 upwards at that
    // precision. More mantissa bits are not safe: from 19 up, the encoder
    // stops the whole process on an assertion for large values. (For
    // integer pixels the same field is a right shift, and stays 0.)
    parameters.nLenMantissaOrShift = 16;
    parameters.nExpBias = static_cast<I8>(16 - 128);  // jxrlib adds 128 with wrap-around
  }
  return parameters;
}

std::string encoderFailure(ERR error) { return "the jxr encoder failed (error " + std::to_string(error) + ")"; }

// Encodes into `stream`; false with `failure` set when jxrlib reports an
// error.
bool encode(const Bitmap& image, Pixels& pixels, int quality, MemoryStream& stream, std::string& failure) {
  PKCodecFactory* rawFactory = nullptr;
  ERR error = PKCreateCodecFactory(&rawFactory, WMP_SDK_VERSION);
  CodecFactory factory(rawFactory);
  if (Failed(error) || !factory) {
    failure = encoderFailure(error);
    return false;
  }
  PKImageEncode* rawEncoder = nullptr;
  error = factory->CreateCodec(&IID_PKImageWmpEncode, reinterpret_cast<void**>(&rawEncoder));
  Encoder encoder(rawEncoder);
  if (Failed(error) || !encoder) {
    failure = encoderFailure(error);
    return false;
  }

  CWMIStrCodecParam parameters = codecParameters(pixels, quality);
  error = encoder->Initialize(encoder.get(), stream.get(), &parameters, sizeof parameters);
  // Initialize gives the alpha plane the main quantiser; alpha is always
  // kept exactly.
  if (!Failed(error)) encoder->WMP.wmiSCP_Alpha.uiDefaultQPIndex = 1;
  if (!Failed(error)) error = encoder->SetPixelFormat(encoder.get(), *pixels.format);
  if (!Failed(error))
    error = encoder->SetSize(encoder.get(), static_cast<I32>(image.width()), static_cast<I32>(image.height()));
  if (!Failed(error)) {
    auto dpi = [](unsigned dotsPerMetre) {
      return dotsPerMetre == 0 ? 96.0f : static_cast<Float>(dotsPerMetre * 0.0254);
    };
    error = encoder->SetResolution(encoder.get(), dpi(FreeImage_GetDotsPerMeterX(image.get())),
                                   dpi(FreeImage_GetDotsPerMeterY(image.get())));
  }
  // The container carries the colour profile the steps left on the image.
  const FIICCPROFILE* profile = FreeImage_GetICCProfile(image.get());
  if (!Failed(error) && profile && profile->data && profile->size > 0)
    error =
        encoder->SetColorContext(encoder.get(), static_cast<const U8*>(profile->data), static_cast<U32>(profile->size));
  if (!Failed(error))
    error = encoder->WritePixels(encoder.get(), image.height(), pixels.bytes.data(), static_cast<U32>(pixels.stride));
  if (Failed(error)) {
    failure = encoderFailure(error);
    return false;
  }
  return true;
}

bool writeAll(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& failure) {
  OutputFile file = openOutputFile(path.c_str(), failure);
  if (!file) return false;
  const bool complete = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  if (!complete) failure = cannotWrite(errno);
  return closeOutputFile(std::move(file), failure) && complete;
}

}  // namespace

bool writeWithJxr(const Bitmap& image, std::int32_t saveFlags, const std::string& temporaryPath, std::string& failure) {
  if (!image || image.width() == 0 || image.height() == 0) return false;
  constexpr unsigned kLargestSide = static_cast<unsigned>(std::numeric_limits<I32>::max());
  if (image.width() > kLargestSide || image.height() > kLargestSide) return false;
  Pixels pixels;
  if (!preparePixels(image, pixels)) return false;
  MemoryStream stream;
  if (!encode(image, pixels, qualityOf(saveFlags), stream, failure)) return false;
  return finishTemporary(writeAll(temporaryPath, stream.bytes(), failure), temporaryPath);
}

}  // namespace qm
