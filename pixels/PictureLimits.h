#pragma once

#include <cstdint>

namespace varnholt {

// The most pixels a camera frame is decoded to, whatever the camera says its
// format is: beyond 8K on each side. A device (or a few hundred bytes of
// JPEG header) may announce a picture of gigabytes; decoding it would take
// memory for every pixel.
inline constexpr std::int64_t kMostFramePixels = std::int64_t{8192} * 8192;

// Whether a frame whose header announces width x height may be decoded in a
// stream of formatWidth x formatHeight (height negative for top-down rows):
// no more pixels than the format, never beyond kMostFramePixels. A smaller
// picture is fine (some cameras send one now and then).
inline bool FrameFitsFormat(std::int64_t width, std::int64_t height, std::int64_t formatWidth,
                            std::int64_t formatHeight) {
  const std::int64_t pixels = width * height;
  return width > 0 && height > 0 && formatWidth > 0 &&
         pixels <= formatWidth * (formatHeight < 0 ? -formatHeight : formatHeight) &&
         pixels <= kMostFramePixels;
}

}  // namespace varnholt
