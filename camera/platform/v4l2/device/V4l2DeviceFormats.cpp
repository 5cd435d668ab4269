// The capture queue of a V4L2 device: formats, frame sizes and intervals,
// buffers and streaming.

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>

#include "camera/platform/v4l2/device/V4l2Device.h"

namespace varnholt::platform::v4l2 {
namespace {

constexpr std::uint32_t kCapture = V4L2_BUF_TYPE_VIDEO_CAPTURE;

V4l2Fraction FromV4l2(const v4l2_fract& f) {
  return {f.numerator, f.denominator};
}

V4l2CaptureFormat FromV4l2(const v4l2_pix_format& p) {
  return {p.pixelformat, p.width, p.height, p.bytesperline, p.sizeimage, p.field};
}

void FromV4l2(const v4l2_buffer& b, V4l2Buffer& out) {
  out.index = b.index;
  out.length = b.length;
  out.offset = b.m.offset;
  out.bytesUsed = b.bytesused;
  out.flags = b.flags;
  out.sequence = b.sequence;
  out.monotonicNs = (b.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC
                        ? std::int64_t{b.timestamp.tv_sec} * 1'000'000'000 +
                              std::int64_t{b.timestamp.tv_usec} * 1000
                        : 0;
}

// No camera lists more than a few dozen formats, sizes or intervals; a
// driver that never says "past the last one" is asked this many times and
// no more, so that binding never spins through four billion requests.
constexpr std::uint32_t kMostEntries = 1024;

}  // namespace

bool V4l2CaptureFormat::IsProgressive() const {
  // ANY is not a valid answer, but some drivers leave the field unset.
  return field == V4L2_FIELD_NONE || field == V4L2_FIELD_ANY;
}

int V4l2Device::EnumFormats(std::vector<V4l2PixelFormat>& formats) {
  std::vector<V4l2PixelFormat> found;
  for (std::uint32_t index = 0; index < kMostEntries; ++index) {
    v4l2_fmtdesc desc{};
    desc.index = index;
    desc.type = kCapture;
    const int ret = Request(VIDIOC_ENUM_FMT, &desc, {-EINVAL});
    if (ret == -EINVAL)
      break;  // past the last one
    if (ret < 0)
      return ret;
    found.push_back({desc.pixelformat,
                     std::string(reinterpret_cast<const char*>(desc.description),
                                 strnlen(reinterpret_cast<const char*>(desc.description),
                                         sizeof desc.description)),
                     desc.flags});
  }
  formats = std::move(found);
  return 0;
}

int V4l2Device::EnumFrameSizes(std::uint32_t pixelFormat, V4l2FrameSizes& sizes) {
  V4l2FrameSizes found;
  for (std::uint32_t index = 0; index < kMostEntries; ++index) {
    v4l2_frmsizeenum e{};
    e.index = index;
    e.pixel_format = pixelFormat;
    const int ret = Request(VIDIOC_ENUM_FRAMESIZES, &e, {-EINVAL, -ENOTTY});
    if (ret == -EINVAL)
      break;  // past the last one, or none at all
    if (ret < 0)
      return ret;
    if (e.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
      found.discrete.push_back({e.discrete.width, e.discrete.height});
      continue;
    }
    // Stepwise and continuous come as one answer at index 0.
    found.stepwise = true;
    found.minimum = {e.stepwise.min_width, e.stepwise.min_height};
    found.maximum = {e.stepwise.max_width, e.stepwise.max_height};
    found.step = {e.type == V4L2_FRMSIZE_TYPE_CONTINUOUS ? 1 : e.stepwise.step_width,
                  e.type == V4L2_FRMSIZE_TYPE_CONTINUOUS ? 1 : e.stepwise.step_height};
    break;
  }
  sizes = std::move(found);
  return 0;
}

int V4l2Device::EnumFrameIntervals(std::uint32_t pixelFormat, V4l2FrameSize size,
                                   V4l2FrameIntervals& intervals) {
  V4l2FrameIntervals found;
  for (std::uint32_t index = 0; index < kMostEntries; ++index) {
    v4l2_frmivalenum e{};
    e.index = index;
    e.pixel_format = pixelFormat;
    e.width = size.width;
    e.height = size.height;
    const int ret = Request(VIDIOC_ENUM_FRAMEINTERVALS, &e, {-EINVAL, -ENOTTY});
    if (ret == -EINVAL && index > 0)
      break;
    if (ret < 0)
      return ret;
    if (e.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
      found.discrete.push_back(FromV4l2(e.discrete));
      continue;
    }
    found.stepwise = true;
    found.minimum = FromV4l2(e.stepwise.min);
    found.maximum = FromV4l2(e.stepwise.max);
    found.step =
        e.type == V4L2_FRMIVAL_TYPE_CONTINUOUS ? V4l2Fraction{0, 1} : FromV4l2(e.stepwise.step);
    break;
  }
  intervals = std::move(found);
  return 0;
}

int V4l2Device::GetFormat(V4l2CaptureFormat& format) {
  v4l2_format f{};
  f.type = kCapture;
  if (int ret = Request(VIDIOC_G_FMT, &f); ret < 0)
    return ret;
  format = FromV4l2(f.fmt.pix);
  return 0;
}

int V4l2Device::SetFormat(V4l2CaptureFormat& format) {
  v4l2_format f{};
  f.type = kCapture;
  f.fmt.pix.pixelformat = format.pixelFormat;
  f.fmt.pix.width = format.width;
  f.fmt.pix.height = format.height;
  // Whole frames: the graph has no deinterlacer. A driver that can only
  // deliver fields says so in its answer.
  f.fmt.pix.field = V4L2_FIELD_NONE;
  if (int ret = Request(VIDIOC_S_FMT, &f); ret < 0)
    return ret;
  format = FromV4l2(f.fmt.pix);
  return 0;
}

int V4l2Device::GetFrameInterval(V4l2Fraction& interval) {
  v4l2_streamparm p{};
  p.type = kCapture;
  if (int ret = Request(VIDIOC_G_PARM, &p, {-ENOTTY}); ret < 0)
    return ret;
  const v4l2_fract& t = p.parm.capture.timeperframe;
  if (!(p.parm.capture.capability & V4L2_CAP_TIMEPERFRAME) || t.numerator == 0 ||
      t.denominator == 0)
    return -ENOTTY;
  interval = FromV4l2(t);
  return 0;
}

int V4l2Device::SetFrameInterval(V4l2Fraction& interval) {
  v4l2_streamparm p{};
  p.type = kCapture;
  p.parm.capture.timeperframe = {interval.numerator, interval.denominator};
  if (int ret = Request(VIDIOC_S_PARM, &p, {-ENOTTY}); ret < 0)
    return ret;
  if (!(p.parm.capture.capability & V4L2_CAP_TIMEPERFRAME))
    return -ENOTTY;
  interval = FromV4l2(p.parm.capture.timeperframe);
  return 0;
}

int V4l2Device::RequestBuffers(std::uint32_t& count) {
  v4l2_requestbuffers r{};
  r.count = count;
  r.type = kCapture;
  r.memory = V4L2_MEMORY_MMAP;
  if (int ret = Request(VIDIOC_REQBUFS, &r); ret < 0)
    return ret;
  count = r.count;
  return 0;
}

int V4l2Device::QueryBuffer(std::uint32_t index, V4l2Buffer& buffer) {
  v4l2_buffer b{};
  b.index = index;
  b.type = kCapture;
  b.memory = V4L2_MEMORY_MMAP;
  if (int ret = Request(VIDIOC_QUERYBUF, &b); ret < 0)
    return ret;
  FromV4l2(b, buffer);
  return 0;
}

int V4l2Device::QueueBuffer(std::uint32_t index) {
  v4l2_buffer b{};
  b.index = index;
  b.type = kCapture;
  b.memory = V4L2_MEMORY_MMAP;
  return Request(VIDIOC_QBUF, &b);
}

int V4l2Device::DequeueBuffer(V4l2Buffer& buffer) {
  v4l2_buffer b{};
  b.type = kCapture;
  b.memory = V4L2_MEMORY_MMAP;
  if (int ret = Request(VIDIOC_DQBUF, &b, {-EAGAIN}); ret < 0)
    return ret;
  FromV4l2(b, buffer);
  return 0;
}

int V4l2Device::StreamOn() {
  int type = kCapture;
  return Request(VIDIOC_STREAMON, &type);
}

int V4l2Device::StreamOff() {
  int type = kCapture;
  return Request(VIDIOC_STREAMOFF, &type);
}

}  // namespace varnholt::platform::v4l2
