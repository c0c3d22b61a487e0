// Draw frame: paints four solid sides of their own widths and colours over
// the outer edge of the image, meeting in mitred corners. The sides are
// drawn anti-aliased onto a transparent overlay, faded as a whole by
// `Solid Opacity` and composited over the image, which becomes 24-bit.
#include <algorithm>
#include <array>

#include "canvas/canvas.h"
#include "engine/steps/steps.h"

namespace qm {

namespace {

struct SideWidths {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
};

// Opposite sides never add up to more than the image, so every side stays
// a proper trapezoid; the left and top sides keep their width first.
SideWidths clampedWidths(const Settings& settings, int width, int height) {
  SideWidths sides;
  sides.left = std::clamp(settings.solidLeft, 0, width);
  sides.right = std::clamp(settings.solidRight, 0, width - sides.left);
  sides.top = std::clamp(settings.solidTop, 0, height);
  sides.bottom = std::clamp(settings.solidBottom, 0, height - sides.top);
  return sides;
}

Rgba opaque(const std::string& colourText) {
  const Rgb colour = colourFromText(colourText);
  return {colour.red, colour.green, colour.blue, 255};
}

void paintSides(Canvas& overlay, const SideWidths& s, const Settings& settings) {
  const double w = overlay.width();
  const double h = overlay.height();
  const double l = s.left, r = s.right, t = s.top, b = s.bottom;
  const Rgba leftColour = opaque(settings.solidLeftColor);
  const Rgba rightColour = opaque(settings.solidRightColor);
  const Rgba topColour = opaque(settings.solidTopColor);
  const Rgba bottomColour = opaque(settings.solidBottomColor);

  // The corner squares go first so that no background shows through the
  // anti-aliased seams along the diagonals; there the later side lies over
  // the earlier one.
  overlay.fillRectangle(0, 0, l, t, topColour);
  overlay.fillRectangle(w - r, 0, r, t, rightColour);
  overlay.fillRectangle(w - r, h - b, r, b, bottomColour);
  overlay.fillRectangle(0, h - b, l, b, leftColour);

  const std::array<PointF, 4> top = {{{0, 0}, {w, 0}, {w - r, t}, {l, t}}};
  const std::array<PointF, 4> right = {{{w, 0}, {w, h}, {w - r, h - b}, {w - r, t}}};
  const std::array<PointF, 4> bottom = {{{w, h}, {0, h}, {l, h - b}, {w - r, h - b}}};
  const std::array<PointF, 4> left = {{{0, h}, {0, 0}, {l, t}, {l, h - b}}};
  overlay.fillPolygon(top, topColour);
  overlay.fillPolygon(right, rightColour);
  overlay.fillPolygon(bottom, bottomColour);
  overlay.fillPolygon(left, leftColour);
}

// The painted sides faded by `Solid Opacity`; the unfaded overlay is gone
// by the time the result is handed to FreeImage.
Canvas fadedFrame(const Settings& settings, int width, int height) {
  Canvas overlay(width, height);
  if (!overlay.valid()) return overlay;
  paintSides(overlay, clampedWidths(settings, width, height), settings);
  Canvas faded(width, height);
  faded.drawCanvas(overlay, settings.solidOpacity);
  return faded;
}

}  // namespace

Bitmap drawFrame(Bitmap image, const Settings& settings, int width, int height) {
  if (!image || as<FrameType>(settings.doFrame) == FrameType::Off) return image;
  if (image.bpp() != 24) {
    image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    if (!image) return image;
  }
  if (as<FrameType>(settings.doFrame) != FrameType::Solid) return image;

  const Bitmap frame = fadedFrame(settings, width, height).toBitmap();
  if (!frame) return image;
  return Bitmap(FreeImage_Composite(frame.get(), FALSE, nullptr, image.get()));
}

}  // namespace qm
