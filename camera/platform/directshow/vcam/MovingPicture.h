#pragma once

// The picture a virtual DirectShow camera streams: eight colour bars with a
// white box that moves one step to the right every frame, so that a client
// can tell frames apart and see that they move. The camera's brightness
// lifts or lowers every pixel's luma by its distance from the default.
// (The virtual backend's richer test picture reads Qt-based state and does
// not build for Windows.)

#include <cstddef>
#include <cstdint>

#include "camera/platform/directshow/vcam/MediaTypes.h"

namespace varnholt::vcam {

// Frame number `frame` in format into image (format.ImageSize() bytes).
void RenderMovingPicture(const VideoFormat& format, std::uint64_t frame, int lumaOffset,
                         std::uint8_t* image);

// Where the box's left edge is in frame number `frame` of a picture that wide.
int BoxLeft(int width, std::uint64_t frame);

}  // namespace varnholt::vcam
