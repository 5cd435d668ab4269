// The device layer: identity and capture capability of a node, the walk over
// its control list, values read and written in one request, and a real node
// opened through the file system.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>

#include "camera/platform/v4l2/device/V4l2Device.h"
#include "tests/camera/v4l2/FakeUvcCamera.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform::v4l2;

class DeviceTest : public ::testing::Test {
 protected:
  DeviceTest() {
    auto fake = std::make_unique<FakeUvcCamera>(FakeUvcCamera::FullWebcam());
    camera_ = fake.get();
    device_ = std::make_unique<V4l2Device>(std::move(fake));
  }

  const V4l2ControlInfo* Control(const std::vector<V4l2ControlInfo>& list, std::uint32_t id) {
    const auto it = std::find_if(list.begin(), list.end(), [id](auto& c) { return c.id == id; });
    return it == list.end() ? nullptr : &*it;
  }

  FakeUvcCamera* camera_;
  std::unique_ptr<V4l2Device> device_;
};

TEST_F(DeviceTest, CapabilitiesNameTheNodeAndTellCaptureFromMetadata) {
  V4l2Capabilities caps;
  ASSERT_EQ(device_->QueryCapabilities(caps), 0);
  EXPECT_EQ(caps.driver, "uvcvideo");
  EXPECT_EQ(caps.card, "Fake UVC Webcam");
  EXPECT_EQ(caps.busInfo, "usb-0000:00:14.0-1");
  EXPECT_TRUE(caps.IsVideoCapture());

  // The metadata node of the same camera: the device's caps still list video
  // capture, the node's own do not.
  camera_->deviceCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
  ASSERT_EQ(device_->QueryCapabilities(caps), 0);
  EXPECT_FALSE(caps.IsVideoCapture());

  camera_->deviceCaps = V4L2_CAP_VIDEO_OUTPUT;
  ASSERT_EQ(device_->QueryCapabilities(caps), 0);
  EXPECT_FALSE(caps.IsVideoCapture());

  camera_->failNext = ENODEV;
  EXPECT_EQ(device_->QueryCapabilities(caps), -ENODEV);
}

TEST_F(DeviceTest, ControlListWalksEveryControlWithoutHeadingsOrDisabledOnes) {
  camera_->Find(V4L2_CID_GAMMA)->flags = V4L2_CTRL_FLAG_DISABLED;
  std::vector<V4l2ControlInfo> list;
  ASSERT_EQ(device_->QueryControls(list), 0);

  EXPECT_EQ(list.size(), FakeUvcCamera::FullWebcam().size() - 3);  // 2 headings, gamma
  EXPECT_EQ(Control(list, V4L2_CID_USER_CLASS), nullptr);
  EXPECT_EQ(Control(list, V4L2_CID_GAMMA), nullptr);
  EXPECT_TRUE(
      std::is_sorted(list.begin(), list.end(), [](auto& a, auto& b) { return a.id < b.id; }));

  const V4l2ControlInfo* wb = Control(list, V4L2_CID_WHITE_BALANCE_TEMPERATURE);
  ASSERT_NE(wb, nullptr);
  EXPECT_EQ(wb->name, "White Balance Temperature");
  EXPECT_EQ(wb->minimum, 2800);
  EXPECT_EQ(wb->maximum, 6500);
  EXPECT_EQ(wb->step, 10u);
  EXPECT_EQ(wb->defaultValue, 4600);
  EXPECT_TRUE(wb->IsInactive());  // automatic white balance is on
  EXPECT_TRUE(wb->IsWritable());
  EXPECT_FALSE(Control(list, V4L2_CID_GAIN)->IsInactive());
}

TEST_F(DeviceTest, MenusKeepTheDriversHoles) {
  std::vector<V4l2ControlInfo> list;
  ASSERT_EQ(device_->QueryControls(list), 0);
  const V4l2ControlInfo* exposure = Control(list, V4L2_CID_EXPOSURE_AUTO);
  ASSERT_NE(exposure, nullptr);
  ASSERT_EQ(exposure->menu.size(), 2u);
  EXPECT_EQ(exposure->menu[0].value, 1);
  EXPECT_EQ(exposure->menu[0].name, "Manual Mode");
  EXPECT_EQ(exposure->menu[1].value, 3);
  EXPECT_EQ(exposure->menu[1].name, "Aperture Priority Mode");
  EXPECT_EQ(Control(list, V4L2_CID_POWER_LINE_FREQUENCY)->menu.size(), 4u);
  EXPECT_TRUE(Control(list, V4L2_CID_BRIGHTNESS)->menu.empty());
}

TEST_F(DeviceTest, ADeviceGoneMidWalkReportsItsErrnoAndLeavesTheListAlone) {
  std::vector<V4l2ControlInfo> list(1);
  camera_->failNext = ENODEV;
  EXPECT_EQ(device_->QueryControls(list), -ENODEV);
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(DeviceTest, ValuesAreReadAcrossClassesAndWrittenInOneRequest) {
  V4l2ControlValue read[] = {{V4L2_CID_CONTRAST, 0}, {V4L2_CID_EXPOSURE_AUTO, 0}};
  ASSERT_EQ(device_->GetControls(read), 0);
  EXPECT_EQ(read[0].value, 32);
  EXPECT_EQ(read[1].value, V4L2_EXPOSURE_APERTURE_PRIORITY);

  const V4l2ControlValue write[] = {{V4L2_CID_CONTRAST, 40}, {V4L2_CID_BRIGHTNESS, -3}};
  ASSERT_EQ(device_->SetControls(write), 0);
  ASSERT_EQ(camera_->writes.size(), 1u);
  EXPECT_EQ(camera_->Find(V4L2_CID_CONTRAST)->value, 40);
  EXPECT_EQ(camera_->Find(V4L2_CID_BRIGHTNESS)->value, -3);

  V4l2ControlValue missing[] = {{V4L2_CID_CONTRAST, 7}, {V4L2_CID_PRIVACY, 7}};
  EXPECT_EQ(device_->GetControls(missing), -EINVAL);
  EXPECT_EQ(missing[0].value, 7);  // untouched on failure
}

TEST(NodeDeviceTest, OpeningReportsTheSystemsErrorsAsNegativeErrno) {
  std::unique_ptr<V4l2Device> device;
  EXPECT_EQ(V4l2Device::Open("/nonexistent/video0", device), -ENOENT);
  EXPECT_EQ(device, nullptr);

  // A node that is not a V4L2 device opens, then refuses the V4L2 ioctls.
  ASSERT_EQ(V4l2Device::Open("/dev/null", device), 0);
  ASSERT_NE(device, nullptr);
  V4l2Capabilities caps;
  EXPECT_EQ(device->QueryCapabilities(caps), -ENOTTY);
}

}  // namespace
}  // namespace varnholt::test
