// Which V4L2 control answers each property, what a device without it
// answers, and the ranges, capabilities and flags read back.

#include <linux/videodev2.h>

#include "camera/platform/v4l2/device/ControlMap.h"
#include "tests/camera/v4l2/PropertyTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

struct Expected {
  bool cameraControl;
  std::int32_t property;
  std::uint32_t valueCid;
  std::uint32_t autoCid;  // 0: no automatic mode
};

// The controls the Linux UVC driver exposes for each property.
constexpr Expected kExpected[] = {
    {false, 0, V4L2_CID_BRIGHTNESS, 0},
    {false, 1, V4L2_CID_CONTRAST, 0},
    {false, 2, V4L2_CID_HUE, V4L2_CID_HUE_AUTO},
    {false, 3, V4L2_CID_SATURATION, 0},
    {false, 4, V4L2_CID_SHARPNESS, 0},
    {false, 5, V4L2_CID_GAMMA, 0},
    {false, 7, V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE},
    {false, 8, V4L2_CID_BACKLIGHT_COMPENSATION, 0},
    {false, 9, V4L2_CID_GAIN, V4L2_CID_AUTOGAIN},
    {false, 13, V4L2_CID_POWER_LINE_FREQUENCY, 0},
    {true, 0, V4L2_CID_PAN_ABSOLUTE, 0},
    {true, 1, V4L2_CID_TILT_ABSOLUTE, 0},
    {true, 3, V4L2_CID_ZOOM_ABSOLUTE, 0},
    {true, 4, V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO},
    {true, 5, V4L2_CID_IRIS_ABSOLUTE, V4L2_CID_EXPOSURE_AUTO},
    {true, 6, V4L2_CID_FOCUS_ABSOLUTE, V4L2_CID_FOCUS_AUTO},
};

TEST_F(V4l2PropertyTest, EachPropertyReadsAndWritesItsOwnControl) {
  // Every mapped control holds a value no other one holds, in manual mode.
  auto controls = FakeUvcCamera::FullWebcam();
  for (std::size_t i = 0; i < std::size(kExpected); ++i) {
    for (auto& c : controls) {
      if (c.id == kExpected[i].valueCid) {
        c.type = V4L2_CTRL_TYPE_INTEGER;
        c.menu.clear();
        c.minimum = -1000;
        c.maximum = 1000;
        c.value = 100 + static_cast<std::int64_t>(i);
      } else if (c.id == kExpected[i].autoCid) {
        c.value = c.id == V4L2_CID_EXPOSURE_AUTO ? V4L2_EXPOSURE_MANUAL : 0;
      }
    }
  }
  Load(std::move(controls));

  for (std::size_t i = 0; i < std::size(kExpected); ++i) {
    const Expected& e = kExpected[i];
    SCOPED_TRACE(testing::Message() << (e.cameraControl ? "camera " : "procamp ") << e.property);
    std::int32_t value = 0, flags = 0;
    ASSERT_EQ(Family(e.cameraControl).Get(e.property, value, flags), hr::Ok);
    EXPECT_EQ(value, 100 + static_cast<std::int32_t>(i));
    EXPECT_EQ(flags, kPropertyFlagsManual);

    camera_->writes.clear();
    const std::int32_t written = -100 - static_cast<std::int32_t>(i);
    ASSERT_EQ(Family(e.cameraControl).Set(e.property, written, kPropertyFlagsManual), hr::Ok);
    ASSERT_EQ(camera_->writes.size(), 1u);
    EXPECT_EQ(camera_->writes[0], (FakeUvcCamera::Write{{e.valueCid, written}}));
  }
}

TEST_F(V4l2PropertyTest, TheTableCoversEveryPublishedIdOnce) {
  for (const auto& e : kExpected) {
    const auto family =
        e.cameraControl ? PropertyFamilyKind::CameraControl : PropertyFamilyKind::VideoProcAmp;
    const v4l2::ControlMapping* m = v4l2::FindMapping(family, e.property);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->autoCid, e.autoCid) << m->name;
  }
  // Colour enable and roll are listed, without a control.
  EXPECT_EQ(v4l2::FindMapping(PropertyFamilyKind::VideoProcAmp, 6)->valueCid, 0u);
  EXPECT_EQ(v4l2::FindMapping(PropertyFamilyKind::CameraControl, 2)->valueCid, 0u);
  EXPECT_EQ(v4l2::ControlMappings().size(), std::size(kExpected) + 2);
}

TEST_F(V4l2PropertyTest, PropertiesWithoutAControlAreUnsupportedForEveryCall) {
  LoadWithout({V4L2_CID_ZOOM_ABSOLUTE, V4L2_CID_SHARPNESS});
  const std::pair<bool, std::int32_t> missing[] = {
      {false, 6},  {true, 2},   {true, 3}, {false, 4},  // no control in V4L2 / on this camera
      {false, 10}, {false, 14}, {true, 7}, {true, -1},  // not published
  };
  for (const auto& [cameraControl, property] : missing) {
    SCOPED_TRACE(property);
    std::int32_t a, b, c, d, e;
    EXPECT_EQ(Family(cameraControl).GetRange(property, a, b, c, d, e), hr::PropIdUnsupported);
    EXPECT_EQ(Family(cameraControl).Get(property, a, b), hr::PropIdUnsupported);
    EXPECT_EQ(Family(cameraControl).Set(property, 0, kPropertyFlagsManual), hr::PropIdUnsupported);
  }
  EXPECT_TRUE(camera_->writes.empty());
}

