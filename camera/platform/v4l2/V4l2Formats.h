#pragma once

// The formats a V4L2 camera offers to the graph, as modes (pixel format ×
// frame size × frame interval) and as the platform's media types.
//
// What callers may rely on:
// - only pixel formats the shared graph can carry are offered: YUYV as
//   "YUY2" with 16 bits per pixel and MJPEG as "MJPG" with 24 (the decoded
//   picture's depth); others are left out. The depths differ on purpose: the
//   component selects a format by size, frame time and depth, not by
//   compression, so an MJPG mode with YUY2's depth could never be chosen
//   where the camera offers the same size and rate in both;
// - modes come in the driver's order: formats, then sizes, then intervals;
// - stepwise or continuous sizes and intervals, which webcams rarely have,
//   are offered as a small set of common values inside the range (see the
//   .cpp), so the list stays short enough to choose from;
// - a mode's frame time is the interval in 100-ns units, rounded to the
//   nearest unit (1/30 s gives 333333).

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "camera/platform/MediaType.h"
#include "camera/platform/v4l2/device/V4l2Device.h"

namespace varnholt::platform::v4l2 {

struct V4l2Mode {
  std::uint32_t pixelFormat = 0;  // V4L2_PIX_FMT_*
  std::uint32_t fourcc = 0;       // the media type's compression
  std::uint16_t bitsPerPixel = 0;
  V4l2FrameSize size;
  V4l2Fraction interval;
  std::int64_t frameTime = 0;
};

std::int64_t FrameTimeOf(V4l2Fraction interval);

// The compression and depth for a V4L2 pixel format; nullopt for one the
// graph cannot carry.
struct CarriedFormat {
  std::uint32_t fourcc = 0;
  std::uint16_t bitsPerPixel = 0;
};
std::optional<CarriedFormat> CarriedFormatOf(std::uint32_t pixelFormat);

// Every mode of the device; 0 or the first failing call's negative errno.
// A device that does not list its intervals gets its current one.
int ListModes(V4l2Device& device, std::vector<V4l2Mode>& modes);

std::unique_ptr<AmMediaType> MediaTypeOf(const V4l2Mode& mode);

// The first mode with the media type's subtype, size, frame time and depth.
std::optional<std::size_t> MatchMode(const std::vector<V4l2Mode>& modes,
                                     const AmMediaType& mediaType);

}  // namespace varnholt::platform::v4l2
