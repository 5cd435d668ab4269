#include "camera/platform/graph/VideoMediaType.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace varnholt::platform::graph {
namespace {

constexpr std::uint32_t kCompressed[] = {
    kFourCCMJPG,
    MakeFourCC('H', '2', '6', '4'),
    MakeFourCC('H', 'E', 'V', 'C'),
    MakeFourCC('J', 'P', 'E', 'G'),
};

std::uint32_t ImageSize(const VideoShape& s) {
  const std::uint64_t bytes = static_cast<std::uint64_t>(std::max(s.width, 0)) *
                              static_cast<std::uint64_t>(std::abs(s.height)) * s.bitsPerPixel / 8;
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(bytes, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

bool IsCompressedFourCC(std::uint32_t fourcc) {
  return std::find(std::begin(kCompressed), std::end(kCompressed), fourcc) != std::end(kCompressed);
}

VideoInfoHeader MakeVideoInfo(const VideoShape& s) {
  VideoInfoHeader v;
  const std::uint32_t image = ImageSize(s);
  if (s.frameTime > 0) {
    const std::uint64_t bitRate = static_cast<std::uint64_t>(image) * 8 * 10'000'000 /
                                  static_cast<std::uint64_t>(s.frameTime);
    v.dwBitRate = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(bitRate, std::numeric_limits<std::uint32_t>::max()));
  }
  v.AvgTimePerFrame = s.frameTime;
  v.bmiHeader.biWidth = s.width;
  v.bmiHeader.biHeight = s.height;
  v.bmiHeader.biBitCount = s.bitsPerPixel;
  v.bmiHeader.biCompression = s.fourcc;
  v.bmiHeader.biSizeImage = image;
  return v;
}

std::unique_ptr<AmMediaType> MakeVideoMediaType(const VideoShape& shape) {
  auto m = std::make_unique<AmMediaType>();
  m->majortype = guids::MediaTypeVideo;
  m->subtype = FourCCSubtype(shape.fourcc);
  m->bFixedSizeSamples = !IsCompressedFourCC(shape.fourcc);
  m->bTemporalCompression = false;
  m->lSampleSize = ImageSize(shape);
  m->formattype = guids::FormatVideoInfo;
  m->pbFormat = MakeVideoInfo(shape).ToBytes();
  return m;
}

}  // namespace varnholt::platform::graph
