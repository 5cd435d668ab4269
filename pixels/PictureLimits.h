#pragma once

#include <cstdint>

namespace varnholt {

// The most pixels a camera frame is decoded to, whatever the camera says its
// format is: beyond 8K on each side. A device (or a few hundred bytes of
// JPEG header) may announce a picture of gigabytes; decoding it would take
// memory for every pixel.
inline constexpr std::int64_t kMostFramePixels = std::int64_t{8192} * 8192;

}  // namespace varnholt
