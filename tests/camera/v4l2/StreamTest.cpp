// Streaming from a V4L2 camera: the component's sample-grabber graph, the
// windowless renderer, still images, a camera held by another program, a
// camera lost while it streams, and stopping while frames arrive.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <atomic>
#include <mutex>
#include <thread>

#include "camera/CameraErrors.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "tests/camera/graph/GraphTestSupport.h"
#include "tests/camera/v4l2/V4l2TestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
namespace vfw = platform::graph::vfw;

// Waits up to kFrameWait for the condition.
bool WaitFor(const std::function<bool()>& condition) {
  return WaitUntil(condition, kFrameWaitMs);
}

// What a source tells the graph while it streams.
class EventLog final : public graph::IStreamEvents {
 public:
  void Notify(std::int32_t code) override {
    std::lock_guard lock(mutex_);
    codes_.push_back(code);
  }
  std::vector<std::int32_t> Codes() {
    std::lock_guard lock(mutex_);
    return codes_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::int32_t> codes_;
};

// A sink that keeps the formats it was given and counts frames.
class Sink final : public graph::IFrameReceiver {
 public:
  HResult ReceiveConnection(const AmMediaType& mediaType) override {
    std::lock_guard lock(mutex_);
    widths_.push_back(VideoInfoHeader::FromBytes(mediaType.pbFormat)->bmiHeader.biWidth);
    return hr::Ok;
  }
  void BreakConnection() override {}
  HResult Receive(const std::shared_ptr<IMediaSample>& sample, double) override {
    std::lock_guard lock(mutex_);
    sizes_.push_back(sample->Data().size());
    return hr::Ok;
  }
  std::vector<std::int32_t> Widths() {
    std::lock_guard lock(mutex_);
    return widths_;
  }
  std::vector<std::size_t> Sizes() {
    std::lock_guard lock(mutex_);
    return sizes_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::int32_t> widths_;
  std::vector<std::size_t> sizes_;
};

class V4l2StreamTest : public V4l2CameraTest {
 protected:
  // The bound filter as the graph sees it.
  std::shared_ptr<graph::IStreamSource> Source() {
    return std::dynamic_pointer_cast<graph::IStreamSource>(camera_->CaptureFilter());
  }

  void ExpectReleased() {
    EXPECT_FALSE(fake_->Streaming());
    EXPECT_EQ(fake_->MappedBuffers(), 0);
    EXPECT_EQ(fake_->AllocatedBuffers(), 0u);
  }
};

TEST_F(V4l2StreamTest, GrabberFramesRaiseTheEventAndGiveStillImages) {
  Select("YUY2", 160, 120);
  std::mutex mutex;
  std::vector<double> times;
  camera_->SetCaptureType(ctGrabber);
  camera_->SetOnImageAvailable([&](TFCamera*, double time) {
    std::lock_guard lock(mutex);
    times.push_back(time);
  });
  camera_->SetActive(true);
  EXPECT_EQ(camera_->State(), csStopped);
  EXPECT_FALSE(fake_->Streaming());  // buffers only while running
  camera_->Run();
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(fake_->DeliverFrame(Yuy2Frame(160, 120, 255)));
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(mutex);
    return times.size() == 3;
  }));
  {
    std::lock_guard lock(mutex);
    EXPECT_GE(times[0], 0.0);
    // Without capture times on the shared clock: the driver's sequence numbers.
    EXPECT_NEAR(times[2] - times[1], 1.0 / 30, 1e-6);
  }

  QBuffer stream;
  stream.open(QIODevice::WriteOnly);
  EXPECT_EQ(camera_->CurrentImageToStream(stream), ifBmp);
  EXPECT_EQ(stream.size(), 14 + 40 + 160 * 120 * 4);
  const QImage picture = camera_->CurrentImageToBitmap();
  ASSERT_EQ(picture.size(), QSize(160, 120));
  EXPECT_EQ(picture.pixel(80, 60), 0xFFFFFFFFu);  // Y 255 without colour is white

  camera_->Stop();
  ExpectReleased();
  camera_->Run();  // buffers again, and frames again
  ASSERT_TRUE(fake_->DeliverFrame(Yuy2Frame(160, 120, 0)));
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(mutex);
    return times.size() == 4;
  }));
  camera_->SetActive(false);
  ExpectReleased();
}

