#pragma once

// The one output pin of a V4L2 camera filter: category "capture" through the
// pin property set, the offered modes as media types, and the stream
// configuration with the virtual cameras' semantics (GetStreamCaps index by
// index, S_FALSE past the end; SetFormat only for an offered media type).

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/V4l2StreamFormat.h"

namespace varnholt::platform::v4l2 {

std::shared_ptr<IPin> MakeCapturePin(std::shared_ptr<StreamFormat> format);

}  // namespace varnholt::platform::v4l2
