#pragma once

// Frames as device-independent bitmaps, the form a renderer hands out
// current images in: a 40-byte bitmap header, then 32-bit pixels with the
// bottom row first. And the same pixels top row first, straight into a
// caller's memory, for showing frames.

#include <cstdint>
#include <span>
#include <vector>

#include "camera/platform/HResult.h"
#include "camera/platform/Interfaces.h"
#include "camera/platform/graph/VideoFormat.h"

namespace varnholt::platform::graph {

// Whether frames of this compression can be converted: YUY2 always, MJPG
// when Qt's JPEG image plugin is there.
bool CanConvertToDib(std::uint32_t fourcc);

// Answers hr::Fail for a frame that does not hold a picture of the format's
// size (a short YUY2 frame, JPEG data Qt cannot read, a JPEG header that
// claims more pixels than the format has, refused before decoding) and
// VFW_E_TYPE_NOT_ACCEPTED for a compression it cannot convert.
HResult FrameToDib(const VideoFormat& format, std::span<const std::uint8_t> frame,
                   std::vector<std::uint8_t>& dib);

// The pixels FrameToDib gives, top row first, into the memory targetFor
// provides (see ICurrentPicture), with FrameToDib's codes and
// E_OUTOFMEMORY when targetFor gives none. A JPEG frame is decoded in place.
HResult FrameToPicture(const VideoFormat& format, std::span<const std::uint8_t> frame,
                       const ICurrentPicture::TargetFor& targetFor);

}  // namespace varnholt::platform::graph
