// Drivers that fail single requests: a control the driver cannot describe,
// a camera without controls, a read failing once on the wire, an errno
// without a code of its own, and the log line every failure leaves.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <limits>
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

class V4l2DriverFaultTest : public V4l2CameraTest {
 protected:
  void Use(std::vector<FakeControl> controls) {
    fake_ = std::make_shared<FakeUvcCamera>(std::move(controls));
    nodes_->cameras["/dev/video0"] = fake_;
  }
};

TEST_F(V4l2DriverFaultTest, AControlTheDriverCannotDescribeIsUnsupportedAndTheOthersWork) {
  auto controls = FakeUvcCamera::FullWebcam();
  FakeControl far;  // more ids past the last good one than the walk tries one by one
  far.id = V4L2_CID_USER_BASE + 0x30;
  far.name = "Vendor Control";
  controls.push_back(far);
  for (auto& c : controls) {
    if (c.id == V4L2_CID_GAMMA || c.id == far.id)
      c.queryErrno = EIO;
    if (c.id == V4L2_CID_POWER_LINE_FREQUENCY)
      c.itemErrno[2] = EPROTO;
  }
  Use(std::move(controls));

  EXPECT_FALSE(camera_->GammaSupported());
  EXPECT_TRUE(camera_->BrightnessSupported());
  EXPECT_TRUE(camera_->GainSupported());  // right after gamma
  EXPECT_TRUE(camera_->ZoomSupported());  // in the class after the jump past the vendor's
  EXPECT_EQ(camera_->Brightness(), 0);

  std::vector<ControlInfo> list;
  ASSERT_EQ(Query<IControlList>(camera_->CaptureFilter())->GetControls(list), hr::Ok);
  EXPECT_EQ(list.size(), FakeUvcCamera::FullWebcam().size() - 3);  // 2 headings, gamma
  const auto powerLine = std::find_if(list.begin(), list.end(), [](const ControlInfo& c) {
    return c.id == V4L2_CID_POWER_LINE_FREQUENCY;
  });
  ASSERT_NE(powerLine, list.end());
  EXPECT_EQ(powerLine->menu.size(), 3u);  // the item it could not name left out
}

// Answers no real driver gives, which a broken or hostile one may: the
// camera binds in a bounded number of requests and offers nothing absurd.
TEST_F(V4l2DriverFaultTest, AbsurdRangesIdsAndSizesBindInBoundedRequests) {
  auto controls = FakeUvcCamera::FullWebcam();
  for (auto& c : controls) {
    if (c.id == V4L2_CID_POWER_LINE_FREQUENCY)
      c.maximum = std::numeric_limits<std::int64_t>::max();  // a menu of "every" index
    if (c.id == V4L2_CID_AUTOGAIN) {
      c.minimum = std::numeric_limits<std::int64_t>::min();
      c.maximum = std::numeric_limits<std::int64_t>::max();
    }
  }
  FakeControl flagged;  // its id carries the walk's own flag bits
  flagged.id = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CID_BRIGHTNESS;
  flagged.name = "Flagged";
  controls.push_back(flagged);
  auto formats = FakeUvcCamera::StandardFormats();
  formats[0].sizes.push_back({0x80000000u, 480, {{1, 30}}});
  for (std::uint32_t i = 0; i < 4000; ++i)  // a list that seems never to end
    formats[1].sizes.push_back({16 + i, 16, {{1, 30}}});
  fake_ = std::make_shared<FakeUvcCamera>(std::move(controls), std::move(formats));
  nodes_->cameras["/dev/video0"] = fake_;

  EXPECT_TRUE(camera_->PowerLineFrequencySupported());
  EXPECT_TRUE(camera_->GainRange().Auto);
  const TFCameraFormats offered = camera_->SupportedFormats();
  EXPECT_NE(FindFormat(offered, "YUY2", 640, 480, k30Fps), nullptr);
  EXPECT_TRUE(std::all_of(offered.begin(), offered.end(),
                          [](const TFCameraFormat& f) { return f.Width > 0; }));
  EXPECT_LT(fake_->IoctlCount(), 5000u);
}

TEST_F(V4l2DriverFaultTest, AFailingFirstControlOfAClassCostsOnlyItself) {
  // Its heading sits at the class's first id, the controls far above it.
  auto controls = FakeUvcCamera::FullWebcam();
  for (auto& c : controls)
    if (c.id == V4L2_CID_BRIGHTNESS || c.id == V4L2_CID_EXPOSURE_AUTO)
      c.queryErrno = EIO;
  Use(std::move(controls));
  EXPECT_FALSE(camera_->BrightnessSupported());
  EXPECT_TRUE(camera_->ContrastSupported());
  EXPECT_TRUE(camera_->FocusSupported());
  EXPECT_LT(fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL), 80u);
}

TEST_F(V4l2DriverFaultTest, ACameraWhoseControlsCannotBeReadIsSelectableWithoutProperties) {
  for (const bool handler : {false, true}) {
    SCOPED_TRACE(handler ? "every query fails" : "no control handler");
    auto controls = FakeUvcCamera::FullWebcam();
    for (auto& c : controls)
      c.queryErrno = EIO;
    Use(handler ? controls : std::vector<FakeControl>{});
    fake_->controlHandler = handler;
    camera_ = std::make_unique<TFCamera>(nullptr, platform_);
    camera_->SetDeviceName("Fake UVC Webcam");

    EXPECT_EQ(camera_->SupportedFormats().size(), 6u);
    EXPECT_FALSE(camera_->BrightnessSupported());
    EXPECT_FALSE(camera_->ExposureSupported());
    // The walk ends, and after a bounded number of questions.
    EXPECT_LT(fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL), 100u);
  }
}

TEST_F(V4l2DriverFaultTest, AReadFailingOnTheWireIsSentOnceMore) {
  SnapshotClock clock;
  ASSERT_EQ(camera_->Brightness(), 0);
  clock.Expire();
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

  // Read one by one, as an old driver makes us do: the failure reaches the
  // read itself rather than the class's request, which single reads repair.
  fake_->refuseClassReads = true;
  camera_->Brightness();  // bound again
  testing::internal::CaptureStderr();
  fake_->failNext = EOPNOTSUPP;
  try {
    camera_->Brightness();
    ADD_FAILURE() << "the driver's refusal was not reported";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.Message(), "The camera driver answered: Operation not supported (EOPNOTSUPP)");
  }
  EXPECT_EQ(V4l2Lines(testing::internal::GetCapturedStderr()),
            std::vector<std::string>{"v4l2: VIDIOC_G_EXT_CTRLS failed for Brightness "
                                     "(0x00980900): Operation not supported (EOPNOTSUPP)"});
}

}  // namespace
}  // namespace varnholt::test
