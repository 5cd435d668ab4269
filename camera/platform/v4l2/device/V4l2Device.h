#pragma once

// One V4L2 device node: its identity (driver, card, bus), whether it captures
// video, and its controls with their values.
//
// What callers may rely on:
// - every call answers 0 or a negative errno and touches its out-parameters
//   only on success;
// - the control list is what the driver reports at the time of the call,
//   without control-class headings and without disabled controls; a control
//   the driver fails to describe is left out and the walk goes on past it
//   (only a device that is gone fails the walk), a menu item it fails to
//   name is left out like a hole, and a driver without controls (ENOTTY)
//   has an empty list;
// - GetControls/SetControls are one ioctl each, so a set is applied by the
//   driver as one request (a manual value together with its auto switch);
// - a read (queries, G_EXT_CTRLS, G_FMT, G_PARM, the enumerations) that
//   fails with a USB transfer error (EIO, EPROTO, EPIPE, ETIMEDOUT) is sent
//   once more; writes never are;
// - every failed request writes one line to the debug channel, except the
//   answers that are part of the work: EINVAL ending an enumeration or
//   marking a menu hole, EAGAIN from an empty queue, ENOTTY from an
//   optional request;
// - ReadControlClass reads controls of one class in one request and
//   answers the driver's refusal as it is, for the caller to fall back on
//   single reads;
// - control events: SubscribeControlEvents asks for value, range and flags
//   changes of one control (-ENOTTY or -EINVAL: the driver has no events);
//   DequeueControlEvent answers -ENOENT when none waits;
// - formats, buffers and streaming are the single-planar video capture
//   queue's; a format call refused because another program owns the queue
//   answers -EBUSY as the driver gives it; SetFormat asks for progressive
//   frames and reports the field order the driver chose.

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "camera/platform/v4l2/device/IoctlDevice.h"

struct v4l2_query_ext_ctrl;  // <linux/videodev2.h>, kept out of callers

namespace varnholt::platform::v4l2 {

struct V4l2Capabilities {
  std::string driver;
  std::string card;
  std::string busInfo;
  std::uint32_t deviceCaps = 0;  // this node's own caps, not the whole device's

  // A node that delivers video frames on the single-planar queue, not a
  // metadata, output-only or multi-planar-only node (we stream only the
  // single-planar queue).
  bool IsVideoCapture() const;
};

struct V4l2MenuItem {
  std::int64_t value = 0;
  std::string name;  // or the number as text for an integer menu
};

struct V4l2ControlInfo {
  std::uint32_t id = 0;
  std::uint32_t type = 0;  // V4L2_CTRL_TYPE_*
  std::string name;
  std::string group;  // the control class heading, e.g. "Camera Controls"
  std::int64_t minimum = 0, maximum = 0, defaultValue = 0;
  std::uint64_t step = 0;
  std::uint32_t flags = 0;  // V4L2_CTRL_FLAG_*
  std::vector<V4l2MenuItem> menu;

  bool IsWritable() const;
  bool IsInactive() const;
  bool Is64Bit() const;
};

// One pixel format of the capture queue (VIDIOC_ENUM_FMT).
struct V4l2PixelFormat {
  std::uint32_t pixelFormat = 0;  // V4L2_PIX_FMT_*
  std::string description;
  std::uint32_t flags = 0;
};

struct V4l2FrameSize {
  std::uint32_t width = 0, height = 0;
};

// A frame interval in seconds as a fraction.
struct V4l2Fraction {
  std::uint32_t numerator = 0, denominator = 0;
};

// Frame sizes of a pixel format: a list, or a range for stepwise and
// continuous sizes (continuous: steps of 1).
struct V4l2FrameSizes {
  std::vector<V4l2FrameSize> discrete;
  bool stepwise = false;
  V4l2FrameSize minimum, maximum, step;
};

// Frame intervals of a size, likewise.
struct V4l2FrameIntervals {
  std::vector<V4l2Fraction> discrete;
  bool stepwise = false;
  V4l2Fraction minimum, maximum, step;
};

struct V4l2CaptureFormat {
  std::uint32_t pixelFormat = 0;
  std::uint32_t width = 0, height = 0;
  std::uint32_t bytesPerLine = 0, sizeImage = 0;
  std::uint32_t field = 0;  // V4L2_FIELD_*: how the driver delivers the lines

