#pragma once

// The stream side of the generic property frame: which stream configuration
// an object stands for, and how its formats read in a list.

#include <memory>
#include <string>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform {

// The object's own stream configuration, or for a filter that of its first
// pin that has one: hr::Ok with it, hr::NoInterface when there is none, or
// the filter's code when it cannot list its pins.
HResult FindStreamConfig(const std::shared_ptr<Unknown>& object,
                         std::shared_ptr<IAMStreamConfig>& config);

// "640x480 30Hz 16bpp YUY2"; "(VideoInfo2)" is added for the longer header,
// so that two otherwise equal formats can be told apart.
std::string FormatText(const AmMediaType& mediaType);

// Whether two media types describe the same format: equal types and format
// blocks, or for video the same size, depth, frame time and compression.
bool SameFormat(const AmMediaType& a, const AmMediaType& b);

}  // namespace varnholt::platform
