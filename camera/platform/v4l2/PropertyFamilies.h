#pragma once

// The platform's IAMVideoProcAmp and IAMCameraControl objects of a V4L2
// camera: thin answers over its ControlProperties, one object per family
// because the two interfaces share method names.
//
// What callers may rely on: each object answers only its own interface;
// results are those of ControlProperties.

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/ControlProperties.h"

namespace varnholt::platform::v4l2 {

std::shared_ptr<IAMVideoProcAmp> MakeVideoProcAmp(std::shared_ptr<ControlProperties> properties);
std::shared_ptr<IAMCameraControl> MakeCameraControl(std::shared_ptr<ControlProperties> properties);

}  // namespace varnholt::platform::v4l2
