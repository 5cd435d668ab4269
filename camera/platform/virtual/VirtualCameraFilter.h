#pragma once

// The filter a virtual camera's moniker binds to.

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/virtual/VirtualCamera.h"

namespace varnholt::platform::virtualcam {

// The property page the filter names (no frame shows it yet).
constexpr Guid kVirtualCameraPropertyPage =
    MakeGuid(0x6B0D3C2E, 0x41A7, 0x4F5B, 0x9C, 0x3D, 0x72, 0x18, 0xE4, 0x55, 0x0A, 0x91);

std::shared_ptr<IBaseFilter> MakeCameraFilter(std::shared_ptr<VirtualCamera> camera);

}  // namespace varnholt::platform::virtualcam
