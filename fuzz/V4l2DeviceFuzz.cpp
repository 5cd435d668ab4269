// libFuzzer target for the V4L2 backend behind a fuzzed camera: a model of a
// UVC webcam (tests/camera/v4l2/FakeUvcCamera) whose controls, ranges,
// menus, automatic companions, query faults, formats, frame sizes and
// intervals all come from the input, driven through the component as the
// window drives it: listing, binding, the seventeen properties, the
// formats, a value written, and a stream of fuzzed frames (short, long,
// odd) ending in still images. The input's first part describes the
// camera, the rest are the frames.

#include <fuzzer/FuzzedDataProvider.h>
#include <linux/videodev2.h>

#include <QBuffer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "camera/FCamera.h"
#include "camera/PropertyKeys.h"
#include "camera/platform/v4l2/V4l2Platform.h"
#include "camera/platform/v4l2/device/NodeDirectory.h"
#include "fuzz/FuzzSupport.h"
#include "tests/camera/v4l2/FakeUvcCamera.h"

using namespace varnholt;
using varnholt::test::FakeControl;
using varnholt::test::FakeFormat;
using varnholt::test::FakeFrameSize;
using varnholt::test::FakeInterval;
using varnholt::test::FakeUvcCamera;

namespace {

// Frames the stream has taken off the queue (successful DQBUFs), so the
// run waits for exactly that rather than for images a dropped frame never
// brings.
class Dequeued {
 public:
  void Add() {
    {
      std::lock_guard lock(mutex_);
      ++count_;
    }
    changed_.notify_all();
  }
  int Count() {
    std::lock_guard lock(mutex_);
    return count_;
  }
  // False when the stream took fewer within the deadline (it ended early).
  bool WaitFor(int count, std::chrono::milliseconds deadline) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return count_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

// An open node of the fuzzed camera that counts the frames it hands out.
class CountingDevice final : public platform::v4l2::IoctlDevice {
 public:
  CountingDevice(std::shared_ptr<FakeUvcCamera> camera, std::shared_ptr<Dequeued> dequeued)
      : camera_(std::move(camera)), dequeued_(std::move(dequeued)) {}
  int Map(std::size_t length, std::int64_t offset, void*& address) override {
    return camera_->Map(length, offset, address);
  }
  void Unmap(void* address, std::size_t length) override { camera_->Unmap(address, length); }
  int PollFd() const override { return camera_->PollFd(); }

 protected:
  int DoIoctl(unsigned long request, void* arg) override {
    const int ret = camera_->Ioctl(request, arg);
    if (request == VIDIOC_DQBUF && ret == 0)
      dequeued_->Add();
    return ret;
  }

 private:
  std::shared_ptr<FakeUvcCamera> camera_;
  std::shared_ptr<Dequeued> dequeued_;
};

// /dev/video0 is the fuzzed camera; every open reaches it.
class OneNode final : public platform::v4l2::NodeDirectory {
 public:
  OneNode(std::shared_ptr<FakeUvcCamera> camera, std::shared_ptr<Dequeued> dequeued)
      : camera_(std::move(camera)), dequeued_(std::move(dequeued)) {}
  std::vector<std::string> VideoNodes() override { return {"/dev/video0"}; }
  std::string ByIdLink(const std::string&) override { return {}; }
  int Open(const std::string& node, std::unique_ptr<platform::v4l2::IoctlDevice>& device) override {
    if (node != "/dev/video0")
      return -ENOENT;
    device = std::make_unique<CountingDevice>(camera_, dequeued_);
    return 0;
  }

