#pragma once

// The seventeen property keys of the settings window, in key order, each
// with the component's accessors. One table serves the rows, the settings
// files and the defaults, instead of seventeen copies of code.

#include <array>

#include "camera/FCamera.h"

struct TFPropertyKey {
  const char* Name;
  std::int32_t (TFCamera::*Value)();
  void (TFCamera::*SetValue)(std::int32_t);
  bool (TFCamera::*Supported)();
  bool (TFCamera::*IsAuto)();
  void (TFCamera::*SetAuto)(bool);
  TFRange (TFCamera::*Range)();
  TFPropertyAddress Address;
};

// BacklightCompensation, Brightness, ColorEnable, Contrast, Exposure, Focus,
// Gain, Gamma, Hue, Iris, Pan, Roll, Saturation, Sharpness, Tilt,
// WhiteBalance, Zoom.
extern const std::array<TFPropertyKey, 17> kPropertyKeys;
