// The component on the built-in virtual cameras: real graphs that stream on
// their own threads, still images, formats and the property frame.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

#include <pthread.h>
#include <sched.h>

#include "camera/platform/graph/FrameSample.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

using platform::virtualcam::VirtualPlatform;

constexpr char kHdWebcam[] = "Varnholt Virtual HD Webcam";

// Keeps the calling thread on one processor while it lives, so that two
// threads really run side by side however busy the machine is.
class PinnedThread {
 public:
  explicit PinnedThread(int cpu) {
    pthread_getaffinity_np(pthread_self(), sizeof before_, &before_);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    pthread_setaffinity_np(pthread_self(), sizeof one, &one);
  }
  ~PinnedThread() { pthread_setaffinity_np(pthread_self(), sizeof before_, &before_); }

  // A processor the caller may use other than this one, if there is one.
  static int OtherThan(int cpu) {
    cpu_set_t allowed;
    pthread_getaffinity_np(pthread_self(), sizeof allowed, &allowed);
    for (int other = 0; other < CPU_SETSIZE; ++other)
      if (other != cpu && CPU_ISSET(other, &allowed))
        return other;
    return cpu;
  }

 private:
  cpu_set_t before_;
};

class CameraOnVirtual : public ::testing::Test {
 protected:
  void SetUp() override { Use(VirtualPlatform::BuiltinCamerasJson()); }
  void TearDown() override { form.reset(); }

  void Use(const QByteArray& json) {
    form.reset();
    platform = VirtualPlatform::FromJson(json, state.path());
    form = std::make_unique<QWidget>();
    form->resize(320, 240);
    camera = new TFCamera(form.get(), platform);
  }

  QTemporaryDir state;
  std::shared_ptr<VirtualPlatform> platform;
  std::unique_ptr<QWidget> form;
  TFCamera* camera = nullptr;
};

TEST_F(CameraOnVirtual, TheRichWebcamListsItsVideoInfoFormatsInOrder) {
  camera->SetDeviceName(kHdWebcam);
  const TFCameraFormats formats = camera->SupportedFormats();
  ASSERT_EQ(formats.size(), 8u);  // the video-info-2 one does not count
  EXPECT_EQ(formats[0].Width, 640);
  EXPECT_EQ(formats[0].AvgTimePerFrame, 333333);
  EXPECT_EQ(formats[0].BitsPerPixel, 16);
  camera->SetFormat(formats[5]);
  EXPECT_EQ(camera->Format(), formats[5]);
}

TEST_F(CameraOnVirtual, AutomaticCaptureUsesTheRendererAndItsCurrentImage) {
  camera->SetDeviceName(kHdWebcam);
  camera->SetFormat(camera->SupportedFormats().at(0));  // 640x480 YUY2
  camera->SetActive(true);
  EXPECT_EQ(camera->CaptureType(), ctVmr9);
  EXPECT_EQ(camera->State(), csStopped);
  camera->Run();
  EXPECT_EQ(camera->State(), csRunning);
  EXPECT_EQ(camera->NativeVideoSize(), QPoint(640, 480));
  QImage picture;
  ASSERT_TRUE(WaitUntil([&] {
    picture = camera->CurrentImageToBitmap();
    return !picture.isNull();
  }));
  EXPECT_EQ(picture.size(), QSize(640, 480));
  camera->Pause();
  EXPECT_EQ(camera->State(), csPaused);
  camera->Stop();
  EXPECT_EQ(camera->State(), csStopped);
  camera->SetActive(false);
  EXPECT_EQ(camera->State(), csInactive);
}

