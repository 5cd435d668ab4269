#include "camera/platform/v4l2/V4l2StreamFormat.h"

#include <cerrno>

#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/v4l2/V4l2Errors.h"

namespace varnholt::platform::v4l2 {

bool SameMode(const V4l2Mode& a, const V4l2Mode& b) {
  return a.pixelFormat == b.pixelFormat && a.size.width == b.size.width &&
         a.size.height == b.size.height && a.frameTime == b.frameTime;
}

HResult StreamFormat::Modes(std::vector<V4l2Mode>& modes) {
  std::lock_guard lock(mutex_);
  if (!modes_) {
    std::vector<V4l2Mode> listed;
    if (int ret = ListModes(*device_, listed); ret < 0)
      return ResultFromErrno(ret);
    modes_ = std::move(listed);
  }
  modes = *modes_;
  return hr::Ok;
}

HResult StreamFormat::Current(V4l2Mode& mode) {
  std::vector<V4l2Mode> modes;
  if (const HResult code = Modes(modes); code != hr::Ok)
    return code;
  if (modes.empty())
    return graph::vfw::NoAcceptableTypes;
  V4l2CaptureFormat format;
  if (int ret = device_->GetFormat(format); ret < 0)
    return ResultFromErrno(ret);
  bytesPerLine_ = format.bytesPerLine;
  const auto carried = CarriedFormatOf(format.pixelFormat);
  const V4l2Mode* sameSize = nullptr;
  for (const auto& m : modes)
    if (m.pixelFormat == format.pixelFormat && m.size.width == format.width &&
        m.size.height == format.height) {
      sameSize = &m;
      break;
    }
  if (!carried || !sameSize) {
    mode = modes.front();
    return hr::Ok;
  }
  V4l2Mode current = *sameSize;
  V4l2Fraction interval;
  if (device_->GetFrameInterval(interval) == 0) {
    current.interval = interval;
    current.frameTime = FrameTimeOf(interval);
  }
  mode = current;
  return hr::Ok;
}

HResult StreamFormat::Apply(const V4l2Mode& mode) {
  if (streaming_)
    return graph::vfw::WrongState;  // a running stream keeps its format
  V4l2CaptureFormat format{mode.pixelFormat, mode.size.width, mode.size.height, 0, 0};
  if (int ret = device_->SetFormat(format); ret < 0)
    return ResultFromErrno(ret);
  bytesPerLine_ = format.bytesPerLine;
  // Fields would reach the renderers as half pictures or combed frames.
  if (!format.IsProgressive())
    return hr_v4l2::InterlacedFormat;
  if (format.pixelFormat != mode.pixelFormat || format.width != mode.size.width ||
      format.height != mode.size.height)
    return graph::vfw::TypeNotAccepted;
  V4l2Fraction interval = mode.interval;
  const int ret = device_->SetFrameInterval(interval);
  // A driver without frame-rate control streams at its own rate.
  if (ret < 0 && ret != -ENOTTY)
    return ResultFromErrno(ret);
  return hr::Ok;
}

}  // namespace varnholt::platform::v4l2
