#pragma once

// The platform's IAMVideoProcAmp and IAMCameraControl objects of a V4L2
// camera: thin answers over its ControlProperties, one object per family
// because the two interfaces share method names.
//
// What callers may rely on: each object answers its own interface and
// passes any other query on to owner (the filter) while it lives; without
// an owner it answers only its own. Results are those of ControlProperties.

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/ControlProperties.h"

namespace varnholt::platform::v4l2 {

std::shared_ptr<IAMVideoProcAmp> MakeVideoProcAmp(std::shared_ptr<ControlProperties> properties,
                                                  std::weak_ptr<Unknown> owner = {});
std::shared_ptr<IAMCameraControl> MakeCameraControl(std::shared_ptr<ControlProperties> properties,
                                                    std::weak_ptr<Unknown> owner = {});

}  // namespace varnholt::platform::v4l2