TEST_F(CameraOnVirtual, TheMicrophonesAreListedAndBindToPcmCapturePins) {
  const TFAudioCaptureDevices devices = camera->AudioCaptureDevices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0], (TFAudioCaptureDevice{"Microphone (Varnholt Virtual HD Webcam)",
                                              "Simulated webcam microphone", 0}));
  EXPECT_EQ(devices[1].WaveInID, 1);

  camera->SetAudioDeviceName(devices[1].Name);
  const auto filter = camera->AudioCaptureFilter();
  ASSERT_NE(filter, nullptr);
  std::shared_ptr<platform::IEnumPins> pins;
  ASSERT_EQ(filter->EnumPins(pins), platform::hr::Ok);
  std::shared_ptr<platform::IPin> pin, more;
  ASSERT_EQ(pins->Next(pin), platform::hr::Ok);
  EXPECT_EQ(pins->Next(more), platform::hr::False);
  std::string id;
  platform::PinDirection direction{};
  EXPECT_EQ(pin->QueryId(id), platform::hr::Ok);
  EXPECT_EQ(id, "Capture");
  EXPECT_EQ(pin->QueryDirection(direction), platform::hr::Ok);
  EXPECT_EQ(direction, platform::PinDirection::Output);
  const auto properties = platform::Query<platform::IKsPropertySet>(pin);
  ASSERT_NE(properties, nullptr);
  std::array<std::uint8_t, 16> category{};
  std::uint32_t returned = 0;
  ASSERT_EQ(properties->Get(platform::guids::AmPropSetIdPin, 0, {}, category, returned),
            platform::hr::Ok);
  EXPECT_EQ(platform::Guid::FromBytes(category.data()), platform::guids::PinCategoryCapture);

  std::shared_ptr<platform::IEnumMediaTypes> types;
  ASSERT_EQ(pin->EnumMediaTypes(types), platform::hr::Ok);
  std::unique_ptr<platform::AmMediaType> type, another;
  ASSERT_EQ(types->Next(type), platform::hr::Ok);
  EXPECT_EQ(types->Next(another), platform::hr::False);
  EXPECT_EQ(type->majortype, platform::guids::MediaTypeAudio);
  EXPECT_EQ(type->subtype, platform::guids::MediaSubtypePcm);
  EXPECT_EQ(type->formattype, platform::guids::FormatWaveFormatEx);
  const auto wave = platform::WaveFormatEx::FromBytes(type->pbFormat);
  ASSERT_TRUE(wave);
  EXPECT_EQ(wave->wFormatTag, 1);
  EXPECT_EQ(wave->nSamplesPerSec, 48000u);
  EXPECT_GE(wave->nChannels, 1);
  EXPECT_EQ(wave->wBitsPerSample, 16);
  EXPECT_EQ(wave->nBlockAlign, wave->nChannels * 2);
}

TEST_F(CameraOnVirtual, TheGrabberRaisesTheImageEventAndKeepsStills) {
  std::atomic<int> frames{0};
  camera->SetDeviceName(kHdWebcam);
  camera->SetFormat(camera->SupportedFormats().at(0));
  camera->SetCaptureType(ctGrabber);
  camera->SetOnImageAvailable([&](TFCamera*, double) { ++frames; });
  camera->SetActive(true);
  QBuffer empty;
  empty.open(QIODevice::WriteOnly);
  EXPECT_EQ(camera->CurrentImageToStream(empty), ifBmp);  // nothing buffered yet
  EXPECT_TRUE(empty.data().isEmpty());
  camera->Run();
  ASSERT_TRUE(WaitUntil([&] { return frames >= 3; }));
  QBuffer bmp;
  bmp.open(QIODevice::WriteOnly);
  EXPECT_EQ(camera->CurrentImageToStream(bmp), ifBmp);
  EXPECT_EQ(bmp.data().size(), 14 + 40 + 640 * 480 * 4);
  camera->SetActive(false);
  const int seen = frames;
  QThread::msleep(100);
  EXPECT_EQ(frames, seen);  // no event after deactivation
}

