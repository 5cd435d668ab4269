// Formats and live pictures from vivid through the component: the capture
// pin's formats with their frame times, a chosen format reaching the
// driver, frames streamed into the sample grabber, and a camera unplugged
// while it streams.
//
// These need the V4L2 capture pin and streaming; until the backend has them
// the VM's ctest entry leaves these suites out (see tests/vm/CMakeLists.txt).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QBuffer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <set>

#include "camera/platform/HResult.h"
#include "tests/vm/VividFixture.h"
#include "tests/vm/VmChecks.h"

namespace varnholt::test {
namespace {

using VividStream = VividTest;

TEST_F(VividStream, FormatsAreTheDriversSizesWithItsFrameTimes) {
  const TFCameraFormats formats = camera->SupportedFormats();
  std::set<std::pair<int, int>> yuy2Sizes;
  for (const TFCameraFormat& f : formats) {
    EXPECT_GT(f.Width, 0);
    EXPECT_NE(f.Height, 0);
    EXPECT_GT(f.AvgTimePerFrame, 0);
    if (FourCC(f.Compression) != "YUY2")
      continue;
    SCOPED_TRACE(std::to_string(f.Width) + "x" + std::to_string(f.Height));
    yuy2Sizes.insert({f.Width, std::abs(f.Height)});
    EXPECT_EQ(f.BitsPerPixel, 16);
    EXPECT_EQ(f.SampleSize, f.Width * std::abs(f.Height) * 2);
    // The frame time is one the driver offers for that size, in 100 ns.
    const auto times = DriverFrameTimes(node, f.Width, std::abs(f.Height));
    EXPECT_TRUE(times.count(f.AvgTimePerFrame)) << f.AvgTimePerFrame;
  }
  EXPECT_EQ(yuy2Sizes,
            (std::set<std::pair<int, int>>{
                {320, 180}, {640, 360}, {640, 480}, {1280, 720}, {1920, 1080}, {3840, 2160}}));
}

TEST_F(VividStream, AChosenFormatReachesTheDriver) {
  TFCameraFormat small = Yuy2Format(*camera, 320, 180);
  ASSERT_EQ(small.Width, 320);
  camera->SetFormat(small);
  const TFCameraFormat now = camera->Format();
  EXPECT_EQ(now.Width, 320);
  EXPECT_EQ(std::abs(now.Height), 180);
  EXPECT_EQ(FourCC(now.Compression), "YUY2");
  const DriverFormat driver = CurrentDriverFormat(node);
  EXPECT_EQ(driver.width, 320u);
  EXPECT_EQ(driver.height, 180u);
  EXPECT_EQ(driver.pixelFormat, V4L2_PIX_FMT_YUYV);
  EXPECT_EQ(driver.frameTime, small.AvgTimePerFrame);
}

TEST_F(VividStream, FramesStreamIntoTheSampleGrabberAndOutAsStills) {
  camera->SetFormat(Yuy2Format(*camera, 320, 180));
  const auto grabbed = StartGrabbing(*camera);
  std::atomic<int>& frames = grabbed->frames;
  EXPECT_EQ(camera->State(), csRunning);
  ASSERT_TRUE(WaitFor([&] { return frames >= 3; })) << frames << " frames in a minute";
  EXPECT_TRUE(grabbed->timesRise);

  QBuffer bmp;
  bmp.open(QIODevice::WriteOnly);
  EXPECT_EQ(camera->CurrentImageToStream(bmp), ifBmp);
  ASSERT_EQ(bmp.data().size(), 14 + 40 + 320 * 180 * 4);
  EXPECT_TRUE(bmp.data().startsWith("BM"));
  EXPECT_GE(DistinctColoursInFirstRow(bmp.data(), 320), 4);
  EXPECT_EQ(camera->CurrentImageToBitmap().size(), QSize(320, 180));

  camera->SetActive(false);
  const int seen = frames;
  QThread::msleep(500);
  EXPECT_EQ(frames, seen);  // no frame after deactivation
}

// Its own process after a fresh vivid, like VividUnplug.
using VividStreamUnplug = VividTest;

TEST_F(VividStreamUnplug, ACameraUnpluggedWhileStreamingStopsCleanly) {
  camera->SetFormat(Yuy2Format(*camera, 320, 180));
  const auto grabbed = StartGrabbing(*camera);
  std::atomic<int>& frames = grabbed->frames;
  ASSERT_TRUE(WaitFor([&] { return frames >= 2; }));

  ASSERT_TRUE(PressDisconnect(node));
  EXPECT_TRUE(camera->Devices().empty());
  ExpectStreamEndedKeepingTheLastPicture(*camera, *grabbed);
  // Reads give the clear error, and letting go neither hangs nor crashes.
  const RaisedError read = ErrorOf([&] { camera->Brightness(); });
  EXPECT_EQ(read.code, static_cast<std::uint32_t>(varnholt::platform::hr::DeviceNotConnected))
      << read.message;
  EXPECT_EQ(ErrorOf([&] { camera->SetActive(false); }).message, "<no exception>");
  EXPECT_FALSE(camera->Active());
  camera->SetDeviceName("");  // the last user lets go: vivid plugs in again
  EXPECT_EQ(camera->Devices().size(), 1u);
}

}  // namespace
}  // namespace varnholt::test
