#include "camera/platform/virtual/MediaFormats.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace varnholt::platform::virtualcam {
namespace {

// Frames of these arrive in varying sizes.
constexpr std::uint32_t kCompressed[] = {
    kFourCCMJPG,
    MakeFourCC('H', '2', '6', '4'),
    MakeFourCC('H', 'E', 'V', 'C'),
    MakeFourCC('J', 'P', 'E', 'G'),
};

bool IsCompressed(std::uint32_t fourcc) {
  return std::find(std::begin(kCompressed), std::end(kCompressed), fourcc) != std::end(kCompressed);
}

std::uint32_t ImageSize(const FormatDescription& f) {
  const std::uint64_t bytes = static_cast<std::uint64_t>(f.width) *
                              static_cast<std::uint64_t>(f.height) * f.bitsPerPixel / 8;
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(bytes, std::numeric_limits<std::uint32_t>::max()));
}

VideoInfoHeader Header(const FormatDescription& f) {
  VideoInfoHeader v;
  const std::uint32_t image = ImageSize(f);
  const std::uint64_t bitRate =
      static_cast<std::uint64_t>(image) * 8 * 10'000'000 / static_cast<std::uint64_t>(f.frameTime);
  v.dwBitRate = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(bitRate, std::numeric_limits<std::uint32_t>::max()));
  v.AvgTimePerFrame = f.frameTime;
  v.bmiHeader.biWidth = f.width;
  v.bmiHeader.biHeight = f.height;
  v.bmiHeader.biBitCount = f.bitsPerPixel;
  v.bmiHeader.biCompression = f.fourcc;
  v.bmiHeader.biSizeImage = image;
  return v;
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
  auto m = std::make_unique<AmMediaType>();
  m->majortype = guids::MediaTypeVideo;
  m->subtype = FourCCSubtype(format.fourcc);
  m->bFixedSizeSamples = !IsCompressed(format.fourcc);
  m->bTemporalCompression = false;
  m->lSampleSize = ImageSize(format);
  if (format.type == FormatType::VideoInfo2) {
    m->formattype = guids::FormatVideoInfo2;
    m->pbFormat = VideoInfo2Bytes(format);
  } else {
    m->formattype = guids::FormatVideoInfo;
    m->pbFormat = Header(format).ToBytes();
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