// Until the first frame neither path has a picture: nothing is written, the
// bitmap is empty, and a file already there is left as it was.
TEST_F(CameraOnVirtual, BeforeTheFirstFrameBothPathsGiveNoPicture) {
  camera->SetDeviceName(kHdWebcam);
  QTemporaryDir dir;
  const QString file = dir.filePath("still.bmp");
  for (const TFCaptureType type : {ctAuto, ctGrabber}) {
    SCOPED_TRACE(type == ctAuto ? "renderer" : "grabber");
    camera->SetCaptureType(type);
    camera->SetActive(true);
    ASSERT_EQ(camera->CaptureType(), type == ctAuto ? ctVmr9 : ctGrabber);
    QBuffer stream;
    stream.open(QIODevice::WriteOnly);
    EXPECT_EQ(camera->CurrentImageToStream(stream), ifBmp);
    EXPECT_TRUE(stream.data().isEmpty());
    EXPECT_TRUE(camera->CurrentImageToBitmap().isNull());
    ASSERT_TRUE(WriteFile(file, "previous picture"));
    EXPECT_EQ(camera->CurrentImageToFile(file), ifBmp);
    EXPECT_EQ(ReadFile(file), "previous picture");
    camera->SetActive(false);
  }
}

// JPEG frames differ in size from one to the next; a still taken while they
// arrive is always one whole frame. The frames go straight into the
// component's grabber as fast as a thread on another processor can send
// them, so that the size changes between any two calls.
TEST_F(CameraOnVirtual, MotionJpegStillsAreWholeFramesWhileTheSizeChanges) {
  Use(R"({"cameras": [{"friendlyName": "Jpeg", "devicePath": "virtual:/jpeg",
          "formats": [{"width": 320, "height": 240, "compression": "MJPG"}]}]})");
  camera->SetDeviceName("Jpeg");
  camera->SetCaptureType(ctGrabber);
  camera->SetActive(true);
  const auto grabber =
      std::dynamic_pointer_cast<platform::graph::IFrameReceiver>(camera->SampleGrabberFilter());
  ASSERT_NE(grabber, nullptr);
  const QByteArray small(1 << 16, 's'), large(1 << 19, 'L');
  const auto frame = [](const QByteArray& bytes) -> std::shared_ptr<IMediaSample> {
    return std::make_shared<platform::graph::FrameSample>(
        std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  };
  const std::shared_ptr<IMediaSample> frames[] = {frame(small), frame(large)};
  ASSERT_EQ(grabber->Receive(frames[0], 0), hr::Ok);
  const int cpu = sched_getcpu(), other = PinnedThread::OtherThan(cpu);
  const PinnedThread here(cpu);
  std::atomic<int> sent{0};
  const std::jthread source([&](std::stop_token stop) {
    const PinnedThread there(other);
    for (int i = 1; !stop.stop_requested(); ++i, ++sent)
      grabber->Receive(frames[i % 2], i / 30.0);
  });
  int failed = 0, partial = 0, larges = 0;
  for (int i = 0; i < 1000; ++i) {
    // Now and then a new frame first, so the sender is known to be running.
    for (const int seen = sent; i % 50 == 0 && sent == seen;)
      std::this_thread::yield();
    QBuffer still;
    still.open(QIODevice::WriteOnly);
    try {
      const bool jpeg = camera->CurrentImageToStream(still) == ifJpeg;
      partial += !jpeg || (still.data() != small && still.data() != large);
      larges += still.data() == large;
    } catch (const std::exception&) {
      ++failed;
    }
  }
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(partial, 0);
  EXPECT_TRUE(larges > 0 && larges < 1000) << larges << " of the stills were the large frame";
}

TEST_F(CameraOnVirtual, AMotionJpegFormatGivesJpegStills) {
  camera->SetDeviceName(kHdWebcam);
  const TFCameraFormats formats = camera->SupportedFormats();
  const auto mjpg = std::find_if(formats.begin(), formats.end(), [](const TFCameraFormat& f) {
    return std::string(reinterpret_cast<const char*>(f.Compression.Bytes), 4) == "MJPG" &&
           f.Width == 1280;
  });
  ASSERT_NE(mjpg, formats.end());
  camera->SetFormat(*mjpg);
  camera->SetCaptureType(ctGrabber);
  camera->SetActive(true);
  camera->Run();
  QByteArray jpeg;
  TFImageFormat format = ifBmp;
  ASSERT_TRUE(WaitUntil([&] {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    format = camera->CurrentImageToStream(buffer);
    jpeg = buffer.data();
    return !jpeg.isEmpty();
  }));
  EXPECT_EQ(format, ifJpeg);
  EXPECT_TRUE(jpeg.startsWith("\xFF\xD8"));
  EXPECT_EQ(camera->CurrentImageToBitmap().size(), QSize(1280, 720));
}

