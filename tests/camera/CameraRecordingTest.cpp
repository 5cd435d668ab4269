// Recording on the virtual cameras through the component, each file read
// back as a player reads it: containers, codecs, frame counts and times,
// sound against the picture's second marks, runs that continue one file,
// builds that fail and a disk that fills up.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>

#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/virtual/TestPicture.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

using platform::virtualcam::TestPicture;
using platform::virtualcam::VirtualPlatform;

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr double kFrame = 1.0 / 30;
constexpr char kMic[] = "Desk microphone";

const QByteArray kCameras = R"({"cameras": [
  {"friendlyName": "Desk", "devicePath": "desk",
   "videoProcAmp": {
     "Brightness": {"min": 0, "max": 255, "default": 128},
     "Contrast": {"min": 0, "max": 100, "default": 50}},
   "formats": [
     {"width": 160, "height": 120, "compression": "YUY2", "fps": 30},
     {"width": 160, "height": 120, "compression": "MJPG", "fps": 30}]}],
  "audioInputs": [{"friendlyName": "Desk microphone", "waveInId": 0}]
})";

class CameraRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    platform = VirtualPlatform::FromJson(kCameras, state.path());
    form = std::make_unique<QWidget>();
    form->resize(320, 240);
    camera = new TFCamera(form.get(), platform);
    camera->SetDeviceName("Desk");
    file = folder.filePath("clip").toStdString();
  }
  void TearDown() override { form.reset(); }

  // The grabber counts frames, so the test's clock is the camera's.
  void UseGrabber() {
    camera->SetCaptureType(ctGrabber);
    camera->SetOnImageAvailable([this](TFCamera*, double) { ++frames; });
  }
  // Runs until `count` more frames arrived.
  void RunFor(int count) {
    const int until = frames + count;
    camera->Run();
    ASSERT_TRUE(WaitUntil([&] { return frames >= until; }));
  }
  FileInfo Read() const { return Probe(file, TestPicture::MarkSide(kWidth, kHeight)); }

  QTemporaryDir state, folder;
  std::shared_ptr<VirtualPlatform> platform;
  std::unique_ptr<QWidget> form;
  TFCamera* camera = nullptr;
  std::string file;
  std::atomic<int> frames{0};
};

// Frames follow each other slot by slot; a frame the camera dropped on a
// busy machine leaves its slot empty, so that the rest keep their times.
void ExpectEvenFrames(const StreamInfo& video) {
  ASSERT_FALSE(video.times.empty());
  int skipped = 0;
  for (std::size_t i = 1; i < video.times.size(); ++i) {
    const double gap = (video.times[i] - video.times[i - 1]) / kFrame;
    ASSERT_GT(gap, 0.5) << "frame " << i;
    skipped += static_cast<int>(std::lround(gap)) - 1;
  }
  EXPECT_LE(skipped, 3);
}

