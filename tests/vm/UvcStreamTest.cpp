// Formats and live pictures from the uvcvideo camera through the component:
// the camera's sizes with its frame times, a chosen format reaching the
// camera at commit, and frames streamed into the sample grabber and out as
// still pictures that follow the camera's brightness.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <QBuffer>
#include <QThread>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "tests/vm/UvcRig.h"
#include "tests/vm/VmChecks.h"

namespace varnholt::test {
namespace {

TFCameraFormat Yuy2FormatAt(TFCamera& camera, int width, int height, std::int64_t frameTime) {
  for (const TFCameraFormat& f : camera.SupportedFormats())
    if (FourCC(f.Compression) == "YUY2" && f.Width == width && std::abs(f.Height) == height &&
        f.AvgTimePerFrame == frameTime)
      return f;
  return {};
}

// The camera's log lines about committed stream settings.
std::vector<std::string> CommitLines() {
  std::vector<std::string> lines;
  std::ifstream log(std::getenv("UVC_CAM_LOG"));
  for (std::string line; std::getline(log, line);)
    if (line.find("COMMIT SET_CUR") != std::string::npos)
      lines.push_back(line);
  return lines;
}

QByteArray Still(TFCamera& camera) {
  QBuffer bmp;
  bmp.open(QIODevice::WriteOnly);
  camera.CurrentImageToStream(bmp);
  return bmp.data();
}

using UvcStream = UvcTest;

TEST_F(UvcStream, FormatsAreTheCamerasSizesWithItsFrameTimes) {
  std::map<std::pair<int, int>, std::set<std::int64_t>> times;
  for (const TFCameraFormat& f : camera->SupportedFormats()) {
    SCOPED_TRACE(std::to_string(f.Width) + "x" + std::to_string(f.Height));
    ASSERT_EQ(FourCC(f.Compression), "YUY2");  // the camera's only format
    EXPECT_EQ(f.BitsPerPixel, 16);
    EXPECT_EQ(f.SampleSize, f.Width * std::abs(f.Height) * 2);
    times[{f.Width, std::abs(f.Height)}].insert(f.AvgTimePerFrame);
  }
  // The camera's frames (uvc-camera's defaults), 30 and 15 fps in 100 ns.
  EXPECT_EQ(times,
            (std::map<std::pair<int, int>, std::set<std::int64_t>>{{{640, 480}, {333333, 666667}},
                                                                   {{320, 240}, {333333, 666667}},
                                                                   {{1280, 720}, {1000000}}}));
  for (const auto& [size, frameTimes] : times)
    EXPECT_EQ(frameTimes, DriverFrameTimes(node, size.first, size.second));
}

TEST_F(UvcStream, AChosenFormatReachesTheCameraWhenTheStreamStarts) {
  const TFCameraFormat slow = Yuy2FormatAt(*camera, 320, 240, 666667);
  ASSERT_EQ(slow.Width, 320);
  camera->SetFormat(slow);
  const TFCameraFormat now = camera->Format();
  EXPECT_EQ(now.Width, 320);
  EXPECT_EQ(std::abs(now.Height), 240);
  EXPECT_EQ(now.AvgTimePerFrame, 666667);
  const DriverFormat driver = CurrentDriverFormat(node);
  EXPECT_EQ(driver.width, 320u);
  EXPECT_EQ(driver.height, 240u);
  EXPECT_EQ(driver.pixelFormat, V4L2_PIX_FMT_YUYV);
  EXPECT_EQ(driver.frameTime, 666667);

  const std::size_t commits = CommitLines().size();
  const auto grabbed = StartGrabbing(*camera);
  std::atomic<int>& frames = grabbed->frames;
  ASSERT_TRUE(WaitFor([&] { return frames >= 2; })) << frames << " frames in a minute";
  const std::vector<std::string> lines = CommitLines();
  ASSERT_GT(lines.size(), commits);
  // "... -> frame 2 (320x240) interval 666667": 1/15 s as the camera lists it.
  EXPECT_NE(lines.back().find("(320x240) interval 666667"), std::string::npos) << lines.back();
  camera->SetActive(false);
}

TEST_F(UvcStream, FramesBecomeStillsThatFollowTheCamerasBrightness) {
  camera->SetFormat(Yuy2FormatAt(*camera, 320, 240, 333333));
  const auto grabbed = StartGrabbing(*camera);
  std::atomic<int>& frames = grabbed->frames;
  EXPECT_EQ(camera->State(), csRunning);
  ASSERT_TRUE(WaitFor([&] { return frames >= 3; })) << frames << " frames in a minute";
  EXPECT_TRUE(grabbed->timesRise);

  const QByteArray still = Still(*camera);
  ASSERT_EQ(still.size(), 14 + 40 + 320 * 240 * 4);
  EXPECT_TRUE(still.startsWith("BM"));
  EXPECT_GE(DistinctColoursInFirstRow(still, 320), 4);  // the camera's colour bars
  EXPECT_EQ(camera->CurrentImageToBitmap().size(), QSize(320, 240));

  // The camera draws its picture with the brightness it was sent; frames
  // already queued still carry the old one (the sanitized build, slower in
  // the VM, keeps more than three under way).
  const auto levelAt = [&](std::int32_t brightness) {
    camera->SetBrightness(brightness);
    const int seen = frames;
    EXPECT_TRUE(WaitFor([&] { return frames >= seen + 15; }));
    return MeanLevel(Still(*camera));
  };
  const double dark = levelAt(-64);
  const double bright = levelAt(64);
  EXPECT_GT(bright, dark + 40) << "dark " << dark << ", bright " << bright;

  camera->SetActive(false);
  const int seen = frames;
  QThread::msleep(500);
  EXPECT_EQ(frames, seen);  // no frame after deactivation
}

}  // namespace
}  // namespace varnholt::test
