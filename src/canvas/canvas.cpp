#include "canvas/canvas.h"

#include "canvas/bitmap.h"

namespace qm {

namespace {

void setColour(cairo_t* cr, Rgba c) {
  cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

// Cairo's PNG writer un-premultiplies with rounding the same way, which
// keeps toBitmap() equal to a PNG round trip.
std::uint8_t straight(std::uint32_t premultiplied, std::uint32_t alpha) {
  if (alpha == 0) return 0;
  return static_cast<std::uint8_t>((premultiplied * 255 + alpha / 2) / alpha);
}

}  // namespace

Canvas::Canvas(int width, int height) {
  if (width <= 0 || height <= 0) return;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return;
  }
  surface_.reset(s);
  width_ = width;
  height_ = height;
}

void Canvas::fillRectangle(double x, double y, double width, double height, Rgba colour) {
  if (!valid() || width <= 0 || height <= 0) return;
  CairoContext cr(*this);
  cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_DEFAULT);
  setColour(cr.get(), colour);
  cairo_rectangle(cr.get(), x, y, width, height);
  cairo_fill(cr.get());
}

void Canvas::fillPolygon(std::span<const PointF> points, Rgba colour) {
  if (!valid() || points.size() < 3) return;
  CairoContext cr(*this);
  cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_DEFAULT);
  setColour(cr.get(), colour);
  cairo_move_to(cr.get(), points[0].x, points[0].y);
  for (std::size_t i = 1; i < points.size(); ++i) cairo_line_to(cr.get(), points[i].x, points[i].y);
  cairo_close_path(cr.get());
  cairo_fill(cr.get());
}

void Canvas::fill(Rgba colour) {
  if (!valid()) return;
  CairoContext cr(*this);
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
  setColour(cr.get(), colour);
  cairo_paint(cr.get());
}

void Canvas::drawCanvas(const Canvas& source, int alpha) {
  if (!valid() || !source.valid()) return;
  cairo_surface_flush(source.surface());
  CairoContext cr(*this);
  cairo_set_source_surface(cr.get(), source.surface(), 0, 0);
  cairo_paint_with_alpha(cr.get(), (alpha < 0 ? 0 : alpha > 255 ? 255 : alpha) / 255.0);
}

Rgba Canvas::pixel(int x, int y) const {
  if (!valid() || x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0, 0};
  cairo_surface_flush(surface());
  const unsigned char* data = cairo_image_surface_get_data(surface());
  int stride = cairo_image_surface_get_stride(surface());
  std::uint32_t argb = *reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride +
                                                               static_cast<std::ptrdiff_t>(x) * 4);
  const std::uint32_t a = argb >> 24;
  return {straight((argb >> 16) & 0xFF, a), straight((argb >> 8) & 0xFF, a), straight(argb & 0xFF, a),
          static_cast<std::uint8_t>(a)};
}

Bitmap Canvas::toBitmap() const {
  if (!valid()) return {};
  Bitmap bitmap(FreeImage_Allocate(width_, height_, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  if (!bitmap) return {};
  cairo_surface_flush(surface());
  const unsigned char* data = cairo_image_surface_get_data(surface());
  int stride = cairo_image_surface_get_stride(surface());
  for (int y = 0; y < height_; ++y) {
    const auto* source = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    BYTE* target = FreeImage_GetScanLine(bitmap.get(), height_ - 1 - y);
    for (int x = 0; x < width_; ++x) {
      const std::uint32_t argb = source[x];
      const std::uint32_t a = argb >> 24;
      target[FI_RGBA_RED] = straight((argb >> 16) & 0xFF, a);
      target[FI_RGBA_GREEN] = straight((argb >> 8) & 0xFF, a);
      target[FI_RGBA_BLUE] = straight(argb & 0xFF, a);
      target[FI_RGBA_ALPHA] = static_cast<BYTE>(a);
      target += 4;
    }
  }
  return bitmap;
}

}  // namespace qm
