#pragma once

// A virtual camera filter's output pins: category through the pin property
// set, media types from the description, format choice in the shared state.

#include <memory>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/virtual/VirtualCamera.h"

namespace varnholt::platform::virtualcam {

// The described pins, in order, with ids "Capture", "Still", "Preview"
// ("Capture 2" for a second pin of a kind).
std::vector<std::shared_ptr<IPin>> MakePins(const std::shared_ptr<VirtualCamera>& camera);

std::shared_ptr<IEnumPins> MakePinEnumerator(std::vector<std::shared_ptr<IPin>> pins,
                                             std::shared_ptr<VirtualCamera> camera);

}  // namespace varnholt::platform::virtualcam
