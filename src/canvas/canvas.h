// The drawing layer: transparent 32-bit canvases over Cairo image
// surfaces, anti-aliased rectangles and polygons, drawing one canvas onto
// another with a constant alpha, and the hand-over of a canvas to
// FreeImage. Text drawing builds on the same canvas (see text.h).
//
// All colours are straight (not premultiplied) RGBA; the canvas stores
// Cairo's premultiplied ARGB32 internally.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <span>

#include "platform/handle.h"

namespace qm {

// Declared only, so that the window face, which draws on canvases, never
// sees FreeImage.h: its Windows stand-in macros confuse the toolkit's
// headers.
class Bitmap;

struct Rgba {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t alpha = 255;
};

struct PointF {
  double x = 0;
  double y = 0;
};

class Canvas {
 public:
  // A fully transparent canvas; an invalid one (check valid()) when the
  // size is not positive or memory runs out.
  Canvas(int width, int height);

  bool valid() const { return surface_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Anti-aliased fills in one colour (source-over).
  void fillRectangle(double x, double y, double width, double height, Rgba colour);
  void fillPolygon(std::span<const PointF> points, Rgba colour);
  // Replaces every pixel with the colour.
  void fill(Rgba colour);
  // Draws `source` at (0, 0), its alpha multiplied by alpha / 255.
  void drawCanvas(const Canvas& source, int alpha);

  // The straight-alpha pixel at (x, y), y counted from the top.
  Rgba pixel(int x, int y) const;

  cairo_surface_t* surface() const { return surface_.get(); }

  // A 32-bit FreeImage bitmap with the canvas's un-premultiplied pixels,
  // rows flipped (FreeImage is bottom-up). Equal to what a PNG round trip
  // of the canvas gives.
  Bitmap toBitmap() const;

 private:
  Handle<cairo_surface_t, cairo_surface_destroy> surface_;
  int width_ = 0;
  int height_ = 0;
};

// Owns a cairo_t for drawing on a canvas.
class CairoContext {
 public:
  explicit CairoContext(const Canvas& canvas) : cr_(cairo_create(canvas.surface())) {}
  CairoContext(const CairoContext&) = delete;
  CairoContext& operator=(const CairoContext&) = delete;
  ~CairoContext() { cairo_destroy(cr_); }
  cairo_t* get() const { return cr_; }

 private:
  cairo_t* cr_;
};

}  // namespace qm
