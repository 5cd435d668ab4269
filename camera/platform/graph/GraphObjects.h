#pragma once

// Creation of the shared graph objects by class id, for a platform's
// CreateInstance: the filter graph, the capture graph builder, the sample
// grabber, the null renderer and the VMR-9 renderer.

#include <memory>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::graph {

// hr::ClassNotRegistered for any other class id.
HResult CreateGraphObject(ClassId classId, std::shared_ptr<Unknown>& object);

}  // namespace varnholt::platform::graph
