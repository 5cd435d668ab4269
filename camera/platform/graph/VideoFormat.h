#pragma once

// What a renderer needs to know of a video media type: the picture size,
// its compression and shape, read from either video-info format block.

#include <cstdint>
#include <optional>

#include "camera/platform/MediaType.h"

namespace varnholt::platform::graph {

struct VideoFormat {
  std::int32_t width = 0;
  std::int32_t height = 0;  // positive; the block's sign only says which row comes first
  std::uint32_t fourcc = 0;
  std::int64_t frameTime = 0;  // 100-ns units
  std::int32_t aspectX = 0;    // picture aspect ratio: from a VideoInfo2 block, else the size
  std::int32_t aspectY = 0;

  // nullopt for a type that is not video, an unknown format type or a block
  // too short for its type.
  static std::optional<VideoFormat> From(const AmMediaType& mediaType);
};

}  // namespace varnholt::platform::graph