 private:
  std::shared_ptr<FakeUvcCamera> camera_;
  std::shared_ptr<Dequeued> dequeued_;
};

constexpr std::uint32_t kControlIds[] = {V4L2_CID_BRIGHTNESS,
                                         V4L2_CID_CONTRAST,
                                         V4L2_CID_HUE,
                                         V4L2_CID_HUE_AUTO,
                                         V4L2_CID_SATURATION,
                                         V4L2_CID_SHARPNESS,
                                         V4L2_CID_GAMMA,
                                         V4L2_CID_WHITE_BALANCE_TEMPERATURE,
                                         V4L2_CID_AUTO_WHITE_BALANCE,
                                         V4L2_CID_BACKLIGHT_COMPENSATION,
                                         V4L2_CID_GAIN,
                                         V4L2_CID_AUTOGAIN,
                                         V4L2_CID_POWER_LINE_FREQUENCY,
                                         V4L2_CID_PAN_ABSOLUTE,
                                         V4L2_CID_TILT_ABSOLUTE,
                                         V4L2_CID_ZOOM_ABSOLUTE,
                                         V4L2_CID_EXPOSURE_ABSOLUTE,
                                         V4L2_CID_EXPOSURE_AUTO,
                                         V4L2_CID_IRIS_ABSOLUTE,
                                         V4L2_CID_FOCUS_ABSOLUTE,
                                         V4L2_CID_FOCUS_AUTO,
                                         V4L2_CID_USER_CLASS,
                                         V4L2_CID_CAMERA_CLASS};
constexpr std::uint32_t kControlTypes[] = {
    V4L2_CTRL_TYPE_INTEGER, V4L2_CTRL_TYPE_BOOLEAN,   V4L2_CTRL_TYPE_MENU,
    V4L2_CTRL_TYPE_BUTTON,  V4L2_CTRL_TYPE_INTEGER64, V4L2_CTRL_TYPE_CTRL_CLASS,
    V4L2_CTRL_TYPE_STRING,  V4L2_CTRL_TYPE_BITMASK,   V4L2_CTRL_TYPE_INTEGER_MENU};
constexpr int kErrnos[] = {0, EIO, EINVAL, ENODEV, EBUSY, EACCES, ENOTTY, EPERM};
constexpr std::uint32_t kPixelFormats[] = {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_MJPEG,
                                           V4L2_PIX_FMT_NV12};

template <class T, std::size_t N>
T Pick(FuzzedDataProvider& input, const T (&values)[N]) {
  return values[input.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

std::int64_t Number(FuzzedDataProvider& input) {
  // Mostly small numbers a camera has, sometimes the extremes.
  return input.ConsumeBool() ? input.ConsumeIntegralInRange<std::int64_t>(-300, 10000)
                             : input.ConsumeIntegral<std::int64_t>();
}

FakeControl Control(FuzzedDataProvider& input) {
  FakeControl c;
  c.id = input.ConsumeProbability<float>() < 0.9f ? Pick(input, kControlIds)
                                                  : input.ConsumeIntegral<std::uint32_t>();
  c.type = input.ConsumeProbability<float>() < 0.9f ? Pick(input, kControlTypes)
                                                    : input.ConsumeIntegral<std::uint32_t>();
  c.name = input.ConsumeRandomLengthString(40);
  c.minimum = Number(input);
  c.maximum = Number(input);
  c.step = Number(input);
  c.defaultValue = Number(input);
  c.value = Number(input);
  c.flags = input.ConsumeBool() ? 0 : input.ConsumeIntegral<std::uint32_t>();
  for (int items = input.ConsumeIntegralInRange(0, 6); items > 0; --items)
    c.menu[input.ConsumeIntegralInRange<std::uint32_t>(0, 12)] =
        input.ConsumeRandomLengthString(32);
  if (input.ConsumeBool()) {
    c.master = Pick(input, kControlIds);
    c.masterManual = Number(input);
  }
  c.queryErrno = input.ConsumeProbability<float>() < 0.9f ? 0 : Pick(input, kErrnos);
  if (input.ConsumeProbability<float>() > 0.9f)
    c.itemErrno[input.ConsumeIntegralInRange<std::uint32_t>(0, 12)] = Pick(input, kErrnos);
  return c;
}

FakeInterval Interval(FuzzedDataProvider& input) {
  if (input.ConsumeBool())
    return {1, Pick(input, {5u, 15u, 30u, 60u})};
  return {input.ConsumeIntegral<std::uint32_t>(), input.ConsumeIntegral<std::uint32_t>()};
}

FakeFrameSize Size(FuzzedDataProvider& input, bool intervals) {
  FakeFrameSize size;
  size.width = input.ConsumeBool() ? input.ConsumeIntegralInRange<std::uint32_t>(0, 700)
                                   : input.ConsumeIntegral<std::uint32_t>();
  size.height = input.ConsumeBool() ? input.ConsumeIntegralInRange<std::uint32_t>(0, 500)
                                    : input.ConsumeIntegral<std::uint32_t>();
  // The model takes the first size's first interval as its starting format.
  for (int n = intervals ? input.ConsumeIntegralInRange(1, 3) : 0; n > 0; --n)
    size.intervals.push_back(Interval(input));
  return size;
}

FakeFormat Format(FuzzedDataProvider& input) {
  FakeFormat f;
  f.pixelFormat = input.ConsumeProbability<float>() < 0.9f ? Pick(input, kPixelFormats)
                                                           : input.ConsumeIntegral<std::uint32_t>();
  f.description = input.ConsumeRandomLengthString(32);
  f.stepwise = input.ConsumeProbability<float>() < 0.2f;
  if (f.stepwise) {
    f.minSize = Size(input, false);
    f.maxSize = Size(input, false);
    f.stepSize = Size(input, false);
    f.fastest = Interval(input);
    f.slowest = Interval(input);
  } else {
    for (int n = input.ConsumeIntegralInRange(1, 4); n > 0; --n)
      f.sizes.push_back(Size(input, true));
  }
  return f;
}

void Stream(TFCamera& camera, FakeUvcCamera& fake, Dequeued& dequeued, FuzzedDataProvider& input) {
  const TFCameraFormats formats = camera.SupportedFormats();
  if (formats.empty())
    return;
  const TFCameraFormat& format =
      formats[input.ConsumeIntegralInRange<std::size_t>(0, formats.size() - 1)];
  // Frames of camera sizes: the memory of a larger one is not what is tested.
  if (std::int64_t{format.Width} * format.Height > 640 * 480)
    return;
  camera.SetFormat(format);
  std::atomic<int> images{0};
  camera.SetCaptureType(ctGrabber);
  camera.SetOnImageAvailable([&](TFCamera*, double) { ++images; });
  camera.SetActive(true);
  camera.Run();
  // The stream queues its buffers before Run returns; a camera that refused
  // them has no stream to feed, and waiting for one would only cost time.
  const int before = dequeued.Count();
  int delivered = 0;
  if (fake.Streaming()) {
    for (int n = input.ConsumeIntegralInRange(1, 3); n > 0 && input.remaining_bytes() > 0; --n) {
      const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 1 << 20);
      const std::string bytes = input.ConsumeBytesAsString(length);
      // Fewer frames than buffers: one is always queued while the stream runs.
      if (!fake.DeliverFrame(std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
                             std::chrono::milliseconds(0)))
        break;
      ++delivered;
    }
  }
  // Every frame taken (the deadline only for a stream that ended on its
  // own); stopping then waits for the last one's delivery, so the still
  // images below see every frame that made it.
  dequeued.WaitFor(before + delivered, std::chrono::seconds(5));
  camera.Stop();
  fuzz::Require(images.load() <= delivered, "no more images than frames");
  QBuffer still;
  still.open(QIODevice::WriteOnly);
  try {
    camera.CurrentImageToStream(still);
  } catch (const varnholt::Exception&) {
  }
  try {
    (void)camera.CurrentImageToBitmap();
  } catch (const varnholt::Exception&) {
  }
  camera.SetActive(false);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  varnholt::fuzz::StartApplication();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<FakeControl> controls;
  for (int n = input.ConsumeIntegralInRange(0, 24); n > 0; --n)
    controls.push_back(Control(input));
  std::vector<FakeFormat> formats;
  for (int n = input.ConsumeIntegralInRange(1, 4); n > 0; --n)
    formats.push_back(Format(input));
  auto fake = std::make_shared<FakeUvcCamera>(std::move(controls), std::move(formats));
  auto dequeued = std::make_shared<Dequeued>();
  fake->frameIntervals = input.ConsumeProbability<float>() < 0.9f;
  fake->controlHandler = input.ConsumeProbability<float>() < 0.95f;
  fake->rowPadding = input.ConsumeBool() ? 0 : input.ConsumeIntegralInRange<std::uint32_t>(0, 64);
  fake->lockedErrno = input.ConsumeBool() ? EACCES : EBUSY;
  if (input.ConsumeProbability<float>() > 0.9f)
    fake->deviceCaps = input.ConsumeIntegral<std::uint32_t>();
  if (input.ConsumeProbability<float>() > 0.9f)
    fake->interlacedOnly.push_back(Pick(input, kPixelFormats));
  const std::size_t writeKey = input.ConsumeIntegralInRange<std::size_t>(0, kPropertyKeys.size());
  const auto writeValue = input.ConsumeIntegral<std::int32_t>();
  const bool stream = input.ConsumeBool();

  auto platform =
      std::make_shared<platform::v4l2::V4l2Platform>(std::make_shared<OneNode>(fake, dequeued));
  TFCamera camera(nullptr, platform);
  try {
    const TFVideoCaptureDevices devices = camera.Devices();
    if (devices.empty())
      return 0;
    camera.SetDeviceName(devices.front().Name);
    fuzz::ReadEverything(camera);
    if (writeKey < kPropertyKeys.size()) {
      const TFPropertyKey& key = kPropertyKeys[writeKey];
      (camera.*key.SetValue)(writeValue);
      (camera.*key.SetAuto)(writeValue % 2 == 0);
    }
  } catch (const varnholt::Exception&) {
  }
  try {
    if (stream)
      Stream(camera, *fake, *dequeued, input);
  } catch (const varnholt::Exception&) {
  }
  return 0;
}
