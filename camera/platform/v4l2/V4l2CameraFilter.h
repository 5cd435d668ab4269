#pragma once

// The capture filter of one V4L2 camera: its name and its two property
// families. Pins and streaming are not there yet: EnumPins answers NotImpl.
//
// What callers may rely on: the filter answers IBaseFilter, IAMVideoProcAmp,
// IAMCameraControl and IControlList, all over the same open device.

#include <memory>
#include <string>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/V4l2Device.h"

namespace varnholt::platform::v4l2 {

// Reads the device's controls; a failure answers the mapped result code.
HResult MakeCameraFilter(std::shared_ptr<V4l2Device> device, const std::string& name,
                         std::shared_ptr<IBaseFilter>& filter);

}  // namespace varnholt::platform::v4l2
