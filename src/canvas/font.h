// A font: a face resolved to an installed family through
// fontconfig (or the table of stand-ins for well-known faces), with its
// em size in pixels, weight, slant and line effects.
#pragma once

#include <pango/pango.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include "platform/handle.h"

namespace qm {

struct FontRequest {
  std::string face;
  int pixelSize = 19;  // em height; values below 1 are taken as 1
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;
};

// The installed family a face name stands for: a family fontconfig holds
// under that very name (letter case aside), else the stand-in the
// substitution table names for it. Nothing for a name fontconfig could
// only answer with its generic fallback.
std::optional<std::string> resolveFontFamily(std::string_view face);

class Font {
 public:
  // Nothing when the face cannot be resolved.
  static std::optional<Font> create(const FontRequest& request);

  const std::string& family() const { return family_; }
  int pixelSize() const { return pixelSize_; }
  bool underline() const { return underline_; }
  bool strikethrough() const { return strikethrough_; }
  // Family, absolute size, weight and style; the line effects are
  // attributes of each layout.
  const PangoFontDescription* description() const { return description_.get(); }

 private:
  Font() = default;

  std::string family_;
  int pixelSize_ = 0;
  bool underline_ = false;
  bool strikethrough_ = false;
  Handle<PangoFontDescription, pango_font_description_free> description_;
};

}  // namespace qm
