// The sample grabber graph as the component builds it: frames, their times,
// the buffered sample, callbacks and the end of streaming.

#include <QDir>
#include <QImage>

#include "camera/platform/graph/GraphErrors.h"
#include "tests/camera/graph/GraphTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
namespace vfw = platform::graph::vfw;

using GrabberTest = GraphTest;

TEST_F(GrabberTest, FramesArriveWhileRunningAndStopWithTheGraph) {
  CaptureSession s = Open(kDesk);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_EQ(s.BuildGrabber(*platform_, counter), vfw::NoPreviewPin);  // capture pin as tee
  std::int32_t state = -1;
  ASSERT_EQ(s.control->GetState(0, state), hr::Ok);
  EXPECT_EQ(state, kStateStopped);

  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_EQ(s.control->GetState(0, state), hr::Ok);
  EXPECT_EQ(state, kStateRunning);
  ASSERT_TRUE(counter->WaitBeyond(4));

  ASSERT_EQ(s.control->Stop(), hr::Ok);
  ASSERT_EQ(s.control->GetState(0, state), hr::Ok);
  EXPECT_EQ(state, kStateStopped);
  const int stoppedAt = counter->Count();
  LetFramesPass();
  EXPECT_EQ(counter->Count(), stoppedAt);

  const auto times = counter->Times();
  ASSERT_GE(times.size(), 5u);
  EXPECT_GE(times.front(), 0.0);
  EXPECT_LT(times.front(), 1.0);
  for (std::size_t i = 1; i < times.size(); ++i)
    EXPECT_GT(times[i], times[i - 1]) << "frame " << i;
  EXPECT_EQ(counter->LastFrame().size(), std::size_t{kDeskWidth * kDeskHeight * 2});
}

TEST_F(GrabberTest, PauseHoldsFramesAndStreamTimeGoesOn) {
  CaptureSession s = Open(kDesk);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_, counter)));
  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(counter->WaitBeyond(2));

  ASSERT_EQ(s.control->Pause(), hr::Ok);
  std::int32_t state = -1;
  ASSERT_EQ(s.control->GetState(0, state), hr::Ok);
  EXPECT_EQ(state, kStatePaused);
  const int pausedAt = counter->Count();
  const double lastTime = counter->Times().back();
  LetFramesPass();
  EXPECT_EQ(counter->Count(), pausedAt);

  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(counter->WaitBeyond(pausedAt));
  EXPECT_GT(counter->Times()[static_cast<std::size_t>(pausedAt)], lastTime);
}

TEST_F(GrabberTest, CompletionWaitsOnlyWhileRunning) {
  CaptureSession s = Open(kDesk);
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_)));
  std::int32_t code = 0;
  EXPECT_EQ(s.events->WaitForCompletion(10, code), vfw::WrongState);
  ASSERT_EQ(s.control->Run(), hr::Ok);
  // A live source never completes: the wait ends with its time.
  EXPECT_EQ(s.events->WaitForCompletion(50, code), hr::Abort);
}

TEST_F(GrabberTest, ConnectedTypeIsTheCurrentFormat) {
  CaptureSession s = Open(kDesk);
  const auto grabber =
      Query<ISampleGrabber>(Create<IBaseFilter>(*platform_, ClassId::SampleGrabber));
  AmMediaType type;
  EXPECT_EQ(grabber->GetConnectedMediaType(type), vfw::NotConnected);
  std::int32_t size = 0;
  EXPECT_EQ(grabber->GetCurrentBuffer(size, nullptr), vfw::NotConnected);

  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_)));
  ASSERT_EQ(s.grabber->GetConnectedMediaType(type), hr::Ok);
  EXPECT_EQ(type.subtype, FourCCSubtype(kFourCCYUY2));
  EXPECT_EQ(type.formattype, guids::FormatVideoInfo);
  const auto header = VideoInfoHeader::FromBytes(type.pbFormat);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->bmiHeader.biWidth, kDeskWidth);
  EXPECT_EQ(header->bmiHeader.biHeight, kDeskHeight);
}

