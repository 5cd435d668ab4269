#pragma once

// The format of one camera's capture stream, shared by its pin (which lists
// and sets it) and its stream (which streams at it).
//
// What callers may rely on:
// - the modes are listed once per open device, on first use;
// - Current is what the driver has in force (G_FMT and G_PARM); when that is
//   a pixel format the graph cannot carry (another program chose it), it is
//   the first offered mode, which streaming then applies;
// - Apply sets the size and pixel format, then the interval, and answers
//   vfw::WrongState while this camera streams, hr::Busy when another program
//   owns the device, vfw::TypeNotAccepted when the driver chose another size,
//   hr_v4l2::InterlacedFormat when it would deliver fields, not frames;
// - BytesPerLine is the row length the driver last reported for the format
//   in force (by Current or Apply); drivers may pad rows past the picture.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "camera/platform/HResult.h"
#include "camera/platform/v4l2/V4l2Formats.h"

namespace varnholt::platform::v4l2 {

class StreamFormat {
 public:
  explicit StreamFormat(std::shared_ptr<V4l2Device> device) : device_(std::move(device)) {}

  // The offered modes; the listing's code when the device cannot list them.
  HResult Modes(std::vector<V4l2Mode>& modes);
  HResult Current(V4l2Mode& mode);
  HResult Apply(const V4l2Mode& mode);

  std::uint32_t BytesPerLine() const { return bytesPerLine_; }

  void SetStreaming(bool streaming) { streaming_ = streaming; }
  bool IsStreaming() const { return streaming_; }

 private:
  const std::shared_ptr<V4l2Device> device_;
  std::mutex mutex_;
  std::optional<std::vector<V4l2Mode>> modes_;
  std::atomic<bool> streaming_{false};
  std::atomic<std::uint32_t> bytesPerLine_{0};
};

// Whether two modes stream the same frames.
bool SameMode(const V4l2Mode& a, const V4l2Mode& b);

}  // namespace varnholt::platform::v4l2
