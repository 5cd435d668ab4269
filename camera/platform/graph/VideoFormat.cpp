#include "camera/platform/graph/VideoFormat.h"

#include <cstdlib>

namespace varnholt::platform::graph {
namespace {

// VIDEOINFOHEADER2 keeps the start of VIDEOINFOHEADER, then interlace and
// copy-protection words, the aspect ratio and control words, and the bitmap
// header at offset 72.
constexpr std::size_t kVideoInfo2Size = 112;
constexpr std::size_t kVideoInfo2AspectOffset = 56;
constexpr std::size_t kVideoInfo2BitmapOffset = 72;

std::int32_t Get32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

}  // namespace

std::optional<VideoFormat> VideoFormat::From(const AmMediaType& mediaType) {
  if (mediaType.majortype != guids::MediaTypeVideo)
    return std::nullopt;
  const auto head = VideoInfoHeader::FromBytes(mediaType.pbFormat);
  if (!head)
    return std::nullopt;
  BitmapInfoHeader bitmap = head->bmiHeader;
  VideoFormat format;
  if (mediaType.formattype == guids::FormatVideoInfo2) {
    if (mediaType.pbFormat.size() < kVideoInfo2Size)
      return std::nullopt;
    const std::uint8_t* block = mediaType.pbFormat.data();
    bitmap = BitmapInfoHeader::ReadFrom(block + kVideoInfo2BitmapOffset);
    format.aspectX = Get32(block + kVideoInfo2AspectOffset);
    format.aspectY = Get32(block + kVideoInfo2AspectOffset + 4);
  } else if (mediaType.formattype != guids::FormatVideoInfo) {
    return std::nullopt;
  }
  format.width = bitmap.biWidth;
  format.height = std::abs(bitmap.biHeight);
  format.fourcc = bitmap.biCompression;
  format.frameTime = head->AvgTimePerFrame;
  if (format.width <= 0 || format.height <= 0)
    return std::nullopt;
  if (format.aspectX <= 0 || format.aspectY <= 0) {
    format.aspectX = format.width;
    format.aspectY = format.height;
  }
  return format;
}

}  // namespace varnholt::platform::graph