TEST_F(GrabberTest, CurrentBufferNeedsASampleAndRoomForIt) {
  CaptureSession s = Open(kDesk);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_, counter)));
  std::int32_t size = 0;
  EXPECT_EQ(s.grabber->GetCurrentBuffer(size, nullptr), vfw::WrongState);

  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(counter->WaitBeyond(0));
  ASSERT_EQ(s.grabber->GetCurrentBuffer(size, nullptr), hr::Ok);
  EXPECT_EQ(size, kDeskWidth * kDeskHeight * 2);

  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size));
  std::int32_t small = size - 1;
  EXPECT_EQ(s.grabber->GetCurrentBuffer(small, buffer.data()), hr::OutOfMemory);
  std::int32_t room = size + 100;
  buffer.resize(static_cast<std::size_t>(room));
  ASSERT_EQ(s.grabber->GetCurrentBuffer(room, buffer.data()), hr::Ok);
  EXPECT_EQ(room, size);

  ASSERT_EQ(s.grabber->SetBufferSamples(false), hr::Ok);
  EXPECT_EQ(s.grabber->GetCurrentBuffer(size, nullptr), hr::InvalidArg);
}

TEST_F(GrabberTest, MjpgSamplesAreJpegPicturesOfTheFormatSize) {
  CaptureSession s = Open(kDesk);
  SelectFormat(*s.capture, 1);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_, counter)));
  AmMediaType type;
  ASSERT_EQ(s.grabber->GetConnectedMediaType(type), hr::Ok);
  EXPECT_EQ(type.subtype, FourCCSubtype(kFourCCMJPG));

  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(counter->WaitBeyond(0));
  std::int32_t size = 0;
  ASSERT_EQ(s.grabber->GetCurrentBuffer(size, nullptr), hr::Ok);
  std::vector<std::uint8_t> jpeg(static_cast<std::size_t>(size));
  ASSERT_EQ(s.grabber->GetCurrentBuffer(size, jpeg.data()), hr::Ok);
  ASSERT_GT(jpeg.size(), 2u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  const QImage picture = QImage::fromData(jpeg.data(), size, "JPEG");
  EXPECT_EQ(picture.width(), kDeskWidth);
  EXPECT_EQ(picture.height(), kDeskHeight);
}

TEST_F(GrabberTest, NoCallbackRunsOrStartsAfterItIsRemoved) {
  CaptureSession s = Open(kDesk);
  const auto counter = std::make_shared<FrameCounter>();
  counter->delay = 15ms;  // most of each frame time is spent inside the callback
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_, counter)));
  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(counter->WaitBeyond(2));

  ASSERT_EQ(s.grabber->SetCallback(nullptr, 0), hr::Ok);
  EXPECT_FALSE(counter->Running());
  const int removedAt = counter->Count();
  LetFramesPass();
  EXPECT_EQ(counter->Count(), removedAt);
  // Frames still flow into the buffer.
  std::int32_t size = 0;
  EXPECT_EQ(s.grabber->GetCurrentBuffer(size, nullptr), hr::Ok);
}

TEST_F(GrabberTest, BufferCallbackGetsTheFrameBytes) {
  CaptureSession s = Open(kDesk);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_)));
  EXPECT_EQ(s.grabber->SetCallback(counter, 2), hr::InvalidArg);
  ASSERT_EQ(s.grabber->SetCallback(counter, 1), hr::Ok);
  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(counter->WaitBeyond(0));
  EXPECT_EQ(counter->LastFrame().size(), std::size_t{kDeskWidth * kDeskHeight * 2});
}

TEST_F(GrabberTest, TheFormatStaysWhileRunningAndChangesAtTheNextRun) {
  CaptureSession s = Open(kDesk);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_, counter)));
  const auto config = StreamConfig(*s.capture);
  std::unique_ptr<AmMediaType> larger;
  ASSERT_EQ(config->GetStreamCaps(2, larger), hr::Ok);

  ASSERT_EQ(s.control->Run(), hr::Ok);
  EXPECT_EQ(config->SetFormat(*larger), vfw::WrongState);
  ASSERT_EQ(s.control->Stop(), hr::Ok);
  ASSERT_EQ(config->SetFormat(*larger), hr::Ok);

  const int before = counter->Count();
  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(counter->WaitBeyond(before));
  std::int32_t size = 0;
  ASSERT_EQ(s.grabber->GetCurrentBuffer(size, nullptr), hr::Ok);
  EXPECT_EQ(size, 320 * 240 * 2);
  AmMediaType type;
  ASSERT_EQ(s.grabber->GetConnectedMediaType(type), hr::Ok);
  EXPECT_EQ(VideoInfoHeader::FromBytes(type.pbFormat)->bmiHeader.biWidth, 320);
}