TEST_F(V4l2StreamTest, RowsTheDriverPadsGiveTheSamePictureAsPackedRows) {
  // A picture that changes along and across its rows: a row read from the
  // wrong place shows.
  const auto still = [&](std::uint32_t padding) {
    fake_->rowPadding = padding;
    Select("YUY2", 160, 120);
    std::vector<std::uint8_t> frame;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 160; ++x)
        frame.insert(frame.end(), {static_cast<std::uint8_t>(x + 3 * y),
                                   static_cast<std::uint8_t>(x % 2 ? 90 : 170)});
      frame.insert(frame.end(), padding, 0xEE);
    }
    std::atomic<int> frames{0};
    camera_->SetCaptureType(ctGrabber);
    camera_->SetOnImageAvailable([&](TFCamera*, double) { ++frames; });
    camera_->SetActive(true);
    camera_->Run();
    EXPECT_TRUE(fake_->DeliverFrame(frame));
    EXPECT_TRUE(WaitFor([&] { return frames == 1; }));
    QImage picture = camera_->CurrentImageToBitmap();
    camera_->SetActive(false);
    return picture;
  };
  const QImage packed = still(0);
  ASSERT_EQ(packed.size(), QSize(160, 120));
  EXPECT_EQ(still(64), packed);
}

TEST_F(V4l2StreamTest, MjpgFramesComeBackAsTheirJpegBytes) {
  if (!QImageReader::supportedImageFormats().contains("jpeg"))
    GTEST_SKIP() << "Qt's JPEG plugin is missing";
  Select("MJPG", 640, 480);
  QImage red(640, 480, QImage::Format_RGB32);
  red.fill(Qt::red);
  QBuffer jpegBuffer;
  jpegBuffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(red.save(&jpegBuffer, "JPG"));
  const QByteArray jpeg = jpegBuffer.data();

  std::atomic<int> frames{0};
  camera_->SetCaptureType(ctGrabber);
  camera_->SetOnImageAvailable([&](TFCamera*, double) { ++frames; });
  camera_->SetActive(true);
  camera_->Run();
  ASSERT_TRUE(fake_->DeliverFrame(std::vector<std::uint8_t>(jpeg.begin(), jpeg.end())));
  ASSERT_TRUE(WaitFor([&] { return frames == 1; }));
  QBuffer still;
  still.open(QIODevice::WriteOnly);
  EXPECT_EQ(camera_->CurrentImageToStream(still), ifJpeg);
  EXPECT_EQ(still.data(), jpeg);  // the bytes used, not the whole buffer
  camera_->SetActive(false);
}

TEST_F(V4l2StreamTest, ThePreviewRendererShowsTheCamerasFrames) {
  Select("YUY2", 320, 240);
  CaptureSession s = CaptureSession::Open(*platform_, camera_->CaptureFilter());
  ASSERT_EQ(s.BuildRenderer(*platform_), vfw::NoPreviewPin);  // the capture pin through a tee
  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(fake_->DeliverFrame(Yuy2Frame(320, 240, 0)));
  std::vector<std::uint8_t> image;
  ASSERT_TRUE(WaitFor([&] { return s.windowless->GetCurrentImage(image) == hr::Ok; }));
  ASSERT_GT(image.size(), 40u);
  std::int32_t width = 0, height = 0, ax = 0, ay = 0;
  ASSERT_EQ(s.windowless->GetNativeVideoSize(width, height, ax, ay), hr::Ok);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
  ASSERT_EQ(s.control->Stop(), hr::Ok);
  s.Release();
}

