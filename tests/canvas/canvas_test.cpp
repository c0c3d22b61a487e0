// The drawing layer: fills, constant-alpha drawing and the hand-over of a
// canvas to FreeImage, which must give what a PNG round trip gives.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "canvas/canvas.h"
#include "platform/handle.h"
#include "support/image_readback.h"

namespace qm {
namespace {

using test::Pixel;
using test::pixelAt;

// The canvas encoded by Cairo's PNG writer and decoded by FreeImage.
Bitmap pngRoundTrip(const Canvas& canvas) {
  std::string bytes;
  auto append = [](void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
  };
  if (cairo_surface_write_to_png_stream(canvas.surface(), append, &bytes) != CAIRO_STATUS_SUCCESS) return {};
  Handle<FIMEMORY, FreeImage_CloseMemory> memory(
      FreeImage_OpenMemory(reinterpret_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())));
  return Bitmap(FreeImage_LoadFromMemory(FIF_PNG, memory.get(), 0));
}

Pixel toPixel(Rgba c) { return {c.red, c.green, c.blue, c.alpha}; }

// Semi-transparent shapes with anti-aliased edges, overlapping, then the
// whole faded onto a second canvas.
Canvas semiTransparentScene() {
  Canvas shapes(61, 47);
  shapes.fillRectangle(3.5, 2.25, 30.3, 20.6, {200, 30, 90, 180});
  const std::array<PointF, 5> star = {{{10, 40}, {55.3, 5.1}, {40.7, 44.9}, {20.2, 3.3}, {58, 30.5}}};
  shapes.fillPolygon(star, {20, 240, 130, 99});
  shapes.fillRectangle(40, 30, 15, 10, {255, 255, 255, 255});
  shapes.fillRectangle(0, 44, 61, 3, {7, 8, 9, 1});
  Canvas faded(61, 47);
  faded.fill({0, 0, 255, 40});
  faded.drawCanvas(shapes, 201);
  return faded;
}

TEST(CanvasToBitmap, EqualsAPngRoundTrip) {
  const Canvas canvas = semiTransparentScene();
  ASSERT_TRUE(canvas.valid());
  Bitmap direct = canvas.toBitmap();
  Bitmap viaPng = pngRoundTrip(canvas);
  ASSERT_TRUE(direct);
  ASSERT_TRUE(viaPng);
  ASSERT_EQ(viaPng.bpp(), 32u);
  ASSERT_EQ(direct.bpp(), 32u);
  ASSERT_EQ(direct.width(), viaPng.width());
  ASSERT_EQ(direct.height(), viaPng.height());
  int partlyTransparent = 0;
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const Pixel p = pixelAt(direct, x, y);
      ASSERT_EQ(p, pixelAt(viaPng, x, y)) << x << "," << y;
      ASSERT_EQ(p, toPixel(canvas.pixel(x, y))) << x << "," << y;
      if (p.alpha > 0 && p.alpha < 255) ++partlyTransparent;
    }
  EXPECT_GT(partlyTransparent, 1000);  // the comparison covered the hard cases
}

TEST(CanvasToBitmap, OpaqueCanvasKeepsItsAlphaChannel) {
  // Cairo writes a fully opaque canvas as a PNG without alpha; the direct
  // hand-over stays 32-bit, which compositing needs, with the same colours.
  Canvas canvas(20, 10);
  canvas.fill({10, 20, 30, 255});
  canvas.fillRectangle(2.5, 2.5, 5, 5, {250, 0, 0, 255});
  Bitmap direct = canvas.toBitmap();
  Bitmap viaPng = pngRoundTrip(canvas);
  ASSERT_EQ(direct.bpp(), 32u);
  ASSERT_TRUE(viaPng);
  EXPECT_EQ(viaPng.bpp(), 24u);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      Pixel p = pixelAt(direct, x, y);
      ASSERT_EQ(p.alpha, 255);
      ASSERT_EQ(p, pixelAt(viaPng, x, y)) << x << "," << y;
    }
}

