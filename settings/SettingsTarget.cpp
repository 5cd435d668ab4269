#include "settings/SettingsTarget.h"

#include <algorithm>
#include <cmath>

#include "camera/FCamera.h"
#include "camera/PropertyKeys.h"

void ApplyCameraSettings(const TStoredCameraSettings& settings, TSettingsTarget& target) {
  for (std::size_t key = 0; key < kSettingsKeyCount; ++key)
    if (target.Supported(key) && settings.Values[key])
      target.SetValue(key, *settings.Values[key]);
  for (std::size_t key = 0; key < kSettingsKeyCount; ++key)
    if (target.Supported(key) && settings.Ticks[key])
      target.SetTick(key, *settings.Ticks[key]);

  if (settings.PowerFrequency && target.PowerFrequencySupported()) {
    try {
      target.SetPowerFrequency(*settings.PowerFrequency);
    } catch (...) {
      // The camera's own choice stays; the rest of the file is in place.
    }
  }

  // The values above went out before the ticks. A property automatic in the
  // camera and manual in the file got its value while still automatic,
  // which drivers ignore or refuse, and its tick then switched it to manual
  // with the camera's own value. With every mode now in place, the file's
  // manual values go out once more; a tick the file lacks stays as it is.
  for (std::size_t key = 0; key < kSettingsKeyCount; ++key)
    if (settings.Values[key] && !settings.Ticks[key].value_or(target.Tick(key)) &&
        target.Supported(key))
      target.SetValue(key, *settings.Values[key]);
}

bool TCameraSettingsTarget::Supported(std::size_t key) {
  return (camera_.*kPropertyKeys.at(key).Supported)();
}

void TCameraSettingsTarget::SetValue(std::size_t key, float value) {
  const TFRange range = (camera_.*kPropertyKeys.at(key).Range)();
  const double held = std::clamp(std::trunc(double(value)), double(range.Min), double(range.Max));
  (camera_.*kPropertyKeys.at(key).SetValue)(static_cast<std::int32_t>(held));
}

bool TCameraSettingsTarget::Tick(std::size_t key) {
  // Asked for every key with a value, supported or not.
  return Supported(key) && (camera_.*kPropertyKeys.at(key).IsAuto)();
}

void TCameraSettingsTarget::SetTick(std::size_t key, bool tick) {
  (camera_.*kPropertyKeys.at(key).SetAuto)(tick);
}

bool TCameraSettingsTarget::PowerFrequencySupported() {
  return camera_.PowerLineFrequencySupported();
}

void TCameraSettingsTarget::SetPowerFrequency(int index) {
  if (index == 0)
    camera_.SetPowerLineFrequency(pf50Hz);
  else if (index == 1)
    camera_.SetPowerLineFrequency(pf60Hz);
}

TCameraSettings CurrentCameraSettings(TFCamera& camera) {
  TCameraSettings settings;
  for (std::size_t key = 0; key < kSettingsKeyCount; ++key) {
    const TFPropertyKey& property = kPropertyKeys.at(key);
    if (!(camera.*property.Supported)())
      continue;
    settings.Values[key] = float((camera.*property.Value)());
    settings.Ticks[key] = (camera.*property.IsAuto)();
  }
  settings.PowerFrequency = -1;
  if (camera.PowerLineFrequencySupported()) {
    const TFPowerLineFrequency frequency = camera.PowerLineFrequency();
    settings.PowerFrequency = frequency == pf50Hz ? 0 : frequency == pf60Hz ? 1 : -1;
  }
  return settings;
}
