// The value text form of slider values.

#include <gtest/gtest.h>

#include "settings/ValueText.h"

namespace {

const QLocale kPoint(QLocale::English, QLocale::UnitedStates);
const QLocale kComma(QLocale::German, QLocale::Germany);

TEST(ValueText, WholeNumbersHaveNoSeparator) {
  EXPECT_EQ(ValueText(-10, kPoint), "-10");
  EXPECT_EQ(ValueText(0, kPoint), "0");
  EXPECT_EQ(ValueText(-0.0f, kPoint), "0");
  EXPECT_EQ(ValueText(128, kPoint), "128");
  EXPECT_EQ(ValueText(6500, kComma), "6500");  // no group separators either
  EXPECT_EQ(ValueText(16777216, kPoint), "16777216");
}

TEST(ValueText, FractionsShowFifteenDigitsOfTheSinglesExactValue) {
  // 12.7f is 12.69999980926513671875 and -3.7f is -3.7000000476837158203125.
  EXPECT_EQ(ValueText(12.7f, kPoint), "12.6999998092651");
  EXPECT_EQ(ValueText(-3.7f, kPoint), "-3.70000004768372");
  EXPECT_EQ(ValueText(0.5f, kPoint), "0.5");
  EXPECT_EQ(ValueText(0.25f, kPoint), "0.25");
  EXPECT_EQ(ValueText(0.001f, kPoint), "0.00100000004749745");
}

TEST(ValueText, TheLocalesSeparatorIsUsed) {
  EXPECT_EQ(ValueText(12.7f, kComma), "12,6999998092651");
  EXPECT_EQ(ValueText(-0.5f, kComma), "-0,5");
  EXPECT_EQ(ValueText(0.00001f, kComma), "9,99999974737875E-6");
}

TEST(ValueText, TinyAndHugeMagnitudesAreScientific) {
  // Below 0.00001 the exponent form takes over.
  EXPECT_EQ(ValueText(0.000001f, kPoint), "9.99999997475243E-7");
  EXPECT_EQ(ValueText(0.0000019073486328125f, kPoint), "1.9073486328125E-6");
  // 0.00001f lies just below 0.00001.
  EXPECT_EQ(ValueText(0.00001f, kPoint), "9.99999974737875E-6");
  EXPECT_EQ(ValueText(0.0000101f, kPoint), "0.0000100999995993334");
  // Sixteen integer digits no longer fit fifteen significant ones.
  EXPECT_EQ(ValueText(1e15f, kPoint), "999999986991104");
  EXPECT_EQ(ValueText(1e16f, kPoint), "1.00000002725642E16");
  EXPECT_EQ(ValueText(65536.f * 65536.f * 65536.f * 65536.f, kPoint), "1.84467440737096E19");
  EXPECT_EQ(ValueText(-1.5e20f, kComma), "-1,50000003006132E20");
}

}  // namespace
