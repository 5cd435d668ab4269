#pragma once

// Described formats as the platform's media types, and the way back: which
// described format a caller's media type asks for.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "camera/platform/MediaType.h"
#include "camera/platform/virtual/CameraDescription.h"

namespace varnholt::platform::virtualcam {

// VIDEOINFOHEADER2: the VIDEOINFOHEADER start, then interlace, copy-protect,
// aspect ratio and control words before the bitmap header.
constexpr std::size_t kVideoInfo2Size = 112;
constexpr std::size_t kVideoInfo2BitmapOffset = 72;
constexpr std::size_t kVideoInfo2AspectXOffset = 56;

std::unique_ptr<AmMediaType> MakeMediaType(const FormatDescription& format);

// The first described format with the media type's subtype, size, frame time
// and bit depth; nullopt for none or an unreadable format block.
std::optional<std::size_t> MatchFormat(const std::vector<FormatDescription>& formats,
                                       const AmMediaType& mediaType);

}  // namespace varnholt::platform::virtualcam
