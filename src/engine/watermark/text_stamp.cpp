// The text stamp: the text in the watermark font on a box of the back
// colour, lines broken at "%eol%". Plain text draws the box under the
// character cells a second time (so it is denser there); vector text
// puts the whole box and the whole text down each at its own opacity.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "canvas/canvas.h"
#include "canvas/font.h"
#include "canvas/text.h"
#include "engine/watermark/watermark.h"
#include "platform/text.h"

namespace qm {

namespace {

constexpr std::string_view kLineBreak = "%eol%";
// Smallest line box of a multi-line text, and the whole box when the text
// cannot be measured at all.
constexpr int kMinimumBox = 10;

struct TextBox {
  std::vector<std::string> lines;
  bool multiLine = false;
  int width = kMinimumBox;      // cw, padding included
  int height = kMinimumBox;     // ch, padding included
  int lineStep = 0;             // ls
  std::vector<int> lineWidths;  // plain-text widths
};

std::vector<std::string> splitLines(const std::string& text) {
  const std::string lower = asciiLower(text);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t at = lower.find(kLineBreak); at != std::string::npos; at = lower.find(kLineBreak, start)) {
    lines.push_back(text.substr(start, at - start));
    start = at + kLineBreak.size();
  }
  lines.push_back(text.substr(start));
  return lines;
}

int clampByte(int value) { return std::clamp(value, 0, 255); }

Rgba colourOf(const std::string& text, int alpha) {
  Rgb c = colourFromText(text);
  return {c.red, c.green, c.blue, static_cast<std::uint8_t>(clampByte(alpha))};
}

TextBox measureBox(const std::string& text, const Settings& settings, const TextRenderer& plain) {
  TextBox box;
  box.lines = splitLines(text);
  box.multiLine = box.lines.size() > 1;
  box.lineWidths.assign(box.lines.size(), 0);
  std::vector<TextExtent> extents;
  for (const std::string& line : box.lines) {
    std::optional<TextExtent> extent = plain.measure(line);
    if (!extent) {
      extents.clear();
      break;
    }
    extents.push_back(*extent);
  }
  if (!extents.empty()) {
    if (box.multiLine) {
      int lineHeight = kMinimumBox;
      box.width = kMinimumBox;
      for (std::size_t i = 0; i < extents.size(); ++i) {
        box.lineWidths[i] = static_cast<int>(extents[i].width);
        box.width = std::max(box.width, box.lineWidths[i]);
        lineHeight = std::max(lineHeight, static_cast<int>(extents[i].height));
      }
      box.lineStep = lineHeight + settings.fontLeading;
      box.height = lineHeight + static_cast<int>(box.lines.size() - 1) * box.lineStep;
    } else {
      box.width = static_cast<int>(extents[0].width);
      box.height = static_cast<int>(extents[0].height);
    }
  }
  box.width += 2 * settings.textPadding;
  box.height += 2 * settings.textPadding;
  return box;
}

int lineX(const TextBox& box, const Settings& settings, int lineWidth) {
  switch (as<TextAlignment>(settings.textAlignment)) {
    case TextAlignment::Left: return settings.textPadding;
    case TextAlignment::Center: return static_cast<int>(std::lround(static_cast<float>(box.width - lineWidth) / 2.0f));
    case TextAlignment::Right: return box.width - lineWidth - settings.textPadding;
    default: return 0;
  }
}

Bitmap plainStamp(const TextBox& box, const Settings& settings, const TextRenderer& plain) {
  Canvas text(box.width, box.height);
  if (!text.valid()) return {};
  const Rgba front = colourOf(settings.fontColor, settings.textOpacity);
  const Rgba back = colourOf(settings.backColor, settings.backOpacity);
  text.fill(back);
  int y = settings.textPadding;
  for (std::size_t i = 0; i < box.lines.size(); ++i) {
    const int x = box.multiLine ? lineX(box, settings, box.lineWidths[i]) : settings.textPadding;
    plain.draw(text, box.lines[i], x, y, front, back);
    y += box.lineStep;
  }
  return text.toBitmap();
}

Bitmap vectorStamp(const TextBox& box, const Settings& settings, const Font& font) {
  TextRenderer vector(font, TextRendering::Vector);
  Canvas text(box.width, box.height);
  Canvas back(box.width, box.height);
  Canvas watermark(box.width, box.height);
  if (!text.valid() || !back.valid() || !watermark.valid()) return {};
  back.fill(colourOf(settings.backColor, 255));
  const Rgba front = colourOf(settings.fontColor, 255);
  int y = settings.textPadding;
  for (const std::string& line : box.lines) {
    int x = settings.textPadding;
    if (box.multiLine) {
      std::optional<TextExtent> extent = vector.measure(line);
      // Halves go to the even neighbour here, as the vector measure does.
      const int lineWidth = extent ? static_cast<int>(std::nearbyint(extent->width)) : 0;
      x = lineX(box, settings, lineWidth);
    }
    vector.draw(text, line, x, y, front);
    y += box.lineStep;
  }
  watermark.drawCanvas(back, clampByte(settings.backOpacity));
  watermark.drawCanvas(text, clampByte(settings.textOpacity));
  return watermark.toBitmap();
}

}  // namespace

Bitmap makeTextStamp(const std::string& text, const Settings& settings, const Font* font) {
  if (!font) return {};
  TextRenderer plain(*font, TextRendering::Plain);
  TextBox box = measureBox(text, settings, plain);
  if (settings.textAntialiasing) return vectorStamp(box, settings, *font);
  return plainStamp(box, settings, plain);
}

}  // namespace qm
