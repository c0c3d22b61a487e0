// Resolving the watermark face: installed families by their own name in
// any letter case, the well-known faces through their stand-ins, and
// nothing for names fontconfig only answers with its fallback.
#include <gtest/gtest.h>

#include "canvas/font.h"
#include "engine/watermark/watermark_font.h"

namespace qm {
namespace {

TEST(FontResolution, KnownFacesResolveToInstalledFamilies) {
  struct Case {
    const char* face;
    const char* family;
  };
  const Case cases[] = {
      {"Arial", "Liberation Sans"},
      {"aRiAl", "Liberation Sans"},
      {"Tahoma", "DejaVu Sans"},
      {"Verdana", "DejaVu Sans"},
      {"VERDANA", "DejaVu Sans"},
      {"Helvetica", "Liberation Sans"},
      {"Times New Roman", "Liberation Serif"},
      {"Courier New", "Liberation Mono"},
      {"Liberation Sans", "Liberation Sans"},
      {"dejavu serif", "DejaVu Serif"},
  };
  for (const Case& c : cases) {
    std::optional<std::string> family = resolveFontFamily(c.face);
    ASSERT_TRUE(family) << c.face;
    EXPECT_EQ(*family, c.family) << c.face;
  }
}

TEST(FontResolution, MadeUpAndGenericNamesFail) {
  // "sans-serif" is only an alias: fontconfig answers it with a real
  // family of another name, as it does for any name it does not know.
  for (const char* face : {"Qwertyuiop Grotesk", "", "sans-serif", "Arial Made Up", " Arial"}) {
    EXPECT_FALSE(resolveFontFamily(face)) << "'" << face << "'";
  }
}

TEST(WatermarkFontCreation, SizeStyleAndEffectsComeFromTheSettings) {
  struct Case {
    int points;
    int style;
    int effect;
    int pixels;
    PangoWeight weight;
    PangoStyle slant;
    bool underline;
    bool strikethrough;
  };
  const Case cases[] = {
      {14, 0, 0, 19, PANGO_WEIGHT_NORMAL, PANGO_STYLE_NORMAL, false, false},
      {12, 1, 1, 16, PANGO_WEIGHT_BOLD, PANGO_STYLE_NORMAL, true, false},
      {9, 2, 2, 12, PANGO_WEIGHT_NORMAL, PANGO_STYLE_ITALIC, false, true},
      {10, 3, 0, 13, PANGO_WEIGHT_BOLD, PANGO_STYLE_ITALIC, false, false},
      {72, 0, 0, 96, PANGO_WEIGHT_NORMAL, PANGO_STYLE_NORMAL, false, false},
  };
  for (const Case& c : cases) {
    Settings settings;
    settings.font = "Arial";
    settings.fontSize = c.points;
    settings.fontStyle = static_cast<SmallCode>(c.style);
    settings.fontEffect = static_cast<SmallCode>(c.effect);
    WatermarkFontPtr font = createWatermarkFont(settings);
    ASSERT_TRUE(font);
    SCOPED_TRACE(std::to_string(c.points) + " pt, style " + std::to_string(c.style));
    EXPECT_EQ(font->pixelSize(), c.pixels);
    EXPECT_EQ(font->family(), "Liberation Sans");
    const PangoFontDescription* d = font->description();
    EXPECT_TRUE(pango_font_description_get_size_is_absolute(d));
    EXPECT_EQ(pango_font_description_get_size(d), c.pixels * PANGO_SCALE);
    EXPECT_EQ(pango_font_description_get_weight(d), c.weight);
    EXPECT_EQ(pango_font_description_get_style(d), c.slant);
    EXPECT_EQ(font->underline(), c.underline);
    EXPECT_EQ(font->strikethrough(), c.strikethrough);
  }
}

TEST(WatermarkFontCreation, AMadeUpFaceGivesNoFont) {
  Settings settings;
  settings.font = "Nonesuch Display";
  EXPECT_FALSE(createWatermarkFont(settings));
}

}  // namespace
}  // namespace qm
