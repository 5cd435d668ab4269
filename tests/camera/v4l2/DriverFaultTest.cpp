// Drivers that fail single requests: a read failing once on the wire, an
// errno without a code of its own, and the log line every failure leaves.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <sstream>

#include "camera/CameraErrors.h"
#include "camera/platform/v4l2/V4l2Errors.h"
#include "tests/camera/v4l2/V4l2TestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

// The backend's lines among what stderr got.
std::vector<std::string> V4l2Lines(const std::string& captured) {
  std::vector<std::string> lines;
  std::istringstream in(captured);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("v4l2: ", 0) == 0)
      lines.push_back(line);
  return lines;
}

HResult CodeOf(const std::function<void()>& call, std::string* message = nullptr) {
  try {
    call();
  } catch (const EOleSysError& e) {
    if (message)
      *message = e.Message();
    return e.ErrorCode();
  }
  return hr::Ok;
}

using V4l2DriverFaultTest = V4l2CameraTest;

TEST_F(V4l2DriverFaultTest, AReadFailingOnTheWireIsSentOnceMore) {
  ASSERT_EQ(camera_->Brightness(), 0);
  std::uint64_t reads = fake_->IoctlCount(VIDIOC_G_EXT_CTRLS);
  fake_->failNext = EPROTO;
  EXPECT_EQ(camera_->Contrast(), 32);
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_G_EXT_CTRLS), reads + 2);

  camera_->Format();
  fake_->failNext = ETIMEDOUT;
  EXPECT_EQ(camera_->Format().Width, 640);
}

TEST_F(V4l2DriverFaultTest, NormalWorkIsQuietAndAFailureLogsOneLineAndNamesItsErrno) {
  testing::internal::CaptureStderr();
  // Enumerations ending in EINVAL, menu holes, ranges, values, a stream.
  Select("YUY2", 160, 120);
  camera_->BrightnessRange();
  camera_->SetExposureAuto(false);
  camera_->SetExposureAuto(true);
  camera_->SetCaptureType(ctGrabber);
  camera_->SetActive(true);
  camera_->Run();
  ASSERT_TRUE(fake_->DeliverFrame(Yuy2Frame(160, 120, 40)));
  camera_->SetActive(false);
  EXPECT_EQ(V4l2Lines(testing::internal::GetCapturedStderr()), std::vector<std::string>{});

  camera_->Brightness();  // bound again
  testing::internal::CaptureStderr();
  fake_->failNext = EOPNOTSUPP;
  std::string message;
  EXPECT_EQ(CodeOf([&] { camera_->Brightness(); }, &message),
            v4l2::hr_v4l2::DriverError(EOPNOTSUPP));
  EXPECT_EQ(message, "The camera driver answered: Operation not supported (EOPNOTSUPP)");
  EXPECT_EQ(V4l2Lines(testing::internal::GetCapturedStderr()),
            std::vector<std::string>{"v4l2: VIDIOC_G_EXT_CTRLS failed for Brightness "
                                     "(0x00980900): Operation not supported (EOPNOTSUPP)"});
}

}  // namespace
}  // namespace varnholt::test
