#pragma once

// A video-info media type for a picture size, compression, depth and frame
// time, as every source's capture pin offers them. Sources build their media
// types here so that a format reads the same whichever backend offers it.

#include <cstdint>
#include <memory>

#include "camera/platform/MediaType.h"

namespace varnholt::platform::graph {

struct VideoShape {
  std::uint32_t fourcc = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t bitsPerPixel = 0;
  std::int64_t frameTime = 0;  // 100-ns units; 0 or less leaves the bit rate 0
};

// Frames of these arrive in varying sizes.
bool IsCompressedFourCC(std::uint32_t fourcc);

// The VIDEOINFOHEADER: frame time, bit rate from the image size, bitmap
// header with the size, depth and compression.
VideoInfoHeader MakeVideoInfo(const VideoShape& shape);

// Major type video, the fourcc's subtype, FORMAT_VideoInfo with that header;
// fixed-size samples unless compressed.
std::unique_ptr<AmMediaType> MakeVideoMediaType(const VideoShape& shape);

}  // namespace varnholt::platform::graph