TEST_F(V4l2StreamTest, ACameraInUseByAnotherProgramFailsActivationWithAClearText) {
  camera_->SupportedFormats();
  fake_->heldElsewhere = true;
  camera_->SetCaptureType(ctGrabber);
  try {
    camera_->SetActive(true);
    FAIL() << "activation succeeded on a camera another program holds";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), hr::Busy);
    EXPECT_NE(e.Message().find("in use by another program"), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(camera_->Active());

  // Once the other program lets go, the same component streams.
  fake_->heldElsewhere = false;
  camera_->SetActive(true);
  camera_->Run();
  EXPECT_TRUE(fake_->WaitStreaming());
  camera_->SetActive(false);
  ExpectReleased();
}

TEST_F(V4l2StreamTest, AnotherProgramTakingTheCameraBeforeRunFailsRunAndLeavesNothingHeld) {
  camera_->SetCaptureType(ctGrabber);
  camera_->SetActive(true);
  fake_->heldElsewhere = true;
  try {
    camera_->Run();
    FAIL() << "ran on a camera another program holds";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), hr::Busy);
  }
  fake_->heldElsewhere = false;
  ExpectReleased();
  camera_->SetActive(false);
}

TEST_F(V4l2StreamTest, ACameraLostWhileStreamingEndsTheStreamOnceAndStopsQuietly) {
  struct Case {
    const char* what;
    std::function<void(FakeUvcCamera&)> lose;
    std::int32_t event;
  };
  const Case cases[] = {
      {"unplugged", [](FakeUvcCamera& c) { c.Unplug(); }, graph::kEventDeviceLost},
      {"input/output error", [](FakeUvcCamera& c) { c.FailDequeue(EIO); }, graph::kEventDeviceLost},
      {"other driver failure", [](FakeUvcCamera& c) { c.FailDequeue(EPIPE); },
       graph::kEventErrorAbort},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake_ = std::make_shared<FakeUvcCamera>(FakeUvcCamera::FullWebcam());
    nodes_->cameras["/dev/video0"] = fake_;
    camera_ = std::make_unique<TFCamera>(nullptr, platform_);
    camera_->SetDeviceName("Fake UVC Webcam");
    Select("YUY2", 160, 120);

    const auto source = Source();
    ASSERT_NE(source, nullptr);
    const auto sink = std::make_shared<Sink>();
    const auto log = std::make_shared<EventLog>();
    ASSERT_EQ(source->Connect(source->SourcePins().front().pin, sink, {}), hr::Ok);
    ASSERT_EQ(source->Start({0.0, std::chrono::steady_clock::now()}, log), hr::Ok);
    ASSERT_TRUE(fake_->DeliverFrame(Yuy2Frame(160, 120, 16)));
    ASSERT_TRUE(WaitFor([&] { return sink->Sizes().size() == 1; }));

    c.lose(*fake_);
    ASSERT_TRUE(WaitFor([&] { return !log->Codes().empty(); }));
    source->Stop();  // returns: the thread has ended
    EXPECT_EQ(log->Codes(), std::vector<std::int32_t>{c.event});
    EXPECT_EQ(fake_->MappedBuffers(), 0);
    EXPECT_EQ(sink->Sizes().size(), 1u);
    source->Disconnect(source->SourcePins().front().pin);
  }
  // The component reports the lost camera at its next call.
  fake_->Unplug();
  try {
    camera_->Brightness();
    FAIL() << "a lost camera answered";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), hr::DeviceNotConnected);
  }
}