TEST(Canvas, StartsTransparentAndFillsExactlyOnWholePixels) {
  Canvas canvas(10, 8);
  ASSERT_TRUE(canvas.valid());
  EXPECT_EQ(toPixel(canvas.pixel(4, 4)), (Pixel{0, 0, 0, 0}));
  canvas.fillRectangle(2, 3, 4, 2, {10, 200, 30, 255});
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x < 6 && y >= 3 && y < 5;
      const Pixel expected = inside ? Pixel{10, 200, 30, 255} : Pixel{0, 0, 0, 0};
      EXPECT_EQ(toPixel(canvas.pixel(x, y)), expected) << x << "," << y;
    }
  Bitmap bitmap = canvas.toBitmap();
  EXPECT_EQ(pixelAt(bitmap, 2, 3), (Pixel{10, 200, 30, 255}));  // rows counted from the top
  EXPECT_EQ(pixelAt(bitmap, 2, 5).alpha, 0);
}

TEST(Canvas, PolygonEdgesAreAntiAliased) {
  Canvas canvas(10, 10);
  // A triangle whose long edge runs through the pixel centres of the diagonal.
  const std::array<PointF, 3> triangle = {{{0, 0}, {10, 0}, {10, 10}}};
  canvas.fillPolygon(triangle, {255, 0, 0, 255});
  EXPECT_EQ(toPixel(canvas.pixel(7, 2)), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(canvas.pixel(2, 7).alpha, 0);
  const int diagonal = canvas.pixel(5, 5).alpha;
  EXPECT_GT(diagonal, 100);
  EXPECT_LT(diagonal, 155);
}

TEST(Canvas, DrawCanvasMultipliesTheSourceAlpha) {
  Canvas source(4, 4);
  source.fill({255, 0, 0, 255});
  source.fillRectangle(0, 0, 2, 4, {0, 0, 255, 128});
  Canvas halfSource(4, 4);
  halfSource.fill({0, 255, 0, 128});
  struct Case {
    const Canvas* source;
    int alpha;
    int expectedAlpha;
  };
  const Case cases[] = {{&source, 255, 255}, {&source, 128, 128}, {&source, 0, 0},
                        {&source, 300, 255}, {&source, -5, 0},    {&halfSource, 128, 64}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.alpha);
    Canvas target(4, 4);
    target.drawCanvas(*c.source, c.alpha);
    EXPECT_NEAR(target.pixel(3, 1).alpha, c.expectedAlpha, 1);
    if (c.expectedAlpha > 0) {
      const Rgba expected = c.source->pixel(3, 1);
      EXPECT_NEAR(target.pixel(3, 1).red, expected.red, 2);
      EXPECT_NEAR(target.pixel(3, 1).green, expected.green, 2);
    }
  }
}

TEST(Canvas, InvalidSizesGiveAnInvalidCanvasThatIgnoresDrawing) {
  for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-3, 5}, {40000, 2}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    Canvas canvas(w, h);
    EXPECT_FALSE(canvas.valid());
    canvas.fill({1, 2, 3, 4});
    canvas.fillRectangle(0, 0, 1, 1, {});
    Canvas other(2, 2);
    other.drawCanvas(canvas, 255);
    canvas.drawCanvas(other, 255);
    EXPECT_EQ(canvas.pixel(0, 0).alpha, 0);
    EXPECT_FALSE(canvas.toBitmap());
  }
  Canvas canvas(3, 3);
  EXPECT_EQ(canvas.pixel(-1, 0).alpha, 0);
  EXPECT_EQ(canvas.pixel(3, 0).alpha, 0);
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// Beyond 2 GiB of pixels a row offset no longer fits an int. Cairo takes
// such a canvas (its pages stay untouched until drawn on), so the last row
// must read back what was drawn there.
TEST(Canvas, PixelsBeyondTwoGibibytesReadBack) {
  const int width = 32767;
  const int height = 16400;  // 32767 x 4 x 16400 > 2^31 bytes
  Canvas canvas(width, height);
  if (!canvas.valid()) GTEST_SKIP() << "no memory for a 2 GiB canvas here";
  canvas.fillRectangle(width - 2, height - 1, 2, 1, Rgba{10, 20, 30, 255});
  Rgba corner = canvas.pixel(width - 1, height - 1);
  EXPECT_EQ(corner.red, 10);
  EXPECT_EQ(corner.green, 20);
  EXPECT_EQ(corner.blue, 30);
  EXPECT_EQ(corner.alpha, 255);
  EXPECT_EQ(canvas.pixel(width - 1, 0).alpha, 0);
}

}  // namespace
}  // namespace qm
