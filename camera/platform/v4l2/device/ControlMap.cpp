#include "camera/platform/v4l2/device/ControlMap.h"

#include <linux/videodev2.h>

#include <algorithm>

namespace varnholt::platform::v4l2 {
namespace {

using enum PropertyFamilyKind;
using enum AutoEncoding;

// Ids are the platform's published property ids. Roll and colour enable have
// no V4L2 control the UVC driver maps, so they stay unsupported.
constexpr ControlMapping kMappings[] = {
    {VideoProcAmp, 0, "Brightness", V4L2_CID_BRIGHTNESS, 0, None},
    {VideoProcAmp, 1, "Contrast", V4L2_CID_CONTRAST, 0, None},
    {VideoProcAmp, 2, "Hue", V4L2_CID_HUE, V4L2_CID_HUE_AUTO, Boolean},
    {VideoProcAmp, 3, "Saturation", V4L2_CID_SATURATION, 0, None},
    {VideoProcAmp, 4, "Sharpness", V4L2_CID_SHARPNESS, 0, None},
    {VideoProcAmp, 5, "Gamma", V4L2_CID_GAMMA, 0, None},
    {VideoProcAmp, 6, "Color enable", 0, 0, None},
    {VideoProcAmp, 7, "White balance", V4L2_CID_WHITE_BALANCE_TEMPERATURE,
     V4L2_CID_AUTO_WHITE_BALANCE, Boolean},
    {VideoProcAmp, 8, "Backlight compensation", V4L2_CID_BACKLIGHT_COMPENSATION, 0, None},
    {VideoProcAmp, 9, "Gain", V4L2_CID_GAIN, V4L2_CID_AUTOGAIN, Boolean},
    // The menu values 0 off, 1 50 Hz, 2 60 Hz, 3 auto are the platform's own.
    {VideoProcAmp, 13, "Power line frequency", V4L2_CID_POWER_LINE_FREQUENCY, 0, None},
    {CameraControl, 0, "Pan", V4L2_CID_PAN_ABSOLUTE, 0, None},
    {CameraControl, 1, "Tilt", V4L2_CID_TILT_ABSOLUTE, 0, None},
    {CameraControl, 2, "Roll", 0, 0, None},
    {CameraControl, 3, "Zoom", V4L2_CID_ZOOM_ABSOLUTE, 0, None},
    // Exposure and iris share one auto menu, as UVC cameras have it.
    {CameraControl, 4, "Exposure", V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO,
     ExposureMenu},
    {CameraControl, 5, "Iris", V4L2_CID_IRIS_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO, IrisMenu},
    {CameraControl, 6, "Focus", V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO, Boolean},
};

}  // namespace

std::span<const ControlMapping> ControlMappings() {
  return kMappings;
}

const ControlMapping* FindMapping(PropertyFamilyKind family, std::int32_t property) {
  for (const auto& m : kMappings)
    if (m.family == family && m.property == property)
      return &m;
  return nullptr;
}

namespace {

// The shared menu's modes as (exposure automatic, iris automatic).
struct MenuMode {
  std::int64_t value;
  bool exposureAuto;
  bool irisAuto;
};
constexpr MenuMode kMenuModes[] = {
    {V4L2_EXPOSURE_AUTO, true, true},
    {V4L2_EXPOSURE_MANUAL, false, false},
    {V4L2_EXPOSURE_SHUTTER_PRIORITY, false, true},
    {V4L2_EXPOSURE_APERTURE_PRIORITY, true, false},
};

const MenuMode* FindMode(std::int64_t value) {
  for (const auto& m : kMenuModes)
    if (m.value == value)
      return &m;
  return nullptr;
}

// This property's side of a mode, and the other property's.
bool Own(AutoEncoding encoding, const MenuMode& m) {
  return encoding == ExposureMenu ? m.exposureAuto : m.irisAuto;
}
bool Other(AutoEncoding encoding, const MenuMode& m) {
  return encoding == ExposureMenu ? m.irisAuto : m.exposureAuto;
}

}  // namespace

bool IsAutomatic(AutoEncoding encoding, std::int64_t companionValue) {
  switch (encoding) {
    case None:
      return false;
    case Boolean:
      return companionValue != 0;
    case ExposureMenu:
    case IrisMenu: {
      const MenuMode* m = FindMode(companionValue);
      // A mode this table does not know is some automatic one.
      return m == nullptr || Own(encoding, *m);
    }
  }
  return false;
}

bool LocksValue(AutoEncoding encoding, std::int64_t companionValue) {
  if (encoding == ExposureMenu)
    return companionValue != V4L2_EXPOSURE_MANUAL;
  return IsAutomatic(encoding, companionValue);
}

std::optional<std::int64_t> CompanionValue(AutoEncoding encoding, bool automatic,
                                           std::int64_t current,
                                           std::span<const std::int64_t> offered) {
  const auto has = [&](std::int64_t v) {
    return std::find(offered.begin(), offered.end(), v) != offered.end();
  };
  switch (encoding) {
    case None:
      return std::nullopt;
    case Boolean:
      return automatic ? 1 : 0;
    case ExposureMenu:
    case IrisMenu: {
      const MenuMode* now = FindMode(current);
      const bool otherAuto = now != nullptr && Other(encoding, *now);
      // The mode that changes only this property first, then the one that
      // moves the other property with it.
      for (bool keepOther : {true, false})
        for (const auto& m : kMenuModes)
          if (Own(encoding, m) == automatic && (Other(encoding, m) == otherAuto) == keepOther &&
              (automatic || !LocksValue(encoding, m.value)) && has(m.value))
            return m.value;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace varnholt::platform::v4l2
