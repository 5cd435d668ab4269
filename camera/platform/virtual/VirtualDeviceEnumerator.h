#pragma once

// The system device enumerator of the virtual platform: one moniker per
// connected camera, audio input and compressor of the description. Audio
// inputs bind to virtual microphones (VirtualMicrophone.h); compressors to
// filters with a name and no pins.

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/virtual/VirtualCameraSet.h"

namespace varnholt::platform::virtualcam {

std::shared_ptr<Unknown> MakeDeviceEnumerator(std::shared_ptr<VirtualCameraSet> cameras);

}  // namespace varnholt::platform::virtualcam
