// What reading a V4L2 camera costs in driver calls: ranges and capability
// flags come from one enumeration of the controls, and only a control the
// driver refused is queried again.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include "camera/CameraErrors.h"
#include "camera/PropertyKeys.h"
#include "tests/camera/v4l2/V4l2TestSupport.h"

namespace varnholt::test {
namespace {

using V4l2CostTest = V4l2CameraTest;

int ReadAllRanges(TFCamera& camera) {
  int supported = 0;
  for (const TFPropertyKey& key : kPropertyKeys)
    if ((camera.*key.Supported)()) {
      (camera.*key.Range)();
      ++supported;
    }
  return supported;
}

TEST_F(V4l2CostTest, RangesOfAllSeventeenPropertiesComeFromOneEnumeration) {
  EXPECT_EQ(ReadAllRanges(*camera_), 15);  // UVC has no ColorEnable and no Roll
  const std::uint64_t enumerations = fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL);
  const std::uint64_t menus = fake_->IoctlCount(VIDIOC_QUERYMENU);
  // One walk: a query per control and one past the last.
  EXPECT_EQ(enumerations, FakeUvcCamera::FullWebcam().size() + 1);
  const std::uint64_t total = fake_->IoctlCount();
  const std::uint64_t valueReads = fake_->IoctlCount(VIDIOC_G_EXT_CTRLS);

  ReadAllRanges(*camera_);
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL), enumerations);
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_QUERYMENU), menus);
  // The only calls left are the support tests' live value reads, one each.
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_G_EXT_CTRLS) - valueReads, 15u);
  EXPECT_EQ(fake_->IoctlCount() - total, 15u);
}

TEST_F(V4l2CostTest, ARefusedWriteQueriesThatOneControlAgainAndItsFlagsFollow) {
  ASSERT_TRUE(camera_->BrightnessRange().Manual);
  const std::uint64_t before = fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL);
  // Another program makes the control read-only between our read and write.
  fake_->beforeWrite = [&] { fake_->Find(V4L2_CID_BRIGHTNESS)->flags |= V4L2_CTRL_FLAG_READ_ONLY; };
  EXPECT_THROW(camera_->SetBrightness(10), EOleSysError);
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL), before + 1);
  EXPECT_FALSE(camera_->BrightnessRange().Manual);
  EXPECT_TRUE(camera_->ContrastRange().Manual);  // the others keep what they had
  // Values are read live all the same.
  fake_->Find(V4L2_CID_BRIGHTNESS)->value = 33;
  EXPECT_EQ(camera_->Brightness(), 33);
}

}  // namespace
}  // namespace varnholt::test