  // Whole frames, not fields (interlaced, alternate, ...).
  bool IsProgressive() const;
};

// A buffer of the capture queue as QUERYBUF and DQBUF describe it.
struct V4l2Buffer {
  std::uint32_t index = 0;
  std::uint32_t length = 0;  // bytes of the buffer
  std::int64_t offset = 0;   // for Map
  std::uint32_t bytesUsed = 0;
  std::uint32_t flags = 0;  // V4L2_BUF_FLAG_*
  std::uint32_t sequence = 0;
  // When the frame was captured on CLOCK_MONOTONIC; 0 when the driver
  // stamps with another clock or not at all.
  std::int64_t monotonicNs = 0;
};

struct V4l2ControlValue {
  std::uint32_t id = 0;
  std::int64_t value = 0;
  bool is64Bit = false;  // an INTEGER64 control, carried in value64
};

// A change of one control (V4L2_EVENT_CTRL): what changed and the control
// as it is now; value only with ValueChanged, the range only with
// RangeChanged, the flags always.
struct V4l2ControlEvent {
  std::uint32_t id = 0;
  bool valueChanged = false, rangeChanged = false, flagsChanged = false;
  std::int64_t value = 0;
  std::int64_t minimum = 0, maximum = 0, defaultValue = 0;
  std::uint64_t step = 0;
  std::uint32_t flags = 0;
};

class V4l2Device {
 public:
  explicit V4l2Device(std::unique_ptr<IoctlDevice> io) : io_(std::move(io)) {}

  // Opens a node; 0 with device set, or a negative errno.
  static int Open(const std::string& path, std::unique_ptr<V4l2Device>& device);

  int QueryCapabilities(V4l2Capabilities& caps);
  int QueryControls(std::vector<V4l2ControlInfo>& controls);
  // One control as it is now (its flags change with automatic modes); the
  // group is left empty.
  int QueryControl(std::uint32_t id, V4l2ControlInfo& control);
  // Current values of scalar controls; ids may come from different classes.
  int GetControls(std::span<V4l2ControlValue> values);
  int SetControls(std::span<const V4l2ControlValue> values);
  // Current values of controls that all belong to one control class.
  int ReadControlClass(std::span<V4l2ControlValue> values);
  int SubscribeControlEvents(std::uint32_t id);
  int DequeueControlEvent(V4l2ControlEvent& event);

  int EnumFormats(std::vector<V4l2PixelFormat>& formats);
  int EnumFrameSizes(std::uint32_t pixelFormat, V4l2FrameSizes& sizes);
  int EnumFrameIntervals(std::uint32_t pixelFormat, V4l2FrameSize size,
                         V4l2FrameIntervals& intervals);
  int GetFormat(V4l2CaptureFormat& format);
  // Asks for the format; on success format holds what the driver chose.
  int SetFormat(V4l2CaptureFormat& format);
  // -ENOTTY when the driver cannot tell or set its frame interval.
  int GetFrameInterval(V4l2Fraction& interval);
  int SetFrameInterval(V4l2Fraction& interval);

  // mmap buffers: count in, the number granted out; 0 frees them.
  int RequestBuffers(std::uint32_t& count);
  int QueryBuffer(std::uint32_t index, V4l2Buffer& buffer);
  int QueueBuffer(std::uint32_t index);
  // -EAGAIN when no filled buffer waits (the node is non-blocking).
  int DequeueBuffer(V4l2Buffer& buffer);
  int StreamOn();
  int StreamOff();

  IoctlDevice& Io() { return *io_; }
  // Once the driver has said the device is gone (ENODEV, ENXIO): a node
  // never comes back, so what was read from it before no longer holds.
  bool Gone() const { return gone_.load(std::memory_order_relaxed); }

 private:
  int QueryMenu(V4l2ControlInfo& control);
  int Describe(const ::v4l2_query_ext_ctrl& query, V4l2ControlInfo& info);
  // One ioctl through the door, with the retry of a read and the log line
  // of a failure; the answers in quiet are part of the work and not logged.
  int Request(unsigned long request, void* arg, std::initializer_list<int> quiet = {});
  void RememberNames(const std::vector<V4l2ControlInfo>& controls);
  std::string ControlName(std::uint32_t id);

  std::unique_ptr<IoctlDevice> io_;
  std::atomic<bool> gone_{false};
  // For the log: the names of the controls the last walk found. The stream
  // thread logs too, hence the lock.
  std::mutex namesMutex_;
  std::map<std::uint32_t, std::string> names_;
};

}  // namespace varnholt::platform::v4l2