TEST_F(V4l2PropertyTest, RangesComeFromTheDriverInItsOwnUnits) {
  std::int32_t min, max, step, def, caps;
  ASSERT_EQ(procAmp_->GetRange(7, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ(min, 2800);  // kelvin
  EXPECT_EQ(max, 6500);
  EXPECT_EQ(step, 10);
  EXPECT_EQ(def, 4600);
  EXPECT_EQ(caps, kPropertyFlagsAuto | kPropertyFlagsManual);

  ASSERT_EQ(cameraControl_->GetRange(4, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ(min, 3);  // 100 µs units, not the platform's log2 seconds
  EXPECT_EQ(max, 2047);
  EXPECT_EQ(caps, kPropertyFlagsAuto | kPropertyFlagsManual);

  ASSERT_EQ(cameraControl_->GetRange(0, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ(min, -36000);  // arc seconds
  EXPECT_EQ(step, 3600);
  EXPECT_EQ(caps, kPropertyFlagsManual);

  ASSERT_EQ(procAmp_->GetRange(13, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ(min, 0);
  EXPECT_EQ(max, 3);
  EXPECT_EQ(def, 1);
  EXPECT_EQ(caps, kPropertyFlagsManual);
}

TEST_F(V4l2PropertyTest, CapabilitiesFollowTheCompanionAndWritability) {
  auto controls = FakeUvcCamera::FullWebcam();
  std::erase_if(controls, [](auto& c) { return c.id == V4L2_CID_AUTOGAIN; });
  for (auto& c : controls)
    if (c.id == V4L2_CID_BRIGHTNESS || c.id == V4L2_CID_FOCUS_ABSOLUTE)
      c.flags |= V4L2_CTRL_FLAG_READ_ONLY;
    else if (c.id == V4L2_CID_EXPOSURE_AUTO)
      c.menu = {{1, "Manual Mode"}};  // no automatic mode offered
  Load(std::move(controls));

  std::int32_t min, max, step, def, caps;
  ASSERT_EQ(procAmp_->GetRange(9, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ(caps, kPropertyFlagsManual);  // gain without autogain
  ASSERT_EQ(procAmp_->GetRange(0, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ(caps, 0);  // read-only brightness
  ASSERT_EQ(cameraControl_->GetRange(6, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ(caps, kPropertyFlagsAuto);  // focus only the camera moves
  ASSERT_EQ(cameraControl_->GetRange(4, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ(caps, kPropertyFlagsManual);
}

TEST_F(V4l2PropertyTest, FlagsSayAutomaticWhenTheCompanionDoes) {
  std::int32_t value, flags;
  ASSERT_EQ(procAmp_->Get(7, value, flags), hr::Ok);  // automatic white balance on
  EXPECT_EQ(flags, kPropertyFlagsAuto);
  EXPECT_EQ(value, 4600);
  ASSERT_EQ(procAmp_->Get(9, value, flags), hr::Ok);  // autogain off
  EXPECT_EQ(flags, kPropertyFlagsManual);
  ASSERT_EQ(procAmp_->Get(0, value, flags), hr::Ok);  // no automatic mode at all
  EXPECT_EQ(flags, kPropertyFlagsManual);

  // Exposure and iris read their own side of the one exposure menu.
  struct Side {
    std::int64_t menu;
    std::int32_t exposure, iris;
  };
  for (const Side& side :
       {Side{V4L2_EXPOSURE_AUTO, kPropertyFlagsAuto, kPropertyFlagsAuto},
        Side{V4L2_EXPOSURE_MANUAL, kPropertyFlagsManual, kPropertyFlagsManual},
        Side{V4L2_EXPOSURE_SHUTTER_PRIORITY, kPropertyFlagsManual, kPropertyFlagsAuto},
        Side{V4L2_EXPOSURE_APERTURE_PRIORITY, kPropertyFlagsAuto, kPropertyFlagsManual}}) {
    SCOPED_TRACE(side.menu);
    camera_->Find(V4L2_CID_EXPOSURE_AUTO)->value = side.menu;
    ASSERT_EQ(cameraControl_->Get(4, value, flags), hr::Ok);
    EXPECT_EQ(flags, side.exposure);
    EXPECT_EQ(value, 250);
    ASSERT_EQ(cameraControl_->Get(5, value, flags), hr::Ok);
    EXPECT_EQ(flags, side.iris);
    EXPECT_EQ(value, 4);
  }
}

TEST_F(V4l2PropertyTest, EachFamilyAnswersOnlyItsOwnInterface) {
  EXPECT_NE(Query<IAMVideoProcAmp>(procAmp_), nullptr);
  EXPECT_EQ(Query<IAMCameraControl>(procAmp_), nullptr);
  EXPECT_NE(Query<IAMCameraControl>(cameraControl_), nullptr);
  EXPECT_EQ(Query<IKsPropertySet>(cameraControl_), nullptr);
}

}  // namespace
}  // namespace varnholt::test
