#include "canvas/font.h"
#include "platform/text.h"

#include <fontconfig/fontconfig.h>

#include <array>
#include <cctype>
#include "platform/handle.h"

namespace qm {

namespace {

struct FontStandIn {
  std::string_view face;
  std::string_view family;
};

// Faces the program's defaults and common documents name, mapped to the
// metric-compatible or look-alike families installed with the program.
constexpr std::array<FontStandIn, 8> kFontStandIns = {{
    {"Arial", "Liberation Sans"},
    {"Helvetica", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Times", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"Courier", "Liberation Mono"},
    {"Tahoma", "DejaVu Sans"},
    {"Verdana", "DejaVu Sans"},
}};

using PatternPtr = Handle<FcPattern, FcPatternDestroy>;

// The family name as installed, when fontconfig's best match for the name
// carries it among its family names. A name fontconfig does not know gets
// its generic fallback, whose families differ from the name.
std::optional<std::string> installedFamily(std::string_view name) {
  if (name.empty()) return std::nullopt;
  PatternPtr pattern(FcPatternCreate());
  if (!pattern) return std::nullopt;
  std::string family(name);
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  if (!match) return std::nullopt;
  FcChar8* candidate = nullptr;
  for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &candidate) == FcResultMatch; ++i) {
    std::string_view text(reinterpret_cast<const char*>(candidate));
    if (equalsIgnoringCase(text, name)) return std::string(text);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> resolveFontFamily(std::string_view face) {
  if (auto family = installedFamily(face)) return family;
  for (const FontStandIn& standIn : kFontStandIns) {
    if (equalsIgnoringCase(face, standIn.face)) return installedFamily(standIn.family);
  }
  return std::nullopt;
}

std::optional<Font> Font::create(const FontRequest& request) {
  std::optional<std::string> family = resolveFontFamily(request.face);
  if (!family) return std::nullopt;

  Font font;
  font.family_ = std::move(*family);
  font.pixelSize_ = request.pixelSize < 1 ? 1 : request.pixelSize;
  font.underline_ = request.underline;
  font.strikethrough_ = request.strikethrough;
  font.description_.reset(pango_font_description_new());
  if (!font.description_) return std::nullopt;
  PangoFontDescription* d = font.description_.get();
  pango_font_description_set_family(d, font.family_.c_str());
  pango_font_description_set_absolute_size(d, static_cast<double>(font.pixelSize_) * PANGO_SCALE);
  pango_font_description_set_weight(d, request.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(d, request.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return font;
}

}  // namespace qm