TEST_F(GrabberTest, AnUnpluggedCameraStopsDeliveringAndItsGraphStaysDead) {
  CaptureSession s = Open(kDesk);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_, counter)));
  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(counter->WaitBeyond(0));
  ASSERT_EQ(platform_->SetConnected("desk", false), hr::Ok);
  LetFramesPass();  // a frame already under way may still arrive
  const int unpluggedAt = counter->Count();
  LetFramesPass();
  EXPECT_EQ(counter->Count(), unpluggedAt);

  // Back again, the camera is a new device: a graph on the old one does
  // not run, as with a driver's node that went away.
  ASSERT_EQ(platform_->SetConnected("desk", true), hr::Ok);
  ASSERT_EQ(s.control->Stop(), hr::Ok);
  EXPECT_EQ(s.control->Run(), hr::DeviceNotConnected);
  std::int32_t state = -1;
  ASSERT_EQ(s.control->GetState(0, state), hr::Ok);
  EXPECT_EQ(state, kStateStopped);
  EXPECT_EQ(counter->Count(), unpluggedAt);
}

// ---- releasing objects while frames arrive

TEST_F(GrabberTest, ReleasingInTheComponentsOrderWhileStreaming) {
  CaptureSession s = Open(kDesk);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_, counter)));
  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(counter->WaitBeyond(2));
  s.Release();
  const int releasedAt = counter->Count();
  LetFramesPass();
  EXPECT_EQ(counter->Count(), releasedAt);
}

TEST_F(GrabberTest, ReleasingTheGraphFirstWithoutStoppingEndsTheStream) {
  CaptureSession s = Open(kDesk);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_, counter)));
  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(counter->WaitBeyond(2));
  const std::weak_ptr<IGraphBuilder> graph = s.graph;
  s.graph.reset();
  s.control.reset();
  s.events.reset();
  s.builder.reset();
  EXPECT_TRUE(graph.expired());
  const int releasedAt = counter->Count();
  LetFramesPass();
  EXPECT_EQ(counter->Count(), releasedAt);
  // What is left still answers, unconnected.
  AmMediaType type;
  EXPECT_EQ(s.grabber->GetConnectedMediaType(type), vfw::NotConnected);
  FilterInfo info;
  ASSERT_EQ(s.capture->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.pGraph, nullptr);
  s.capture.reset();
  s.nullRenderer.reset();
  s.grabber.reset();
  s.grabberFilter.reset();
}

// Holds the session's objects and lets them go from inside a callback, so
// the graph ends on the streaming thread.
class ReleasingCallback : public ISampleGrabberCB,
                          public std::enable_shared_from_this<ReleasingCallback> {
 public:
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<ISampleGrabberCB>(shared_from_this()) : nullptr;
  }
  HResult SampleCB(double, const std::shared_ptr<IMediaSample>&) override {
    std::unique_ptr<CaptureSession> held;
    {
      std::lock_guard lock(mutex);
      held = std::move(session);
    }
    held.reset();  // the last references go here
    return hr::Ok;
  }
  HResult BufferCB(double, std::span<const std::uint8_t>) override { return hr::Ok; }

  std::mutex mutex;
  std::unique_ptr<CaptureSession> session;
};

// This process's threads.
int Threads() {
  return static_cast<int>(
      QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

TEST_F(GrabberTest, TheLastReferenceMayGoOnTheStreamingThread) {
  const int threads = Threads();
  auto session = std::make_unique<CaptureSession>(Open(kDesk));
  ASSERT_TRUE(Succeeded(session->BuildGrabber(*platform_)));
  const std::weak_ptr<IBaseFilter> grabber = session->grabberFilter;
  const std::weak_ptr<IGraphBuilder> graph = session->graph;
  const auto callback = std::make_shared<ReleasingCallback>();
  ASSERT_EQ(session->grabber->SetCallback(callback, 0), hr::Ok);
  ASSERT_EQ(session->control->Run(), hr::Ok);
  {
    std::lock_guard lock(callback->mutex);
    callback->session = std::move(session);
  }
  WaitUntil([&] { return grabber.expired(); }, kFrameWaitMs);
  EXPECT_TRUE(graph.expired());
  EXPECT_TRUE(grabber.expired());
  // The thread, left to end on its own, does end: one still on its way out
  // when the program ends also upsets the leak checker's look at threads.
  EXPECT_TRUE(WaitUntil([&] { return Threads() <= threads; }, kFrameWaitMs))
      << Threads() << " threads, " << threads << " before";
}

}  // namespace
}  // namespace varnholt::test
