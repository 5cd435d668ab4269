#pragma once

// The capture filter of one V4L2 camera: its name, its two property
// families, its control list, its capture pin with the stream configuration,
// and the stream the shared graph objects run.
//
// What callers may rely on: the filter answers IBaseFilter, IAMVideoProcAmp,
// IAMCameraControl, IControlList and ISpecifyPropertyPages (the generic
// frame's control and format pages), all over the same open device; the
// graph finds its IStreamSource and IGraphMember by dynamic_pointer_cast.

#include <memory>
#include <string>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/device/V4l2Device.h"

namespace varnholt::platform::v4l2 {

class ControlWatch;

// Reads the device's controls; a failure answers the mapped result code.
// The camera's control events go to controlWatch, when given.
HResult MakeCameraFilter(std::shared_ptr<V4l2Device> device, const std::string& name,
                         std::shared_ptr<IBaseFilter>& filter,
                         const std::shared_ptr<ControlWatch>& controlWatch = nullptr);

}  // namespace varnholt::platform::v4l2
