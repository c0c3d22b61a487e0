#include "engine/document/vector_mask.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/handle.h"

namespace qm {

namespace {

constexpr std::size_t kRecordBytes = 26;
constexpr std::size_t kMaxKnots = 200000;

std::uint32_t bigEndian(const std::uint8_t* at, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | at[i];
  return value;
}

// A point as stored: vertical, then horizontal, signed fixed point with 24
// fraction bits.
PathPoint pointAt(const std::uint8_t* at) {
  // Far outside the document a point changes nothing drawn, and keeping it
  // near keeps the rasteriser's fixed-point arithmetic in range.
  const auto fixed = [](std::uint32_t v) {
    return std::clamp(static_cast<double>(static_cast<std::int32_t>(v)) / (1 << 24), -16.0, 16.0);
  };
  return {fixed(bigEndian(at + 4, 4)), fixed(bigEndian(at, 4))};
}

using Surface = Handle<cairo_surface_t, cairo_surface_destroy>;
using Context = Handle<cairo_t, cairo_destroy>;

cairo_operator_t operatorOf(int operation) {
  switch (operation) {
    case 0: return CAIRO_OPERATOR_XOR;
    case 2: return CAIRO_OPERATOR_DEST_OUT;
    case 3: return CAIRO_OPERATOR_DEST_IN;
    default: return CAIRO_OPERATOR_OVER;
  }
}

}  // namespace

std::optional<VectorMask> readVectorMask(std::span<const std::uint8_t> data) {
  if (data.size() < 8) return std::nullopt;
  VectorMask mask;
  const std::uint32_t flags = bigEndian(data.data() + 4, 4);
  mask.inverted = (flags & 1) != 0;
  mask.disabled = (flags & 4) != 0;
  std::size_t knots = 0;
  std::size_t expected = 0;  // knots the current subpath still announces
  for (std::size_t at = 8; at + kRecordBytes <= data.size(); at += kRecordBytes) {
    const std::uint8_t* record = data.data() + at;
    const unsigned selector = bigEndian(record, 2);
    switch (selector) {
      case 0:
      case 3: {
        Subpath subpath;
        subpath.closed = selector == 0;
        expected = bigEndian(record + 2, 2);
        subpath.operation = static_cast<std::int16_t>(bigEndian(record + 4, 2));
        mask.subpaths.push_back(std::move(subpath));
        break;
      }
      case 1:
      case 2:
      case 4:
      case 5:
        if (mask.subpaths.empty() || expected == 0) break;
        if (++knots > kMaxKnots) return std::nullopt;
        --expected;
        mask.subpaths.back().knots.push_back({pointAt(record + 2), pointAt(record + 10), pointAt(record + 18)});
        break;
      case 8: mask.startsFull = bigEndian(record + 2, 2) != 0; break;
      default: break;  // the fill rule and clipboard records change nothing drawn
    }
  }
  return mask;
}

namespace {

// An A8 surface over `area` with a context that draws in document pixels.
struct Raster {
  Surface surface;
  Context cr;
  explicit Raster(const PsdRect& area)
      : surface(cairo_image_surface_create(CAIRO_FORMAT_A8, static_cast<int>(area.width()),
                                           static_cast<int>(area.height()))),
        cr(cairo_create(surface.get())) {
    cairo_translate(cr.get(), -static_cast<double>(area.left), -static_cast<double>(area.top));
  }
  bool ok() const { return cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS; }

  std::vector<float> coverage(const PsdRect& area, bool inverted) {
    const auto width = static_cast<std::size_t>(area.width()), height = static_cast<std::size_t>(area.height());
    std::vector<float> values(width * height, inverted ? 1.0f : 0.0f);
    if (!ok()) return values;
    cairo_surface_flush(surface.get());
    const unsigned char* pixels = cairo_image_surface_get_data(surface.get());
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface.get()));
    for (std::size_t row = 0; row < height; ++row)
      for (std::size_t column = 0; column < width; ++column) {
        const float v = pixels[row * stride + column] / 255.0f;
        values[row * width + column] = inverted ? 1 - v : v;
      }
    return values;
  }
};

