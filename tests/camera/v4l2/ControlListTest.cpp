// The generic control list: every control the camera lists, in the
// platform's kinds and the driver's groups, read and written one by one.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <algorithm>

#include "camera/platform/v4l2/V4l2ControlList.h"
#include "camera/platform/v4l2/V4l2Errors.h"
#include "tests/camera/v4l2/FakeUvcCamera.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

class V4l2ControlListTest : public ::testing::Test {
 protected:
  V4l2ControlListTest() {
    auto controls = FakeUvcCamera::FullWebcam();
    FakeControl privacy;
    privacy.id = V4L2_CID_PRIVACY;
    privacy.type = V4L2_CTRL_TYPE_BOOLEAN;
    privacy.name = "Privacy";
    privacy.maximum = 1;
    privacy.flags = V4L2_CTRL_FLAG_READ_ONLY;
    controls.push_back(privacy);
    FakeControl reset;
    reset.id = V4L2_CID_PAN_RESET;
    reset.type = V4L2_CTRL_TYPE_BUTTON;
    reset.name = "Pan, Reset";
    controls.push_back(reset);
    FakeControl label;
    label.id = V4L2_CID_CAMERA_CLASS_BASE + 100;
    label.type = V4L2_CTRL_TYPE_STRING;
    label.name = "Label";
    label.flags = V4L2_CTRL_FLAG_HAS_PAYLOAD;
    controls.push_back(label);
    auto fake = std::make_unique<FakeUvcCamera>(std::move(controls));
    camera_ = fake.get();
    list_ = v4l2::MakeControlList(std::make_shared<v4l2::V4l2Device>(std::move(fake)));
  }

  static const ControlInfo& Find(const std::vector<ControlInfo>& list, std::uint32_t id) {
    const auto it = std::find_if(list.begin(), list.end(), [id](auto& c) { return c.id == id; });
    EXPECT_NE(it, list.end()) << id;
    return *it;
  }

  FakeUvcCamera* camera_;
  std::shared_ptr<IControlList> list_;
};

TEST_F(V4l2ControlListTest, ControlsArriveInThePlatformsKindsAndTheDriversGroups) {
  std::vector<ControlInfo> list;
  ASSERT_EQ(list_->GetControls(list), hr::Ok);
  EXPECT_EQ(list.size(), FakeUvcCamera::FullWebcam().size() - 2 + 2);  // no headings, no string

  const ControlInfo& brightness = Find(list, V4L2_CID_BRIGHTNESS);
  EXPECT_EQ(brightness.type, ControlInfo::Type::Integer);
  EXPECT_EQ(brightness.group, "User Controls");
  EXPECT_EQ(brightness.minimum, -64);
  EXPECT_FALSE(brightness.readOnly);

  const ControlInfo& exposure = Find(list, V4L2_CID_EXPOSURE_AUTO);
  EXPECT_EQ(exposure.type, ControlInfo::Type::Menu);
  EXPECT_EQ(exposure.group, "Camera Controls");
  ASSERT_EQ(exposure.menu.size(), 2u);
  EXPECT_EQ(exposure.menu[1], (std::pair<std::int64_t, std::string>{3, "Aperture Priority Mode"}));

  EXPECT_EQ(Find(list, V4L2_CID_FOCUS_AUTO).type, ControlInfo::Type::Boolean);
  EXPECT_EQ(Find(list, V4L2_CID_PAN_RESET).type, ControlInfo::Type::Button);
  EXPECT_TRUE(Find(list, V4L2_CID_PRIVACY).readOnly);
  EXPECT_TRUE(Find(list, V4L2_CID_WHITE_BALANCE_TEMPERATURE).inactive);
  EXPECT_FALSE(Find(list, V4L2_CID_GAIN).inactive);
  EXPECT_TRUE(std::none_of(list.begin(), list.end(), [](auto& c) { return c.name == "Label"; }));
}

TEST_F(V4l2ControlListTest, ValuesAreReadAndWrittenByControlId) {
  std::int64_t value = 0;
  ASSERT_EQ(list_->GetValue(V4L2_CID_SATURATION, value), hr::Ok);
  EXPECT_EQ(value, 55);
  ASSERT_EQ(list_->SetValue(V4L2_CID_SATURATION, 70), hr::Ok);
  ASSERT_EQ(list_->GetValue(V4L2_CID_SATURATION, value), hr::Ok);
  EXPECT_EQ(value, 70);

  EXPECT_EQ(list_->GetValue(V4L2_CID_ROTATE, value), hr::PropIdUnsupported);
  EXPECT_EQ(list_->SetValue(V4L2_CID_ROTATE, 90), hr::PropIdUnsupported);
  EXPECT_EQ(list_->SetValue(V4L2_CID_SATURATION, 101), hr::InvalidArg);  // ERANGE
}

TEST_F(V4l2ControlListTest, AWriteToAControlAnAutomaticModeOwnsSaysSo) {
  const HResult code = list_->SetValue(V4L2_CID_WHITE_BALANCE_TEMPERATURE, 3000);
  EXPECT_EQ(code, v4l2::hr_v4l2::UnderAutomaticControl);
  EXPECT_EQ(camera_->Find(V4L2_CID_WHITE_BALANCE_TEMPERATURE)->value, 4600);

  // Once the mode is off, the same write goes through.
  ASSERT_EQ(list_->SetValue(V4L2_CID_AUTO_WHITE_BALANCE, 0), hr::Ok);
  EXPECT_EQ(list_->SetValue(V4L2_CID_WHITE_BALANCE_TEMPERATURE, 3000), hr::Ok);

  EXPECT_EQ(list_->SetValue(V4L2_CID_PRIVACY, 1), hr::AccessDenied);  // read-only, not automatic
}

}  // namespace
}  // namespace varnholt::test
