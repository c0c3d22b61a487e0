#include "engine/document/fill_layers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>

namespace qm {

namespace {

float unit(double v) { return std::isfinite(v) ? static_cast<float>(std::clamp(v, 0.0, 1.0)) : 0.0f; }

// A colour of the description as the document's channels hold it: grey
// 1 = white, CMYK as 1 - ink, Lab with a and b around one half. A 32-bit
// document's merged image holds its fills at these values too (measured
// against Photoshop's own), not converted to linear light.
std::optional<std::vector<float>> documentColour(const DescriptorValue& colour, PsdMode mode) {
  const std::string& kind = colour.text;
  float r = 0, g = 0, b = 0;
  if (kind == "RGBC") {
    r = unit(colour.numberOr("Rd  ", 0) / 255), g = unit(colour.numberOr("Grn ", 0) / 255);
    b = unit(colour.numberOr("Bl  ", 0) / 255);
  } else if (kind == "Grsc") {
    const float grey = 1 - unit(colour.numberOr("Gry ", 0) / 100);
    if (mode == PsdMode::Greyscale || mode == PsdMode::Duotone) return std::vector<float>{grey};
    r = g = b = grey;
  } else if (kind == "CMYC") {
    const float c = unit(colour.numberOr("Cyn ", 0) / 100), m = unit(colour.numberOr("Mgnt", 0) / 100);
    const float y = unit(colour.numberOr("Ylw ", 0) / 100), k = unit(colour.numberOr("Blck", 0) / 100);
    if (mode == PsdMode::Cmyk) return std::vector<float>{1 - c, 1 - m, 1 - y, 1 - k};
    r = (1 - c) * (1 - k), g = (1 - m) * (1 - k), b = (1 - y) * (1 - k);
  } else if (kind == "HSBC") {
    double h = colour.numberOr("H   ", 0);
    h = std::isfinite(h) ? std::fmod(std::fmod(h, 360.0) + 360.0, 360.0) / 60.0 : 0.0;
    const float s = unit(colour.numberOr("Strt", 0) / 100), v = unit(colour.numberOr("Brgh", 0) / 100);
    const float f = static_cast<float>(h - std::floor(h));
    const float p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    switch (static_cast<int>(h) % 6) {
      case 0: r = v, g = t, b = p; break;
      case 1: r = q, g = v, b = p; break;
      case 2: r = p, g = v, b = t; break;
      case 3: r = p, g = q, b = v; break;
      case 4: r = t, g = p, b = v; break;
      default: r = v, g = p, b = q; break;
    }
  } else if (kind == "LbCl" && mode == PsdMode::Lab) {
    return std::vector<float>{unit(colour.numberOr("Lmnc", 0) / 100), unit((colour.numberOr("A   ", 0) + 128) / 255),
                              unit((colour.numberOr("B   ", 0) + 128) / 255)};
  } else {
    return std::nullopt;
  }
  switch (mode) {
    case PsdMode::Rgb: return std::vector<float>{r, g, b};
    case PsdMode::Greyscale:
    case PsdMode::Duotone: return std::vector<float>{0.3f * r + 0.59f * g + 0.11f * b};
    case PsdMode::Cmyk: {
      const float k = 1 - std::max({r, g, b});
      if (k >= 1) return std::vector<float>{1, 1, 1, 0};
      return std::vector<float>{1 - (1 - r - k) / (1 - k), 1 - (1 - g - k) / (1 - k), 1 - (1 - b - k) / (1 - k), 1 - k};
    }
    default: return std::nullopt;
  }
}

struct Stop {
  float at = 0;           // 0..1 along the gradient
  float midpoint = 0.5f;  // between the stop before and this one
  std::vector<float> value;
};

// Stops sorted by place; a place holds 0..4096.
std::vector<Stop> readStops(const DescriptorValue* list, PsdMode mode, bool colours) {
  std::vector<Stop> stops;
  if (!list) return stops;
  for (const DescriptorValue& item : list->items) {
    if (stops.size() >= 256) break;
    Stop stop;
    stop.at = unit(item.numberOr("Lctn", 0) / 4096);
    stop.midpoint = std::clamp(unit(item.numberOr("Mdpn", 50) / 100), 0.01f, 0.99f);
    if (colours) {
      const DescriptorValue* colour = item.find("Clr ");
      std::optional<std::vector<float>> value;
      if (colour) value = documentColour(*colour, mode);
      if (!value) {
        // Foreground and background stops without a stored colour: black
        // and white, the defaults.
        DescriptorValue grey;
        grey.text = "Grsc";
        grey.items.emplace_back();
        grey.items.back().key = "Gry ";
        grey.items.back().number = item.textOr("Type", "") == "BckC" ? 0.0 : 100.0;
        value = documentColour(grey, mode);
        if (!value) return {};
      }
      stop.value = *value;
    } else {
      stop.value = {unit(item.numberOr("Opct", 100) / 100)};
    }
    stops.push_back(std::move(stop));
  }
  std::stable_sort(stops.begin(), stops.end(), [](const Stop& a, const Stop& b) { return a.at < b.at; });
  return stops;
}

// Smoothness eases each stretch between two stops in and out instead of
// running it at one pace; `smooth` is 0..1.
void sample(const std::vector<Stop>& stops, float t, float smooth, float* out) {
  const std::size_t n = stops.front().value.size();
  if (t <= stops.front().at) {
    std::copy_n(stops.front().value.begin(), n, out);
    return;
  }
  for (std::size_t i = 1; i < stops.size(); ++i) {
    const Stop& a = stops[i - 1];
    const Stop& b = stops[i];
    if (t > b.at) continue;
    float u = b.at > a.at ? (t - a.at) / (b.at - a.at) : 1.0f;
    u = u < b.midpoint ? 0.5f * u / b.midpoint : 0.5f + 0.5f * (u - b.midpoint) / (1 - b.midpoint);
    u += (u * u * (3 - 2 * u) - u) * smooth;
    for (std::size_t c = 0; c < n; ++c) out[c] = a.value[c] + (b.value[c] - a.value[c]) * u;
    return;
  }
  std::copy_n(stops.back().value.begin(), n, out);
}

enum class Shape { Linear, Radial, Angle, Reflected, Diamond };

bool paintGradient(const DescriptorValue& fill, PsdMode mode, unsigned channels, const PsdRect& area,
                   const PsdRect& box, FillPaint& out) {
  const DescriptorValue* gradient = fill.find("Grad");
  if (!gradient || gradient->textOr("GrdF", "CstS") != "CstS") return false;
  const std::vector<Stop> colours = readStops(gradient->find("Clrs"), mode, true);
  std::vector<Stop> opacities = readStops(gradient->find("Trns"), mode, false);
  if (colours.empty() || colours.front().value.size() != channels) return false;
  if (opacities.empty()) opacities.push_back(Stop{0, 0.5f, {1.0f}});
  const float smooth = unit(gradient->numberOr("Intr", 4096) / 4096);

  const std::string type = fill.textOr("Type", "Lnr ");
  const Shape shape = type == "Rdl "   ? Shape::Radial
                      : type == "Angl" ? Shape::Angle
                      : type == "Rflc" ? Shape::Reflected
                      : type == "Dmnd" ? Shape::Diamond
                                       : Shape::Linear;
  double degrees = fill.numberOr("Angl", 90);
  if (!std::isfinite(degrees)) degrees = 90;
  double scale = fill.numberOr("Scl ", 100) / 100;
  if (!std::isfinite(scale) || scale < 0.01) scale = 1;
  scale = std::min(scale, 100.0);
  const bool reverse = fill.numberOr("Rvrs", 0) != 0;
  double offsetX = 0, offsetY = 0;
  if (const DescriptorValue* offset = fill.find("Ofst")) {
    offsetX = offset->numberOr("Hrzn", 0) / 100;
    offsetY = offset->numberOr("Vrtc", 0) / 100;
    if (!std::isfinite(offsetX) || !std::isfinite(offsetY)) offsetX = offsetY = 0;
  }

  const double w = static_cast<double>(box.width()), h = static_cast<double>(box.height());
  const double cx = box.left + w / 2 + offsetX * w, cy = box.top + h / 2 + offsetY * h;
  const double angle = degrees * std::numbers::pi / 180;
  const double dx = std::cos(angle), dy = -std::sin(angle);
  // A linear gradient spans the box along its direction, and a reflected
  // one half that each way; the shapes that grow from the centre reach
  // half the box's shorter side, whatever the angle (measured against
  // Photoshop's own renderings).
  const double span = std::max(1.0, (std::fabs(w * dx) + std::fabs(h * dy)) * scale);
  // The end of the gradient's line lies on a whole pixel: on a small box
  // that turns its direction (a 4 x 4 box at 30 degrees runs at 45).
  const double endX = std::floor(cx + dx * span / 2) - cx, endY = std::floor(cy + dy * span / 2) - cy;
  const double reach = std::hypot(endX, endY);
  const double lineX = reach > 0 ? endX / reach : dx, lineY = reach > 0 ? endY / reach : dy;
  const double lineSpan = reach > 0 ? 2 * reach : span;
  const double half = std::max(0.5, std::min(w, h) / 2 * scale);
  // Smoothness eases the stretches of linear and reflected gradients only.
  const float pace = shape == Shape::Linear || shape == Shape::Reflected ? smooth : 0.0f;

  const std::size_t count = static_cast<std::size_t>(area.width() * area.height());
  out.colour.assign(channels, std::vector<float>(count));
  out.alpha.assign(count, 1.0f);
  std::vector<float> value(channels);
  float opacity = 1;
  std::size_t i = 0;
  for (std::int64_t y = area.top; y < area.bottom; ++y)
    for (std::int64_t x = area.left; x < area.right; ++x, ++i) {
      const double px = static_cast<double>(x) - cx, py = static_cast<double>(y) - cy;
      const double along = px * dx + py * dy;
      double t = 0;
      switch (shape) {
        case Shape::Linear: t = 0.5 + (px * lineX + py * lineY) / lineSpan; break;
        case Shape::Radial: t = std::hypot(px, py) / half; break;
        case Shape::Reflected: t = 2 * std::fabs(px * lineX + py * lineY) / lineSpan; break;
        case Shape::Diamond: t = (std::fabs(along) + std::fabs(-px * dy + py * dx)) / half; break;
        case Shape::Angle: {
          // Counter-clockwise from the gradient's direction, once round.
          const double turn = std::atan2(-py, px) - angle;
          t = std::fmod(std::fmod(-turn, 2 * std::numbers::pi) + 2 * std::numbers::pi, 2 * std::numbers::pi) /
              (2 * std::numbers::pi);
          break;
        }
      }
      float at = static_cast<float>(std::clamp(t, 0.0, 1.0));
      if (reverse) at = 1 - at;
      sample(colours, at, pace, value.data());
      sample(opacities, at, pace, &opacity);
      for (unsigned c = 0; c < channels; ++c) out.colour[c][i] = value[c];
      out.alpha[i] = opacity;
    }
  return true;
}

}  // namespace

std::optional<std::vector<float>> descriptionColour(const DescriptorValue& colour, const PsdHeader& header) {
  return documentColour(colour, header.mode);
}

bool paintFill(const BlendKey& key, const DescriptorValue& description, const PsdHeader& header, unsigned channels,
               const PsdRect& area, const PsdRect& box, FillPaint& out) {
  if (area.empty()) return false;
  const PsdMode mode = header.mode;
  if (std::memcmp(key.data(), "SoCo", 4) == 0) {
    const DescriptorValue* colour = description.find("Clr ");
    if (!colour) return false;
    const std::optional<std::vector<float>> value = documentColour(*colour, mode);
    if (!value || value->size() != channels) return false;
    const std::size_t count = static_cast<std::size_t>(area.width() * area.height());
    out.colour.clear();
    for (float v : *value) out.colour.emplace_back(count, v);
    out.alpha.assign(count, 1.0f);
    return true;
  }
  if (std::memcmp(key.data(), "GdFl", 4) == 0) return paintGradient(description, mode, channels, area, box, out);
  return false;
}

}  // namespace qm