// Adds one subpath to the context's path; a mask fills an open subpath as
// if it were closed.
void tracePath(cairo_t* cr, const Subpath& subpath, double width, double height) {
  const std::vector<PathKnot>& knots = subpath.knots;
  const auto x = [&](const PathPoint& p) { return p.x * width; };
  const auto y = [&](const PathPoint& p) { return p.y * height; };
  cairo_move_to(cr, x(knots[0].anchor), y(knots[0].anchor));
  for (std::size_t i = 1; i <= knots.size(); ++i) {
    const PathKnot& from = knots[i - 1];
    const PathKnot& to = knots[i % knots.size()];
    if (i == knots.size() && !subpath.closed) break;
    cairo_curve_to(cr, x(from.after), y(from.after), x(to.before), y(to.before), x(to.anchor), y(to.anchor));
  }
  cairo_close_path(cr);
}

// Draws the mask's combined shape. A subpath without an operation of its
// own belongs to the shape before it (the outlines of one glyph, a ring):
// the shape's subpaths fill together, even-odd, then join what is drawn
// by the shape's operation.
void fillShape(cairo_t* cr, const VectorMask& mask, double width, double height) {
  if (mask.startsFull) {
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_paint(cr);
    cairo_restore(cr);
  }
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  bool first = true;
  for (std::size_t i = 0; i < mask.subpaths.size();) {
    const int operation = mask.subpaths[i].operation;
    cairo_new_path(cr);
    std::size_t end = i;
    do {
      if (mask.subpaths[end].knots.size() >= 2) tracePath(cr, mask.subpaths[end], width, height);
      ++end;
    } while (end < mask.subpaths.size() && mask.subpaths[end].operation == -1);
    // The first shape of an empty mask is drawn whatever its operation.
    cairo_set_operator(cr, first && !mask.startsFull ? CAIRO_OPERATOR_OVER : operatorOf(operation));
    cairo_fill(cr);
    first = false;
    i = end;
  }
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}

}  // namespace

std::vector<float> rasteriseVectorMask(const VectorMask& mask, unsigned documentWidth, unsigned documentHeight,
                                       const PsdRect& area) {
  if (area.empty()) return {};
  Raster raster(area);
  if (raster.ok()) fillShape(raster.cr.get(), mask, documentWidth, documentHeight);
  return raster.coverage(area, mask.inverted);
}

std::vector<float> rasteriseVectorStroke(const VectorMask& mask, unsigned documentWidth, unsigned documentHeight,
                                         const PsdRect& area, double width, StrokeAlignment alignment) {
  if (area.empty()) return {};
  Raster raster(area);
  if (!raster.ok() || !std::isfinite(width) || width <= 0) return raster.coverage(area, false);
  cairo_t* cr = raster.cr.get();
  width = std::min(width, 10000.0);
  cairo_new_path(cr);
  for (const Subpath& subpath : mask.subpaths)
    if (subpath.knots.size() >= 2) tracePath(cr, subpath, documentWidth, documentHeight);
  cairo_set_line_width(cr, alignment == StrokeAlignment::Centre ? width : 2 * width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  if (alignment == StrokeAlignment::Inside) {
    // Only the half of a doubled stroke that lies inside the shape.
    cairo_save(cr);
    cairo_clip_preserve(cr);
    cairo_stroke(cr);
    cairo_restore(cr);
  } else {
    cairo_stroke(cr);
  }
  std::vector<float> coverage = raster.coverage(area, false);
  if (alignment == StrokeAlignment::Outside) {
    // Only the half of a doubled stroke that lies outside the shape.
    VectorMask shape = mask;
    shape.inverted = false;
    const std::vector<float> inside = rasteriseVectorMask(shape, documentWidth, documentHeight, area);
    for (std::size_t i = 0; i < coverage.size() && i < inside.size(); ++i) coverage[i] *= 1 - inside[i];
  }
  return coverage;
}

}  // namespace qm