struct Case {
  const char* name;
  TFMediaType type;
  int format;  // 0 YUY2, 1 MJPG
  const char* compressor;
  const char* audioCompressor;  // nullptr: no sound
  const char* videoCodec;
  const char* audioCodec;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class RecordingCases : public CameraRecording, public ::testing::WithParamInterface<Case> {};

TEST_P(RecordingCases, HoldWhatTheCameraSentAtItsTimes) {
  const Case& c = GetParam();
  UseGrabber();
  camera->SetFormat(camera->SupportedFormats().at(c.format));
  camera->SetOutputFileName(QString::fromStdString(file));
  camera->SetOutputFileType(c.type);
  camera->SetCompressorName(c.compressor);
  if (c.audioCompressor) {
    camera->SetAudioDeviceName(kMic);
    camera->SetAudioCompressorName(c.audioCompressor);
  }
  camera->SetActive(true);
  RunFor(45);  // the second mark at 1 s, and half a second after it
  camera->Stop();
  const int sent = frames;
  camera->SetActive(false);

  const FileInfo info = Read();
  EXPECT_EQ(info.format, c.type == mtAvi ? "avi" : "asf");
  const StreamInfo& video = info.Stream(AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(video.codec, c.videoCodec);
  EXPECT_EQ(video.width, kWidth);
  EXPECT_EQ(video.height, kHeight);
  // Every frame the grabber saw went into the file, one slot each.
  EXPECT_NEAR(static_cast<double>(video.packets.size()), sent, 1.0);
  ExpectEvenFrames(video);
  EXPECT_NEAR(info.duration, video.times.back() + kFrame, 2 * kFrame);
  EXPECT_NEAR(video.mark, 1.0, kFrame);
  EXPECT_EQ(video.decoded, static_cast<int>(video.packets.size()));
  ASSERT_EQ(info.Has(AVMEDIA_TYPE_AUDIO), c.audioCompressor != nullptr);
  if (c.audioCompressor) {
    const StreamInfo& sound = info.Stream(AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(sound.codec, c.audioCodec);
    EXPECT_NEAR(sound.beep, video.mark, kFrame) << "sound and picture apart";
    EXPECT_NEAR(sound.seconds, sent * kFrame, 0.15);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Containers, RecordingCases,
    ::testing::Values(Case{"AviAsItComes", mtAvi, 0, "", nullptr, "rawvideo", ""},
                      Case{"AviMjpgWithSound", mtAvi, 1, "", "", "mjpeg", "pcm_s16le"},
                      Case{"AviCompressed", mtAvi, 0, "mpeg4", "mp2", "mpeg4", "mp2"},
                      Case{"AsfPictureOnly", mtAsf, 1, "", nullptr, "wmv2", ""},
                      Case{"AsfDefaults", mtAsf, 0, "", "", "wmv2", "wmav2"},
                      Case{"AsfCompressed", mtAsf, 1, "wmv1", "wmav1", "wmv1", "wmav1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CameraRecording, PausesAndStopsContinueOneFileThatPlaysInBetween) {
  UseGrabber();
  camera->SetOutputFileName(QString::fromStdString(file));
  camera->SetOutputFileType(mtAvi);
  camera->SetActive(true);
  RunFor(10);
  camera->Pause();
  RunFor(10);
  camera->Stop();
  const std::size_t first = Read().Stream(AVMEDIA_TYPE_VIDEO).packets.size();
  EXPECT_NEAR(static_cast<double>(first), frames, 1.0);
  RunFor(10);
  camera->SetActive(false);  // the release finishes the file too

  const StreamInfo video = Read().Stream(AVMEDIA_TYPE_VIDEO);
  EXPECT_GT(video.packets.size(), first);
  EXPECT_NEAR(static_cast<double>(video.packets.size()), frames, 2.0);
  ExpectEvenFrames(video);
}

TEST_F(CameraRecording, PreviewAndRecordingRunFromOneCamera) {
  camera->SetOutputFileName(QString::fromStdString(file));
  camera->SetOutputFileType(mtAvi);
  camera->SetActive(true);
  EXPECT_EQ(camera->CaptureType(), ctVmr9);
  camera->Run();
  // YUY2 goes into the file as it comes: 30 frames are this many bytes.
  const qint64 frameBytes = kWidth * kHeight * 2;
  ASSERT_TRUE(WaitUntil([&] {
    return !camera->CurrentImageToBitmap().isNull() &&
           QFileInfo(file.c_str()).size() > 30 * frameBytes;
  }));
  camera->SetActive(false);
  EXPECT_GE(Read().Stream(AVMEDIA_TYPE_VIDEO).packets.size(), 30u);
}

TEST_F(CameraRecording, AFailingBuildLeavesAnOlderFileAsItWasAndHoldsNothing) {
  UseGrabber();
  {
    QFile older(file.c_str());
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write("an older recording");
  }
  camera->SetOutputFileName(QString::fromStdString(file));
  const auto failsWith = [&](const std::string& message) {
    EXPECT_EQ(CameraErrorOf([&] { camera->SetActive(true); }), message);
    EXPECT_FALSE(camera->Active());
    QFile older(file.c_str());
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    EXPECT_EQ(older.readAll(), "an older recording");
  };
  camera->SetCompressorName("no such encoder");
  failsWith("Cannot retrieve 'Compressor IBaseFilter' interface");
  camera->SetCompressorName("");
  camera->SetAudioDeviceName("No microphone");
  failsWith("Cannot retrieve 'IAudioCaptureFilter' interface");
  camera->SetAudioDeviceName(kMic);
  camera->SetAudioCompressorName("no such encoder");
  failsWith("Cannot retrieve 'AudioCompressor IBaseFilter' interface");
  camera->SetAudioCompressorName("");
  camera->SetAudioDeviceName("");
  camera->SetOutputFileName(folder.filePath("missing/clip.avi"));
  const OleError missing = OleErrorOf([&] { camera->SetActive(true); });
  EXPECT_EQ(missing.message, "The system cannot find the path specified");
  EXPECT_FALSE(camera->Active());
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList{"clip"});
  // The device is free again: the same camera records at once.
  camera->SetOutputFileName(QString::fromStdString(file));
  camera->SetActive(true);
  RunFor(3);
  camera->SetActive(false);
  EXPECT_FALSE(Read().Stream(AVMEDIA_TYPE_VIDEO).packets.empty());
}

TEST_F(CameraRecording, AFullDiskEndsTheRecordingWithItsErrorAndAPlayableFile) {
  const std::string disk = folder.filePath("disk").toStdString();
  QDir().mkpath(disk.c_str());
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=512k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
  struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  file = disk + "/clip.avi";
  UseGrabber();
  camera->SetOutputFileName(QString::fromStdString(file));
  camera->SetOutputFileType(mtAvi);
  camera->SetActive(true);
  camera->Run();
  // 512 KiB hold about a dozen frames; the graph hears of the failure.
  ASSERT_TRUE(WaitUntil([&] {
    std::int32_t code = 0;
    return camera->MediaEvent()->WaitForCompletion(0, code) == hr::Ok &&
           code == platform::graph::kEventErrorAbort;
  }));
  const OleError full = OleErrorOf([&] { camera->Stop(); });
  EXPECT_EQ(full.code, hr::DiskFull);
  EXPECT_EQ(full.message, "There is not enough space on the disk");
  EXPECT_GT(frames, 0);
  camera->SetActive(false);
  const StreamInfo video = Read().Stream(AVMEDIA_TYPE_VIDEO);
  EXPECT_GT(video.packets.size(), 5u);
  // Only the frame the disk cut short is lost.
  EXPECT_GE(video.decoded + 1, static_cast<int>(video.packets.size()));
}

}  // namespace
}  // namespace varnholt::test
