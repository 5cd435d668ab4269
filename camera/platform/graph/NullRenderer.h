#pragma once

// The null renderer: the end of a stream whose frames nobody shows, such as
// the sample grabber's output. It accepts every format and drops the frames.

#include <memory>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::graph {

std::shared_ptr<IBaseFilter> MakeNullRenderer();

}  // namespace varnholt::platform::graph
