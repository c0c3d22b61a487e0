// Text on canvases with the watermark font, through Pango.
// Two renderings: plain text (no anti-aliasing, fully hinted, whole-pixel
// metrics) and vector text (grey anti-aliased outlines, unhinted,
// fractional metrics).
#pragma once

#include <pango/pango.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "canvas/canvas.h"
#include "canvas/font.h"
#include "platform/handle.h"

namespace qm {

enum class TextRendering { Plain, Vector };

// The logical size of one line: its advance width and its line height
// (ascent + descent), in pixels. Whole numbers for plain text.
struct TextExtent {
  double width = 0;
  double height = 0;
};

class TextRenderer {
 public:
  TextRenderer(const Font& font, TextRendering rendering);

  bool valid() const { return context_ != nullptr; }

  // Nothing when no layout can be made.
  std::optional<TextExtent> measure(std::string_view line) const;

  // Draws one line with the top-left of its logical box at (x, y), blended
  // over what is there. With a back colour, the line's character cells
  // are filled with it first (both blended).
  void draw(const Canvas& canvas, std::string_view line, double x, double y, Rgba front,
            std::optional<Rgba> back = std::nullopt) const;

 private:
  using LayoutPtr = Handle<PangoLayout, g_object_unref>;

  LayoutPtr makeLayout(std::string_view line, const Rgba* front, const Rgba* back) const;

  const Font& font_;
  TextRendering rendering_;
  Handle<PangoContext, g_object_unref> context_;
};

}  // namespace qm
