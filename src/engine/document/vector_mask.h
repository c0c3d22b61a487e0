// Vector masks and the outlines of shape layers: the path records of a
// layer's vmsk/vsms block, rasterised with anti-aliasing into a coverage
// of 0..1 per pixel. Shapes combine by the operation each carries
// (combine, subtract, intersect, exclude); the whole may start filled and
// may be inverted.
//
// The block comes from an untrusted file: every read is bounds-checked,
// the number of knots is capped, and a block that cannot be read yields
// nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/document/psd_structure.h"

namespace qm {

struct PathPoint {
  double x = 0, y = 0;  // as fractions of the document's width and height
};

struct PathKnot {
  PathPoint before;  // the control point the curve arrives by
  PathPoint anchor;
  PathPoint after;  // the control point the curve leaves by
};

struct Subpath {
  bool closed = true;
  // How the subpath joins those before it: 0 exclude overlapping, 1
  // combine, 2 subtract, 3 intersect; -1 makes it part of the shape before
  // it (the outlines of one glyph), filled even-odd with it.
  int operation = -1;
  std::vector<PathKnot> knots;
};

struct VectorMask {
  bool inverted = false;
  bool disabled = false;
  bool startsFull = false;  // the initial fill covers every pixel
  std::vector<Subpath> subpaths;
};

std::optional<VectorMask> readVectorMask(std::span<const std::uint8_t> data);

// The mask's coverage over `area` of a document of that size, row by row.
std::vector<float> rasteriseVectorMask(const VectorMask& mask, unsigned documentWidth, unsigned documentHeight,
                                       const PsdRect& area);

enum class StrokeAlignment { Inside, Centre, Outside };

// The coverage of a stroke `width` pixels wide along the mask's paths over
// `area`, inside, across or outside the outline.
std::vector<float> rasteriseVectorStroke(const VectorMask& mask, unsigned documentWidth, unsigned documentHeight,
                                         const PsdRect& area, double width, StrokeAlignment alignment);

}  // namespace qm