// The camera test's bitmaps from a real renderer, at an odd size in both
// compressions: the pixels of the still image file of the same frame, and
// a bitmap the caller still holds keeps its picture while later frames come.
TEST_F(CameraOnVirtual, RendererBitmapsHoldTheStillImagesPixelsAndStayTheCallers) {
  Use(R"({"cameras": [{"friendlyName": "Odd Size", "devicePath": "virtual:/odd-size",
          "formats": [{"width": 161, "height": 121, "compression": "YUY2", "fps": 30},
                      {"width": 161, "height": 121, "compression": "MJPG", "fps": 30}]}]})");
  camera->SetDeviceName("Odd Size");
  const TFCameraFormats formats = camera->SupportedFormats();
  ASSERT_EQ(formats.size(), 2u);
  const auto bitmap = [&] { return camera->CurrentImageToBitmap(); };
  const auto stillImage = [&] {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(camera->CurrentImageToStream(buffer), ifBmp);
    return QImage::fromData(buffer.data());
  };
  for (const TFCameraFormat& format : formats) {
    SCOPED_TRACE(std::string(reinterpret_cast<const char*>(format.Compression.Bytes), 4));
    camera->SetFormat(format);
    camera->SetActive(true);
    ASSERT_EQ(camera->CaptureType(), ctVmr9);
    camera->Run();
    ASSERT_TRUE(WaitUntil([&] { return !bitmap().isNull(); }));
    camera->Pause();  // no new frame from here on
    const QImage first = camera->CurrentImageToBitmap();
    EXPECT_EQ(first.size(), QSize(161, 121));
    ExpectSameBitmap(first, stillImage());
    const QImage firstCopy = first.copy();

    camera->Run();
    ASSERT_TRUE(WaitUntil([&] {
      const QImage later = bitmap();
      return !later.isNull() && later != firstCopy;
    }));
    camera->Pause();
    const QImage second = camera->CurrentImageToBitmap();
    ExpectSameBitmap(second, stillImage());
    ExpectSameBitmap(first, firstCopy);
    camera->SetActive(false);
  }
}

TEST_F(CameraOnVirtual, DeactivatingWhileHandlersRunNeitherHangsNorCrashes) {
  std::atomic<int> frames{0};
  camera->SetDeviceName(kHdWebcam);
  camera->SetFormat(camera->SupportedFormats().at(0));
  camera->SetCaptureType(ctGrabber);
  camera->SetOnImageAvailable([&](TFCamera*, double) {
    ++frames;
    QThread::msleep(20);  // a slow handler is still running when we let go
  });
  for (int round = 0; round < 3; ++round) {
    camera->SetActive(true);
    camera->Run();
    ASSERT_TRUE(WaitUntil([&] { return frames > round; }));
    camera->SetActive(false);
  }
  form.reset();  // destroys the camera too
}

TEST_F(CameraOnVirtual, ABusyCameraFailsToActivate) {
  Use(R"({"cameras": [{"friendlyName": "Held", "devicePath": "virtual:/held",
          "formats": [{"width": 320, "height": 240, "compression": "YUY2", "bitsPerPixel": 16}],
          "fail": {"busy": true}}]})");
  camera->SetDeviceName("Held");
  const OleError error = OleErrorOf([&] { camera->SetActive(true); });
  EXPECT_EQ(error.code, hr::Busy);
  EXPECT_FALSE(camera->Active());
}

