#pragma once

// Every control of a V4L2 camera as the generic property frame lists them,
// not only the two property families: one switch turns each V4L2 control
// type into the platform's kinds.
//
// What callers may rely on: controls of types the frame cannot show
// (strings, compound controls) are left out; a write refused because an
// automatic mode owns the control answers hr_v4l2::UnderAutomaticControl.
// Other queries go to owner (the filter) while it lives.

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/device/V4l2Device.h"

namespace varnholt::platform::v4l2 {

std::shared_ptr<IControlList> MakeControlList(std::shared_ptr<V4l2Device> device,
                                              std::weak_ptr<Unknown> owner = {});

}  // namespace varnholt::platform::v4l2
