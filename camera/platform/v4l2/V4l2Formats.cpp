#include "camera/platform/v4l2/V4l2Formats.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "camera/platform/graph/VideoMediaType.h"

namespace varnholt::platform::v4l2 {
namespace {

// Offered for a stepwise or continuous range: the sizes and rates people
// pick, plus the range's largest size and fastest rate.
constexpr V4l2FrameSize kCommonSizes[] = {{160, 120}, {320, 240},  {640, 480},
                                          {800, 600}, {1280, 720}, {1920, 1080}};
constexpr std::uint32_t kCommonRates[] = {60, 30, 25, 15, 10, 5};
constexpr std::uint32_t kMaxSide = std::numeric_limits<std::int32_t>::max();

bool InSteps(std::uint32_t value, std::uint32_t min, std::uint32_t max, std::uint32_t step) {
  return value >= min && value <= max && (step <= 1 || (value - min) % step == 0);
}

std::vector<V4l2FrameSize> ChooseSizes(const V4l2FrameSizes& sizes) {
  if (!sizes.stepwise)
    return sizes.discrete;
  std::vector<V4l2FrameSize> chosen;
  for (const auto& s : kCommonSizes)
    if (InSteps(s.width, sizes.minimum.width, sizes.maximum.width, sizes.step.width) &&
        InSteps(s.height, sizes.minimum.height, sizes.maximum.height, sizes.step.height))
      chosen.push_back(s);
  const V4l2FrameSize largest = sizes.maximum;
  if (std::none_of(chosen.begin(), chosen.end(), [&](const V4l2FrameSize& s) {
        return s.width == largest.width && s.height == largest.height;
      }))
    chosen.push_back(largest);
  return chosen;
}

// a/b < c/d for positive fractions.
bool Less(V4l2Fraction a, V4l2Fraction b) {
  return static_cast<std::uint64_t>(a.numerator) * b.denominator <
         static_cast<std::uint64_t>(b.numerator) * a.denominator;
}

std::vector<V4l2Fraction> ChooseIntervals(const V4l2FrameIntervals& intervals) {
  if (!intervals.stepwise)
    return intervals.discrete;
  // Fastest first, as drivers list discrete intervals.
  std::vector<V4l2Fraction> chosen = {intervals.minimum};
  for (const std::uint32_t rate : kCommonRates) {
    const V4l2Fraction f{1, rate};
    if (Less(intervals.minimum, f) && !Less(intervals.maximum, f))
      chosen.push_back(f);
  }
  return chosen;
}

}  // namespace

std::int64_t FrameTimeOf(V4l2Fraction interval) {
  if (interval.denominator == 0)
    return 0;
  const std::uint64_t units = static_cast<std::uint64_t>(interval.numerator) * 10'000'000;
  return static_cast<std::int64_t>((units + interval.denominator / 2) / interval.denominator);
}

std::optional<CarriedFormat> CarriedFormatOf(std::uint32_t pixelFormat) {
  switch (pixelFormat) {
    case V4L2_PIX_FMT_YUYV:
      return CarriedFormat{kFourCCYUY2, 16};
    case V4L2_PIX_FMT_MJPEG:
      return CarriedFormat{kFourCCMJPG, 24};
    default:
      return std::nullopt;  // neither renderer nor still image could use its frames
  }
}

int ListModes(V4l2Device& device, std::vector<V4l2Mode>& modes) {
  std::vector<V4l2PixelFormat> formats;
  if (int ret = device.EnumFormats(formats); ret < 0)
    return ret;
  std::vector<V4l2Mode> found;
  for (const auto& format : formats) {
    const auto carried = CarriedFormatOf(format.pixelFormat);
    if (!carried)
      continue;
    V4l2FrameSizes sizes;
    if (int ret = device.EnumFrameSizes(format.pixelFormat, sizes); ret == -ENOTTY) {
      // No list of sizes: the size in force, where it is this format's.
      V4l2CaptureFormat current;
      if (device.GetFormat(current) == 0 && current.pixelFormat == format.pixelFormat)
        sizes.discrete = {{current.width, current.height}};
    } else if (ret < 0) {
      return ret;
    }
    for (const auto& size : ChooseSizes(sizes)) {
      // A size a format block's signed fields cannot hold is no mode at all:
      // it would be offered as a negative width.
      if (size.width > kMaxSide || size.height > kMaxSide)
        continue;
      V4l2FrameIntervals intervals;
      int ret = device.EnumFrameIntervals(format.pixelFormat, size, intervals);
      if (ret == -ENOTTY || ret == -EINVAL) {
        // No list: the one interval in force is all we can name.
        V4l2Fraction current{1, 30};
        device.GetFrameInterval(current);
        intervals.discrete = {current};
        ret = 0;
      }
      if (ret < 0)
        return ret;
      for (const auto& interval : ChooseIntervals(intervals))
        found.push_back({format.pixelFormat, carried->fourcc, carried->bitsPerPixel, size, interval,
                         FrameTimeOf(interval)});
    }
  }
  modes = std::move(found);
  return 0;
}

std::unique_ptr<AmMediaType> MediaTypeOf(const V4l2Mode& mode) {
  return graph::MakeVideoMediaType({mode.fourcc, static_cast<std::int32_t>(mode.size.width),
                                    static_cast<std::int32_t>(mode.size.height), mode.bitsPerPixel,
                                    mode.frameTime});
}

std::optional<std::size_t> MatchMode(const std::vector<V4l2Mode>& modes,
                                     const AmMediaType& mediaType) {
  if (mediaType.majortype != guids::MediaTypeVideo ||
      mediaType.formattype != guids::FormatVideoInfo)
    return std::nullopt;
  const auto info = VideoInfoHeader::FromBytes(mediaType.pbFormat);
  if (!info)
    return std::nullopt;
  for (std::size_t i = 0; i < modes.size(); ++i) {
    const V4l2Mode& m = modes[i];
    if (FourCCSubtype(m.fourcc) == mediaType.subtype &&
        static_cast<std::int64_t>(m.size.width) == info->bmiHeader.biWidth &&
        static_cast<std::int64_t>(m.size.height) == info->bmiHeader.biHeight &&
        m.frameTime == info->AvgTimePerFrame && m.bitsPerPixel == info->bmiHeader.biBitCount)
      return i;
  }
  return std::nullopt;
}

}  // namespace varnholt::platform::v4l2
