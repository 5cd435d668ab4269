// A settings section's text turned into slider values, ticks and the power
// frequency, and the 35 entries a save writes.

#include <gtest/gtest.h>

#include "camera/PropertyKeys.h"
#include "settings/CameraSettings.h"
#include "settings/ValueText.h"

namespace {

TEST(CameraSettings, KeysFollowTheCamerasPropertyKeyOrder) {
  for (std::size_t i = 0; i < kPropertyKeys.size(); ++i) {
    EXPECT_EQ(ValueKey(i), QLatin1String(kPropertyKeys[i].Name));
    EXPECT_EQ(TickKey(i), "CheckBox" + QLatin1String(kPropertyKeys[i].Name));
  }
}

TEST(CameraSettings, SliderValuesAreNumbersOfTheUsersLocale) {
  const QLocale german(QLocale::German, QLocale::Germany);
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  EXPECT_EQ(ParseSliderValue("12,5", german), 12.5f);
  EXPECT_EQ(ParseSliderValue("12.5", english), 12.5f);
  EXPECT_EQ(ParseSliderValue("12.5", german), std::nullopt) << "a group separator";
  EXPECT_EQ(ParseSliderValue("1,000", english), std::nullopt);
  EXPECT_EQ(ParseSliderValue("-4", german), -4.0f);
  // What a save writes reads back exactly, in either locale.
  for (float value : {0.0f, 128.0f, -4.0f, 12.7f, 1e-6f, 3.4e38f, -2147483648.0f})
    for (const QLocale& locale : {german, english})
      EXPECT_EQ(ParseSliderValue(ValueText(value, locale), locale), value)
          << ValueText(value, locale).toStdString();

  // Beyond a slider's reach: held at the largest single, so the slider limits it.
  EXPECT_EQ(ParseSliderValue("1e300", english), FLT_MAX);
  EXPECT_EQ(ParseSliderValue("-1e300", english), -FLT_MAX);
  for (const char* junk : {"", "NaN", "nan", "inf", "-inf", "0x", "0x10", "12abc", "--1", "1e"})
    EXPECT_EQ(ParseSliderValue(junk, english), std::nullopt) << junk;
}

TEST(CameraSettings, ASectionReadsWhatItCanDefaultsTheUnreadableAndLacksTheRest) {
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  const auto section = varnholt::TIniSection::FromBytes(
      "[Cam]\nBrightness=5\ncontrast=abc\nCheckBoxContrast=2\nCheckBoxHue=0x0\n"
      "CheckBoxGain=1.5\nZoom= 7 \nPowerFrequency=$1\n",
      "cam");
  const TStoredCameraSettings settings = ReadCameraSettings(section, english);
  EXPECT_EQ(settings.Values[1], 5.0f);   // Brightness
  EXPECT_EQ(settings.Values[3], 0.0f);   // Contrast: unreadable
  EXPECT_EQ(settings.Values[16], 7.0f);  // Zoom
  EXPECT_EQ(settings.Ticks[3], true) << "any integer but 0 is ticked";
  EXPECT_EQ(settings.Ticks[8], false);
  EXPECT_EQ(settings.Ticks[6], false) << "not an integer";
  EXPECT_EQ(settings.Values[8], std::nullopt) << "Hue: no key, nothing to load";
  EXPECT_EQ(settings.Ticks[1], std::nullopt);
  EXPECT_EQ(settings.PowerFrequency, 1);
  EXPECT_EQ(ReadCameraSettings({}, english).PowerFrequency, std::nullopt);
}

TEST(CameraSettings, ASaveWritesThirtyFiveEntriesInKeyOrder) {
  TCameraSettings settings;
  settings.Values[1] = 12.5f;
  settings.Ticks[15] = true;
  settings.PowerFrequency = -1;
  const auto entries = CameraSettingsEntries(settings, QLocale(QLocale::German));
  ASSERT_EQ(entries.size(), 35);
  EXPECT_EQ(entries[1], std::make_pair(QString("Brightness"), QString("12,5")));
  EXPECT_EQ(entries[17], std::make_pair(QString("CheckBoxBacklightCompensation"), QString("0")));
  EXPECT_EQ(entries[32], std::make_pair(QString("CheckBoxWhiteBalance"), QString("1")));
  EXPECT_EQ(entries[34], std::make_pair(QString("PowerFrequency"), QString("-1")));
}

}  // namespace
