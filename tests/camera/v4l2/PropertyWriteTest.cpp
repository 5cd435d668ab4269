// Writing properties: the mode a value keeps, switching the automatic mode in
// one request, and what the user reads when the driver refuses.

#include <linux/videodev2.h>

#include <cerrno>

#include "camera/platform/v4l2/V4l2Errors.h"
#include "tests/camera/v4l2/PropertyTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
using v4l2::hr_v4l2::DeviceIoError;
using v4l2::hr_v4l2::UnderAutomaticControl;
using Write = FakeUvcCamera::Write;

TEST_F(V4l2PropertyTest, AManualValueIsWrittenAloneAndKeepsManualMode) {
  ASSERT_EQ(procAmp_->Set(9, 80, kPropertyFlagsManual), hr::Ok);  // autogain already off
  ASSERT_EQ(camera_->writes.size(), 1u);
  EXPECT_EQ(camera_->writes[0], (Write{{V4L2_CID_GAIN, 80}}));
  std::int32_t value, flags;
  ASSERT_EQ(procAmp_->Get(9, value, flags), hr::Ok);
  EXPECT_EQ(value, 80);
  EXPECT_EQ(flags, kPropertyFlagsManual);
}

TEST_F(V4l2PropertyTest, AutomaticModeKeptWritesNothingAndTheValueStaysTheModes) {
  ASSERT_EQ(procAmp_->Set(7, 3000, kPropertyFlagsAuto), hr::Ok);  // white balance auto
  EXPECT_TRUE(camera_->writes.empty());
  EXPECT_EQ(camera_->Find(V4L2_CID_WHITE_BALANCE_TEMPERATURE)->value, 4600);
}

TEST_F(V4l2PropertyTest, SwitchingToManualWritesCompanionAndValueInOneRequest) {
  // The model refuses the value while the mode is on unless the same request
  // switches it off, as the UVC driver does.
  ASSERT_EQ(procAmp_->Set(7, 3200, kPropertyFlagsManual), hr::Ok);
  ASSERT_EQ(camera_->writes.size(), 1u);
  EXPECT_EQ(camera_->writes[0],
            (Write{{V4L2_CID_AUTO_WHITE_BALANCE, 0}, {V4L2_CID_WHITE_BALANCE_TEMPERATURE, 3200}}));
  std::int32_t value, flags;
  ASSERT_EQ(procAmp_->Get(7, value, flags), hr::Ok);
  EXPECT_EQ(value, 3200);
  EXPECT_EQ(flags, kPropertyFlagsManual);

  // From aperture priority exposure's menu goes to manual; iris was and
  // stays manual.
  camera_->writes.clear();
  ASSERT_EQ(cameraControl_->Set(4, 500, kPropertyFlagsManual), hr::Ok);
  EXPECT_EQ(camera_->writes[0], (Write{{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL},
                                       {V4L2_CID_EXPOSURE_ABSOLUTE, 500}}));
  ASSERT_EQ(cameraControl_->Get(5, value, flags), hr::Ok);
  EXPECT_EQ(flags, kPropertyFlagsManual);
}

TEST_F(V4l2PropertyTest, SwitchingToAutomaticWritesOnlyTheCompanion) {
  ASSERT_EQ(procAmp_->Set(9, 99, kPropertyFlagsAuto), hr::Ok);
  ASSERT_EQ(camera_->writes.size(), 1u);
  EXPECT_EQ(camera_->writes[0], (Write{{V4L2_CID_AUTOGAIN, 1}}));
  std::int32_t value, flags;
  ASSERT_EQ(procAmp_->Get(9, value, flags), hr::Ok);
  EXPECT_EQ(flags, kPropertyFlagsAuto);
  EXPECT_EQ(value, 16);

  camera_->Find(V4L2_CID_EXPOSURE_AUTO)->value = V4L2_EXPOSURE_MANUAL;
  camera_->writes.clear();
  ASSERT_EQ(cameraControl_->Set(4, 2, kPropertyFlagsAuto), hr::Ok);
  EXPECT_EQ(camera_->writes[0], (Write{{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY}}));
}

