#include "settings/CameraSettings.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "camera/PropertyKeys.h"
#include "settings/ValueText.h"

namespace {

// The files' keys are the camera's property keys, in their order.
static_assert(kPropertyKeys.size() == kSettingsKeyCount);

}  // namespace

QString ValueKey(std::size_t key) {
  return QString::fromLatin1(kPropertyKeys.at(key).Name);
}

QString TickKey(std::size_t key) {
  return QStringLiteral("CheckBox") + ValueKey(key);
}

std::optional<float> ParseSliderValue(const QString& text, const QLocale& locale) {
  // Thousands separators would let "1,5" mean 15 in one locale and 1.5 in
  // another; the files never hold them.
  QLocale strict = locale;
  strict.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  const double value = strict.toDouble(text, &ok);
  if (!ok || !std::isfinite(value))
    return std::nullopt;
  return static_cast<float>(std::clamp(value, double(-FLT_MAX), double(FLT_MAX)));
}

TStoredCameraSettings ReadCameraSettings(const varnholt::TIniSection& section,
                                         const QLocale& locale) {
  TStoredCameraSettings settings;
  for (std::size_t key = 0; key < kSettingsKeyCount; ++key) {
    if (section.ValueExists(ValueKey(key)))
      settings.Values[key] =
          ParseSliderValue(section.ReadString(ValueKey(key), ""), locale).value_or(0);
    if (section.ValueExists(TickKey(key)))
      settings.Ticks[key] = section.ReadInteger(TickKey(key), 0) != 0;
  }
  if (section.ValueExists(kPowerFrequencyKey))
    settings.PowerFrequency = section.ReadInteger(kPowerFrequencyKey, 0);
  return settings;
}

bool HoldsAnySetting(const TStoredCameraSettings& settings) {
  const auto present = [](const auto& value) { return value.has_value(); };
  return settings.PowerFrequency ||
         std::any_of(settings.Values.begin(), settings.Values.end(), present) ||
         std::any_of(settings.Ticks.begin(), settings.Ticks.end(), present);
}

varnholt::TIniEntries CameraSettingsEntries(const TCameraSettings& settings,
                                            const QLocale& locale) {
  varnholt::TIniEntries entries;
  for (std::size_t key = 0; key < kSettingsKeyCount; ++key)
    entries.append({ValueKey(key), ValueText(settings.Values[key], locale)});
  for (std::size_t key = 0; key < kSettingsKeyCount; ++key)
    entries.append({TickKey(key), settings.Ticks[key] ? QStringLiteral("1") : QStringLiteral("0")});
  entries.append({kPowerFrequencyKey, QString::number(settings.PowerFrequency)});
  return entries;
}
