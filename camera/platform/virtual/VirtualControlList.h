#pragma once

// A virtual camera's own control list, as a driver lists its controls for
// the generic property frame: every described property of the two families
// (an automatic-capable one with a Boolean ", Auto" companion), the flash
// and stabilization modes as menus. Values go through the camera's shared
// state, so the frame and the property families see the same device.

#include <memory>
#include <string>

#include "camera/platform/Interfaces.h"
#include "camera/platform/virtual/VirtualCamera.h"

namespace varnholt::platform::virtualcam {

constexpr const char* kGroupVideoProcAmp = "Video Proc Amp";
constexpr const char* kGroupCameraControl = "Camera Control";

// The control list of camera; queries for other interfaces go to owner (the
// filter), as for the property family objects.
std::shared_ptr<IControlList> MakeControlList(std::shared_ptr<VirtualCamera> camera,
                                              std::weak_ptr<Unknown> owner);

// The name a control shows: "WhiteBalance" becomes "White Balance"; an id
// without a published name becomes "Camera Control 42".
std::string ControlName(PropertyFamilyKind family, std::int32_t id);

}  // namespace varnholt::platform::virtualcam