TEST_F(CameraOnVirtual, ARendererThatCannotTakeThePreviewFallsBackToTheGrabber) {
  Use(R"({"cameras": [{"friendlyName": "Odd", "devicePath": "virtual:/odd",
          "formats": [{"width": 320, "height": 240, "compression": "YUY2", "bitsPerPixel": 16}],
          "fail": {"renderPreview": true}}]})");
  camera->SetDeviceName("Odd");
  camera->SetActive(true);
  EXPECT_EQ(camera->CaptureType(), ctGrabber);
  EXPECT_EQ(CameraErrorOf([&] { camera->NativeVideoSize(); }), "VMR-9 capture type required");
}

TEST_F(CameraOnVirtual, ThePropertyDialogOpensModallyAndReturnsWhenClosed) {
  camera->SetDeviceName(kHdWebcam);
  QString title;
  const ModalAnswer<QDialog> answer([&](QDialog& frame) { title = frame.windowTitle(); });
  camera->ShowPropertyDialog();
  EXPECT_EQ(answer.Answered(), 1);
  EXPECT_EQ(title, kHdWebcam);
}

TEST_F(CameraOnVirtual, ACameraWithoutPagesFailsTheDialog) {
  Use(R"({"cameras": [{"friendlyName": "Plain", "devicePath": "virtual:/plain",
          "interfaces": {"propertyPages": false}}]})");
  camera->SetDeviceName("Plain");
  EXPECT_EQ(OleErrorOf([&] { camera->ShowPropertyDialog(); }).code, hr::NoInterface);
}

TEST_F(CameraOnVirtual, ReplugsAreSeenRebindBringsTheCameraBackAndTwinsGetNumbers) {
  Use(R"({"cameras": [
    {"friendlyName": "Twin", "devicePath": "t1", "videoProcAmp": {"Brightness": {"min": 0, "max": 255}},
     "formats": [{"width": 320, "height": 240, "compression": "YUY2"}]},
    {"friendlyName": "Solo", "devicePath": "s1"},
    {"friendlyName": "Twin", "devicePath": "t2",
     "videoProcAmp": {"Brightness": {"min": 0, "max": 255}}}
  ]})");
  QStringList names;
  for (const TFVideoCaptureDevice& device : camera->Devices())
    names.append(device.Name);
  EXPECT_EQ(names, QStringList({"Twin", "Solo", "Twin #2"}));

  // Each twin is reached by its own name.
  camera->SetDeviceName("Twin #2");
  camera->SetBrightness(77);
  camera->SetDeviceName("Twin");
  EXPECT_NE(camera->Brightness(), 77);

  int events = 0;
  camera->SetOnDevicesChanged([&](TFCamera* sender) {
    EXPECT_EQ(sender, camera);
    ++events;
  });
  // Unplugged and back before the component looks: its binding stays dead,
  // as a device node does, and the failure drops it...
  ASSERT_EQ(platform->SetConnected("t1", false), hr::Ok);
  ASSERT_EQ(platform->SetConnected("t1", true), hr::Ok);
  EXPECT_EQ(OleErrorOf([&] { camera->Brightness(); }).code, hr::DeviceNotConnected);
  // ...so that the next use reaches the camera that came back.
  camera->SetBrightness(12);
  EXPECT_EQ(camera->Brightness(), 12);
  // The watch saw the plugging, on the component's thread.
  EXPECT_TRUE(WaitUntil([&] { return events > 0; }));
  const int seen = events;
  camera->SetBrightness(13);  // a value written is no device change
  EXPECT_FALSE(WaitUntil([&] { return events > seen; }, 400));

  // Rebind drops a binding on demand, and is refused while active.
  const auto before = camera->CaptureFilter();
  camera->Rebind();
  EXPECT_NE(camera->CaptureFilter(), before);
  camera->SetCaptureType(ctGrabber);
  camera->SetActive(true);
  EXPECT_EQ(CameraErrorOf([&] { camera->Rebind(); }),
            "Cannot perform this operation on active camera component");
  camera->SetActive(false);
  camera->SetOnDevicesChanged(nullptr);
}

}  // namespace
}  // namespace varnholt::test
