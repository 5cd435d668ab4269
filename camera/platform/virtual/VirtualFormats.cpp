#include "camera/platform/virtual/VirtualFormats.h"

#include "camera/platform/graph/VideoMediaType.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace varnholt::platform::virtualcam {
namespace {

VideoInfoHeader Header(const FormatDescription& f) {
  return graph::MakeVideoInfo({f.fourcc, f.width, f.height, f.bitsPerPixel, f.frameTime});
}

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::vector<std::uint8_t> VideoInfo2Bytes(const FormatDescription& f) {
  // The first 48 bytes (rectangles, bit rates, frame time) are shared with
  // VIDEOINFOHEADER; the bitmap header moves to offset 72.
  const VideoInfoHeader v = Header(f);
  const std::vector<std::uint8_t> head = v.ToBytes();
  std::vector<std::uint8_t> out(kVideoInfo2Size, 0);
  std::copy_n(head.begin(), VideoInfoHeader::kBitmapHeaderOffset, out.begin());
  // Progressive frames, no copy protection, square pixels.
  const auto divisor = std::gcd(f.width, f.height);
  Put32(out.data() + kVideoInfo2AspectXOffset, static_cast<std::uint32_t>(f.width / divisor));
  Put32(out.data() + kVideoInfo2AspectXOffset + 4, static_cast<std::uint32_t>(f.height / divisor));
  v.bmiHeader.WriteTo(out.data() + kVideoInfo2BitmapOffset);
  return out;
}

struct Requested {
  std::int64_t frameTime;
  BitmapInfoHeader bitmap;
};

std::optional<Requested> ReadRequest(const AmMediaType& m) {
  const auto& block = m.pbFormat;
  if (m.formattype == guids::FormatVideoInfo) {
    const auto v = VideoInfoHeader::FromBytes(block);
    if (!v)
      return std::nullopt;
    return Requested{v->AvgTimePerFrame, v->bmiHeader};
  }
  if (m.formattype == guids::FormatVideoInfo2 && block.size() >= kVideoInfo2Size) {
    // The frame time sits where VIDEOINFOHEADER has it.
    const auto v = VideoInfoHeader::FromBytes(block);
    return Requested{v->AvgTimePerFrame,
                     BitmapInfoHeader::ReadFrom(block.data() + kVideoInfo2BitmapOffset)};
  }
  return std::nullopt;
}

}  // namespace

std::unique_ptr<AmMediaType> MakeMediaType(const FormatDescription& format) {
  auto m = graph::MakeVideoMediaType(
      {format.fourcc, format.width, format.height, format.bitsPerPixel, format.frameTime});
  if (format.type == FormatType::VideoInfo2) {
    m->formattype = guids::FormatVideoInfo2;
    m->pbFormat = VideoInfo2Bytes(format);
  }
  return m;
}

std::optional<std::size_t> MatchFormat(const std::vector<FormatDescription>& formats,
                                       const AmMediaType& mediaType) {
  if (mediaType.majortype != guids::MediaTypeVideo)
    return std::nullopt;
  const auto request = ReadRequest(mediaType);
  if (!request)
    return std::nullopt;
  for (std::size_t i = 0; i < formats.size(); ++i) {
    const FormatDescription& f = formats[i];
    if (FourCCSubtype(f.fourcc) == mediaType.subtype && f.width == request->bitmap.biWidth &&
        f.height == request->bitmap.biHeight && f.frameTime == request->frameTime &&
        f.bitsPerPixel == request->bitmap.biBitCount)
      return i;
  }
  return std::nullopt;
}

}  // namespace varnholt::platform::virtualcam
