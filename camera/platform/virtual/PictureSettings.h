#pragma once

// What the streamed test picture takes from the camera's video-processing
// values, read through the same shared state as the property family, so a
// change made by another process shows in the next frame.

#include "camera/platform/virtual/VirtualCamera.h"

namespace varnholt::platform::virtualcam {

struct PictureSettings {
  double brightness = 0.0;  // added to luma
  double contrast = 1.0;    // luma gain around mid-grey
  double saturation = 1.0;  // chroma gain
  double hueDegrees = 0.0;  // chroma rotation
  bool colour = true;       // false: a grey picture

  friend bool operator==(const PictureSettings&, const PictureSettings&) = default;
};

// Each value is read as its distance from the default over the property's
// range: a brightness one full range above the default adds 255 to luma,
// contrast and saturation reach zero half a range below it and double half a
// range above, hue turns a full circle over the range. A property the camera
// lacks or cannot read keeps its neutral value.
PictureSettings ReadPictureSettings(const VirtualCamera& camera);

}  // namespace varnholt::platform::virtualcam
