// The Preferences dialog's rules that need no window: reading and clamping
// what the user types, the gamma's two decimals, the stored texts, the
// colour and font histories, and what the dialog derives on OK.
#include <gtest/gtest.h>

#include <array>

#include "ui/preferences/preferences_values.h"

namespace qm {
namespace {

TEST(PreferencesValues, TypedNumbersAreReadByTheirLeadingDigitsAndClamped) {
  struct Case {
    const char* text;
    PairRange range;
    int value;
    bool digits;
  };
  const Case cases[] = {
      {"150", kQualityRange, 100, true},   {"0", kQualityRange, 1, true},
      {"", kQualityRange, 1, false},       {"-5", kPercentRange, -5, true},
      {"-500", kPercentRange, -100, true}, {"-", kPercentRange, 0, false},
      {"42abc", kAngleRange, 42, true},    {"999999999999", kAngleRange, 360, true},
      {"+7", kScaleRange, 7, true},        {"x12", kOpacityRange, 1, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.range.clamp(leadingInteger(c.text)), c.value) << c.text;
    EXPECT_EQ(hasLeadingDigits(c.text), c.digits) << c.text;
  }
  EXPECT_EQ(kPercentRange.trackMin(), 0);
  EXPECT_EQ(kPercentRange.trackMax(), 200);
}

TEST(PreferencesValues, GammaIsKeptInHundredthsAndShownWithTwoDecimals) {
  EXPECT_EQ(gammaHundredths(2.5f), 250);
  EXPECT_EQ(gammaText(250), "2.50");
  EXPECT_EQ(gammaHundredths(1.234f), 123);
  EXPECT_FLOAT_EQ(gammaFromHundredths(123), 1.23f);
  EXPECT_EQ(gammaHundredths(0.0f), 1);
  EXPECT_EQ(gammaHundredths(50.0f), 999);
  EXPECT_EQ(gammaText(1), "0.01");
  EXPECT_EQ(gammaText(999), "9.99");
  EXPECT_EQ(gammaHundredthsFromText("2.5"), 250);
  EXPECT_EQ(gammaHundredthsFromText("1.234"), 123);
  EXPECT_EQ(gammaHundredthsFromText("1.235"), 124);
  EXPECT_EQ(gammaHundredthsFromText("12"), 999);
  EXPECT_EQ(gammaHundredthsFromText("0"), 1);
  EXPECT_EQ(gammaHundredthsFromText("abc"), 1);
}

TEST(PreferencesValues, FieldsAndTypedTextsAreStoredClean) {
  EXPECT_EQ(numberFieldValue(""), 0);
  EXPECT_EQ(numberFieldValue("0120"), 120);
  EXPECT_EQ(numberFieldValue("99999999999"), INT32_MAX);
  EXPECT_EQ(cleanTypedText("  Quill\tmark \r\n"), "Quillmark");
  EXPECT_EQ(cleanTypedText("\t  "), "");
  EXPECT_EQ(cleanTypedText("%filename%\n.%ext%"), "%filename%.%ext%");
  EXPECT_EQ(listFields(" Arial , Tahoma,,Verdana"), (std::vector<std::string>{"Arial", "Tahoma", "", "Verdana"}));
  EXPECT_TRUE(listFields("").empty());
}

TEST(PreferencesValues, ColoursAreNamedAndHistoriesGrowOnlyByNewColours) {
  EXPECT_EQ(colourName("ff0000"), "Red");
  EXPECT_EQ(colourName("FF8000"), "Orange");
  EXPECT_EQ(colourName("1a2b3c"), "Color #1A2B3C");
  std::string history = "000000, ff0000";
  EXPECT_FALSE(addToColourHistory(history, {255, 0, 0}));
  EXPECT_EQ(history, "000000, ff0000");
  EXPECT_TRUE(addToColourHistory(history, {0x1A, 0x2B, 0x3C}));
  EXPECT_EQ(history, "000000, ff0000,1A2B3C");
}

TEST(PreferencesValues, ChosenFontsLoseCommasAndTenthsOfPoints) {
  const ChosenFont font = chosenFont("Foo, Bar Sans", 10.5, 700, true);
  EXPECT_EQ(font.face, "Foo Bar Sans");
  EXPECT_EQ(font.points, 10);
  EXPECT_EQ(font.styleFlags, 768);
  EXPECT_EQ(chosenFont("Arial", 12.0, 400, false).styleFlags, 0);
  EXPECT_EQ(chosenFont("Arial", 12.0, 600, false).styleFlags, 0);  // only a bold weight counts
  std::string fonts = "Arial, Tahoma";
  EXPECT_FALSE(addToFonts(fonts, "Tahoma"));
  EXPECT_TRUE(addToFonts(fonts, "tahoma"));  // faces compare with their case
  EXPECT_TRUE(addToFonts(fonts, font.face));
  EXPECT_EQ(fonts, "Arial, Tahoma,tahoma,Foo Bar Sans");
  for (int code = 0; code < 4; ++code) EXPECT_EQ(fontStyleCode(fontStyleFlags(code)), code);
  EXPECT_EQ(fontStyleFlags(3), 768);
}

TEST(PreferencesValues, DerivedValuesOnOk) {
  EXPECT_FALSE(colourCorrectionNeeded(0, 0, 100, false));
  EXPECT_TRUE(colourCorrectionNeeded(-1, 0, 100, false));
  EXPECT_TRUE(colourCorrectionNeeded(0, 5, 100, false));
  EXPECT_TRUE(colourCorrectionNeeded(0, 0, 101, false));
  EXPECT_TRUE(colourCorrectionNeeded(0, 0, 100, true));

  EXPECT_EQ(interfaceChangeCode("handdrawn", 2, "handdrawn", 2), 0);
  EXPECT_EQ(interfaceChangeCode("handdrawn", 2, "handdrawn", 0), 2);
  EXPECT_EQ(interfaceChangeCode("handdrawn", 2, "flat", 2), 1);
  EXPECT_EQ(interfaceChangeCode("handdrawn", 2, "flat", 4), 1);

  const std::array<int, 6> depths = {1, 4, 8, 24, 32, 48};
  EXPECT_EQ(bppSelection(depths, 0), 0);
  EXPECT_EQ(bppSelection(depths, 24), 4);
  EXPECT_EQ(bppSelection(depths, 7), std::nullopt);
  EXPECT_EQ(bppValue(depths, -1), 0);
  EXPECT_EQ(bppValue(depths, 0), 0);
  EXPECT_EQ(bppValue(depths, 4), 24);

  const RawRows expected[] = {{false, false}, {true, false}, {true, false}, {false, false},
                              {false, true},  {false, true}, {false, false}};
  for (int code = 0; code < 7; ++code) {
    EXPECT_EQ(rawRows(code).geometry, expected[code].geometry) << code;
    EXPECT_EQ(rawRows(code).toneMapping, expected[code].toneMapping) << code;
  }
}

TEST(PreferencesValues, DatesShowTheirLocalFieldsAndComeBackWhole) {
  const DateFields fields = dateFields(1600000000);
  EXPECT_EQ(fields.year, 2020);
  EXPECT_EQ(fields.month, 9);
  EXPECT_EQ(fields.day, 13);
  EXPECT_EQ(fields.hour, 12);
  EXPECT_EQ(fields.minute, 26);
  EXPECT_EQ(fields.second, 40);
  EXPECT_EQ(dateValue(fields), 1600000000);
  EXPECT_EQ(dateText(fields), "2020/09/13 12:26");
}

}  // namespace
}  // namespace qm