TEST_F(V4l2StreamTest, AFormatChangedWhileStoppedReachesTheReceiverAtTheNextStart) {
  const auto source = Source();
  const auto sink = std::make_shared<Sink>();
  const auto pin = source->SourcePins().front().pin;
  ASSERT_EQ(source->Connect(pin, sink, {}), hr::Ok);
  EXPECT_EQ(source->Connect(pin, sink, {}), vfw::AlreadyConnected);
  ASSERT_EQ(source->Start({0.0, std::chrono::steady_clock::now()}, nullptr), hr::Ok);
  // A running stream keeps its format.
  const TFCameraFormats formats = camera_->SupportedFormats();
  EXPECT_THROW(camera_->SetFormat(*FindFormat(formats, "YUY2", 320, 240, k30Fps)), EOleSysError);
  source->Stop();

  camera_->SetFormat(*FindFormat(formats, "YUY2", 320, 240, k30Fps));
  ASSERT_EQ(source->Start({0.0, std::chrono::steady_clock::now()}, nullptr), hr::Ok);
  EXPECT_EQ(sink->Widths(), (std::vector<std::int32_t>{640, 320}));
  // A short YUY2 frame is not a picture; the next whole one arrives.
  ASSERT_TRUE(fake_->DeliverFrame(std::vector<std::uint8_t>(100, 0)));
  ASSERT_TRUE(fake_->DeliverFrame(Yuy2Frame(320, 240, 16)));
  ASSERT_TRUE(WaitFor([&] { return !sink->Sizes().empty(); }));
  source->Stop();
  EXPECT_EQ(sink->Sizes(), std::vector<std::size_t>{320 * 240 * 2});
  EXPECT_EQ(source->Disconnect(pin), hr::Ok);
}

TEST_F(V4l2StreamTest, StoppingWhileFramesArriveNeverHangsAndNothingArrivesAfterwards) {
  Select("YUY2", 160, 120);
  const auto source = Source();
  const auto sink = std::make_shared<Sink>();
  const auto pin = source->SourcePins().front().pin;
  ASSERT_EQ(source->Connect(pin, sink, {}), hr::Ok);

  std::atomic<bool> done{false};
  std::atomic<int> offered{0};
  std::thread driver([&] {
    const auto frame = Yuy2Frame(160, 120, 100);
    while (!done) {
      fake_->DeliverFrame(frame, 5ms);
      ++offered;
    }
  });
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    const std::size_t before = sink->Sizes().size();
    ASSERT_EQ(source->Start({0.0, std::chrono::steady_clock::now()}, nullptr), hr::Ok);
    ASSERT_TRUE(WaitFor([&] { return sink->Sizes().size() > before + 2; }));
    source->Stop();
    const std::size_t stoppedAt = sink->Sizes().size();
    // A stopped source queues no buffer, so the driver cannot deliver; three
    // whole offers after Stop are frames a stream left running would take.
    const int offeredAt = offered;
    ASSERT_TRUE(WaitFor([&] { return offered > offeredAt + 3; }));
    EXPECT_EQ(sink->Sizes().size(), stoppedAt);
    EXPECT_EQ(fake_->MappedBuffers(), 0);
  }
  done = true;
  driver.join();
  EXPECT_EQ(source->Disconnect(pin), hr::Ok);
}

TEST_F(V4l2StreamTest, AReceiverStoppingTheStreamFromItsFrameEndsItWithoutDeadlock) {
  Select("YUY2", 160, 120);
  const auto source = Source();
  // Stops the source from the streaming thread, as a callback may.
  class StoppingSink final : public graph::IFrameReceiver {
   public:
    explicit StoppingSink(graph::IStreamSource& source) : source_(source) {}
    HResult ReceiveConnection(const AmMediaType&) override { return hr::Ok; }
    void BreakConnection() override {}
    HResult Receive(const std::shared_ptr<IMediaSample>&, double) override {
      source_.Stop();
      ++frames;
      return hr::Ok;
    }
    std::atomic<int> frames{0};

   private:
    graph::IStreamSource& source_;
  };
  const auto sink = std::make_shared<StoppingSink>(*source);
  const auto pin = source->SourcePins().front().pin;
  ASSERT_EQ(source->Connect(pin, sink, {}), hr::Ok);
  ASSERT_EQ(source->Start({0.0, std::chrono::steady_clock::now()}, nullptr), hr::Ok);
  ASSERT_TRUE(fake_->DeliverFrame(Yuy2Frame(160, 120, 1)));
  // The thread frees the buffers itself once the frame returns.
  ASSERT_TRUE(WaitFor([&] { return fake_->MappedBuffers() == 0 && !fake_->Streaming(); }));
  EXPECT_EQ(sink->frames, 1);
  EXPECT_EQ(source->Disconnect(pin), hr::Ok);
}

}  // namespace
}  // namespace varnholt::test
