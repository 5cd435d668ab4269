#pragma once

// Graphs built on the virtual platform the way the camera component builds
// them, and a callback that counts what arrives.

#include <QByteArray>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "tests/camera/virtual/VirtualTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {

using namespace std::chrono_literals;

// Cameras: 0 "Desk" (video-processing values; YUY2 160x120, MJPG 160x120,
// YUY2 320x240), 1 "Studio" (capture and preview pins), 2 "Busy" (busy
// fault), 3 "No Preview" (renderPreview fault), 4 "Card" (NV12 only).
extern const QByteArray kGraphCameras;
enum CameraIndex : std::size_t { kDesk, kStudio, kBusy, kNoPreview, kCard };
constexpr int kDeskWidth = 160;
constexpr int kDeskHeight = 120;

// Generous: debug and sanitizer builds on a loaded machine.
constexpr auto kFrameWait = 10s;
constexpr int kFrameWaitMs = 10000;

// Counts frames and keeps their times, sizes and the last frame's bytes.
class FrameCounter : public platform::ISampleGrabberCB,
                     public std::enable_shared_from_this<FrameCounter> {
 public:
  std::shared_ptr<void> QueryInterface(platform::Iid iid) override;
  platform::HResult SampleCB(double sampleTime,
                             const std::shared_ptr<platform::IMediaSample>& sample) override;
  platform::HResult BufferCB(double sampleTime, std::span<const std::uint8_t> buffer) override;

  int Count() const { return count_.load(); }
  bool Running() const { return running_.load(); }
  std::vector<double> Times() const;
  std::vector<std::uint8_t> LastFrame() const;
  // Waits until more than `count` frames arrived; false after kFrameWait.
  bool WaitBeyond(int count) const;

  // Makes each callback take this long, to widen the window a test aims at.
  std::chrono::milliseconds delay{0};

 private:
  void Record(double sampleTime, std::span<const std::uint8_t> data);

  std::atomic<int> count_{0};
  std::atomic<bool> running_{false};
  mutable std::mutex mutex_;
  std::vector<double> times_;
  std::vector<std::uint8_t> last_;
};

// One capture session's objects, named as the component names them.
struct CaptureSession {
  std::shared_ptr<platform::IBaseFilter> capture;
  std::shared_ptr<platform::IGraphBuilder> graph;
  std::shared_ptr<platform::ICaptureGraphBuilder2> builder;
  std::shared_ptr<platform::IMediaControl> control;
  std::shared_ptr<platform::IMediaEvent> events;
  std::shared_ptr<platform::IBaseFilter> grabberFilter;
  std::shared_ptr<platform::ISampleGrabber> grabber;
  std::shared_ptr<platform::IBaseFilter> nullRenderer;
  std::shared_ptr<platform::IBaseFilter> vmr;
  std::shared_ptr<platform::IVMRWindowlessControl9> windowless;

  // Graph, builder and media interfaces for a bound camera filter.
  static CaptureSession Open(platform::Platform& platform,
                             std::shared_ptr<platform::IBaseFilter> capture);
  // Capture filter, sample grabber (buffering, with callback when given)
  // and null renderer; answers RenderStream's result.
  platform::HResult BuildGrabber(platform::Platform& platform,
                                 std::shared_ptr<platform::ISampleGrabberCB> callback = nullptr);
  // Capture filter into a windowless VMR-9; answers RenderStream's result.
  platform::HResult BuildRenderer(platform::Platform& platform);
  // As capture type "auto": the renderer, else the grabber without it.
  platform::HResult BuildAuto(platform::Platform& platform,
                              std::shared_ptr<platform::ISampleGrabberCB> callback);
  // Drops every reference in the component's teardown order.
  void Release();
};

// Every test has its own state folder with the cameras above.
class GraphTest : public VirtualPlatformTest {
 protected:
  void SetUp() override { platform_ = Load(kGraphCameras); }
  CaptureSession Open(std::size_t camera) {
    return CaptureSession::Open(*platform_, BindCamera(*platform_, camera));
  }
  // Streams the Studio camera until it delivered `frames` frames, then lets
  // it go. A test waiting for nothing to arrive waits this long: as long as
  // that many frames take on this machine, where a fixed sleep may end before
  // a late frame could show.
  void LetFramesPass(int frames = 8);
  std::shared_ptr<VirtualPlatform> platform_;
};

// Waits for a delivered frame that passes the check; false after kFrameWait.
bool WaitForFrame(const FrameCounter& counter,
                  const std::function<bool(const std::vector<std::uint8_t>&)>& check);

template <class T>
std::shared_ptr<T> Create(platform::Platform& platform, platform::ClassId classId) {
  std::shared_ptr<platform::Unknown> object;
  EXPECT_EQ(platform.CreateInstance(classId, object), platform::hr::Ok);
  return platform::Query<T>(object);
}

// The stream configuration of the filter's capture pin.
std::shared_ptr<platform::IAMStreamConfig> StreamConfig(platform::IBaseFilter& filter);
// Selects the index-th described format.
void SelectFormat(platform::IBaseFilter& filter, int index);

// Mean of the Y bytes and the set of chroma byte values of a YUY2 frame.
double MeanLuma(const std::vector<std::uint8_t>& yuy2);
bool ChromaIsNeutral(const std::vector<std::uint8_t>& yuy2);

}  // namespace varnholt::test