TEST_F(V4l2PropertyTest, ExposureAndIrisSwitchTheSharedMenuEachKeepingTheOthersMode) {
  auto controls = FakeUvcCamera::FullWebcam();
  for (auto& c : controls)
    if (c.id == V4L2_CID_EXPOSURE_AUTO)
      c.menu = {{0, "Auto Mode"},
                {1, "Manual Mode"},
                {2, "Shutter Priority Mode"},
                {3, "Aperture Priority Mode"}};
  Load(std::move(controls));
  struct Step {
    std::int64_t from;
    std::int32_t property;  // 4 exposure, 5 iris
    bool automatic;
    std::int64_t to;
  };
  for (const Step& step : {
           Step{V4L2_EXPOSURE_MANUAL, 5, true, V4L2_EXPOSURE_SHUTTER_PRIORITY},
           Step{V4L2_EXPOSURE_SHUTTER_PRIORITY, 4, true, V4L2_EXPOSURE_AUTO},
           Step{V4L2_EXPOSURE_AUTO, 5, false, V4L2_EXPOSURE_APERTURE_PRIORITY},
           Step{V4L2_EXPOSURE_APERTURE_PRIORITY, 5, true, V4L2_EXPOSURE_AUTO},
           Step{V4L2_EXPOSURE_SHUTTER_PRIORITY, 5, false, V4L2_EXPOSURE_MANUAL},
           Step{V4L2_EXPOSURE_APERTURE_PRIORITY, 4, false, V4L2_EXPOSURE_MANUAL},
           // The driver takes an exposure time only in "Manual": iris follows.
           Step{V4L2_EXPOSURE_AUTO, 4, false, V4L2_EXPOSURE_MANUAL},
           Step{V4L2_EXPOSURE_SHUTTER_PRIORITY, 4, false, V4L2_EXPOSURE_MANUAL},
       }) {
    SCOPED_TRACE(testing::Message() << "from " << step.from << ", property " << step.property);
    camera_->Find(V4L2_CID_EXPOSURE_AUTO)->value = step.from;
    camera_->writes.clear();
    // A manual value goes in the same request as the switch.
    const std::int32_t value = step.property == 4 ? 300 : 6;
    EXPECT_EQ(cameraControl_->Set(step.property, value,
                                  step.automatic ? kPropertyFlagsAuto : kPropertyFlagsManual),
              hr::Ok);
    ASSERT_EQ(camera_->writes.size(), 1u);
    EXPECT_EQ(camera_->writes[0][0],
              (std::pair<std::uint32_t, std::int64_t>{V4L2_CID_EXPOSURE_AUTO, step.to}));
    EXPECT_EQ(camera_->Find(V4L2_CID_EXPOSURE_AUTO)->value, step.to);
    if (!step.automatic) {
      EXPECT_EQ(
          camera_->Find(step.property == 4 ? V4L2_CID_EXPOSURE_ABSOLUTE : V4L2_CID_IRIS_ABSOLUTE)
              ->value,
          value);
    }
  }

  // In aperture priority an iris value is written alone.
  camera_->Find(V4L2_CID_EXPOSURE_AUTO)->value = V4L2_EXPOSURE_APERTURE_PRIORITY;
  camera_->writes.clear();
  ASSERT_EQ(cameraControl_->Set(5, 7, kPropertyFlagsManual), hr::Ok);
  EXPECT_EQ(camera_->writes, (std::vector<Write>{{{V4L2_CID_IRIS_ABSOLUTE, 7}}}));

  // A camera with only manual and aperture priority has no automatic iris.
  Load(FakeUvcCamera::FullWebcam());
  std::int32_t min, max, step, def, caps;
  ASSERT_EQ(cameraControl_->GetRange(5, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ(caps, kPropertyFlagsManual);
  camera_->writes.clear();
  EXPECT_EQ(cameraControl_->Set(5, 0, kPropertyFlagsAuto), hr::InvalidArg);
  EXPECT_TRUE(camera_->writes.empty());
}

TEST_F(V4l2PropertyTest, ExposureUsesFullAutomaticWhenThatIsAllTheCameraOffers) {
  auto controls = FakeUvcCamera::FullWebcam();
  for (auto& c : controls)
    if (c.id == V4L2_CID_EXPOSURE_AUTO) {
      c.menu = {{0, "Auto Mode"}, {1, "Manual Mode"}};
      c.value = V4L2_EXPOSURE_MANUAL;
    }
  Load(std::move(controls));
  ASSERT_EQ(cameraControl_->Set(4, 0, kPropertyFlagsAuto), hr::Ok);
  EXPECT_EQ(camera_->Find(V4L2_CID_EXPOSURE_AUTO)->value, V4L2_EXPOSURE_AUTO);
}

TEST_F(V4l2PropertyTest, BadFlagsAndValuesAreRefusedBeforeTheDevice) {
  EXPECT_EQ(procAmp_->Set(0, 0, kPropertyFlagsAuto), hr::InvalidArg);  // no automatic mode
  EXPECT_EQ(procAmp_->Set(0, 0, 0), hr::InvalidArg);
  EXPECT_EQ(procAmp_->Set(0, 65, kPropertyFlagsManual), hr::InvalidArg);  // above 64
  EXPECT_EQ(procAmp_->Set(0, -65, kPropertyFlagsManual), hr::InvalidArg);
  EXPECT_TRUE(camera_->writes.empty());
  EXPECT_EQ(procAmp_->Set(0, 64, kPropertyFlagsManual), hr::Ok);
}

TEST_F(V4l2PropertyTest, AValueLockedByAnotherProgramsAutoSwitchSaysSo) {
  // Between our read of the mode and our write, another program turns
  // autogain on; the driver refuses with EACCES, some with EBUSY.
  for (int lockedErrno : {EACCES, EBUSY}) {
    SCOPED_TRACE(lockedErrno);
    camera_->Find(V4L2_CID_AUTOGAIN)->value = 0;
    camera_->lockedErrno = lockedErrno;
    camera_->beforeWrite = [this] { camera_->Find(V4L2_CID_AUTOGAIN)->value = 1; };
    const HResult code = procAmp_->Set(9, 50, kPropertyFlagsManual);
    EXPECT_EQ(code, UnderAutomaticControl);
    EXPECT_NE(v4l2::V4l2ErrorText(code).find("automatic control"), std::string::npos);
  }
  EXPECT_EQ(camera_->Find(V4L2_CID_GAIN)->value, 16);
}

TEST_F(V4l2PropertyTest, OtherRefusalsKeepTheirOwnCodes) {
  // A read-only control refused with EACCES is not an automatic-mode lock.
  auto controls = FakeUvcCamera::FullWebcam();
  for (auto& c : controls)
    if (c.id == V4L2_CID_GAIN)
      c.flags |= V4L2_CTRL_FLAG_READ_ONLY;
  Load(std::move(controls));
  EXPECT_EQ(procAmp_->Set(9, 50, kPropertyFlagsManual), hr::AccessDenied);

  std::int32_t value, flags;
  camera_->failNext = EIO;  // a write is not sent again
  EXPECT_EQ(procAmp_->Set(0, 1, kPropertyFlagsManual), DeviceIoError);
  camera_->failNext = EBUSY;
  EXPECT_EQ(procAmp_->Set(0, 1, kPropertyFlagsManual), hr::Busy);
  // A node that answered ENODEV is gone for good, cached ranges and all.
  camera_->failNext = ENODEV;
  EXPECT_EQ(procAmp_->Get(0, value, flags), hr::DeviceNotConnected);
  std::int32_t n;
  EXPECT_EQ(procAmp_->GetRange(0, n, n, n, n, n), hr::DeviceNotConnected);
}

TEST(V4l2ErrorsTest, ErrnoValuesMapOntoThePlatformsCodes) {
  using v4l2::ResultFromErrno;
  EXPECT_EQ(ResultFromErrno(0), hr::Ok);
  EXPECT_EQ(ResultFromErrno(-ENOTTY), hr::NotImpl);
  EXPECT_EQ(ResultFromErrno(-EINVAL), hr::InvalidArg);
  EXPECT_EQ(ResultFromErrno(-ERANGE), hr::InvalidArg);
  EXPECT_EQ(ResultFromErrno(-ENODEV), hr::DeviceNotConnected);
  EXPECT_EQ(ResultFromErrno(-ENXIO), hr::DeviceNotConnected);
  EXPECT_EQ(ResultFromErrno(-EBUSY), hr::Busy);
  EXPECT_EQ(ResultFromErrno(-EACCES), hr::AccessDenied);
  EXPECT_EQ(ResultFromErrno(-ENOMEM), hr::OutOfMemory);
  EXPECT_EQ(ResultFromErrno(-EIO), DeviceIoError);
  // A USB camera's request failing on the wire says so, not "unspecified".
  for (int usb : {EPROTO, ETIMEDOUT, ESHUTDOWN, EILSEQ, EPIPE, EREMOTEIO})
    EXPECT_EQ(ResultFromErrno(-usb), DeviceIoError) << usb;
  // Any other errno keeps its name for the message.
  EXPECT_EQ(ResultFromErrno(-ENOSPC), v4l2::hr_v4l2::DriverError(ENOSPC));

  EXPECT_EQ(v4l2::ResultFromValueWrite(-EACCES, false), hr::AccessDenied);
  EXPECT_EQ(v4l2::ResultFromValueWrite(-EINVAL, true), hr::InvalidArg);
  EXPECT_TRUE(Failed(UnderAutomaticControl));
  EXPECT_FALSE(v4l2::V4l2ErrorText(DeviceIoError).empty());
  EXPECT_TRUE(v4l2::V4l2ErrorText(hr::AccessDenied).empty());  // the system's text serves
}

}  // namespace
}  // namespace varnholt::test
