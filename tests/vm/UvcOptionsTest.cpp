// uvcvideo cameras with other options than the shared one: a camera that
// offers all four auto-exposure modes, where exposure and iris each have an
// automatic mode of their own inside the one menu, and a small camera with
// brightness alone.
//
// Each suite needs its camera started with its options, so
// tests/vm/uvc-suite.sh gives each a camera of its own.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <string>
#include <vector>

#include "camera/PropertyKeys.h"
#include "tests/vm/UvcRig.h"
#include "tests/vm/VmChecks.h"

namespace varnholt::test {
namespace {

// Started with --ae-modes 0x0f: manual (UVC 1), auto (2), shutter priority
// (4) and aperture priority (8, the camera's default).
using UvcAllExposureModes = UvcOwnCameraTest;

struct ModeStep {
  const char* what;
  bool exposure;  // the switch turned: exposure's, else iris's
  bool on;
  bool exposureAuto;  // then: both switches as read back
  bool irisAuto;
  std::int32_t menu;    // the V4L2 menu item uvcvideo holds
  const char* uvcMode;  // the mode that reached the camera
};

TEST_F(UvcAllExposureModes, ExposureAndIrisSwitchTheirAutomaticModesIndependently) {
  ASSERT_TRUE(camera->ExposureSupported());
  ASSERT_TRUE(camera->IrisSupported());
  ExpectRange(*camera, Key("Iris"), {100, 800, 10, 200, true, true});
  ExpectRange(*camera, Key("Exposure"), {3, 2047, 1, 250, true, true});
  // From aperture priority, whatever mode a test before left.
  ASSERT_TRUE(RawSetControl(node, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY));
  // Aperture priority: the camera times the exposure, the iris is fixed.
  EXPECT_TRUE(camera->ExposureAuto());
  EXPECT_FALSE(camera->IrisAuto());

  // Every way out of every mode; turning one switch keeps the other's
  // state, but for exposure off while the iris is automatic: uvcvideo takes
  // an exposure time only in Manual (checked below), and switching off
  // writes the value, so that ends in Manual with the iris.
  const ModeStep steps[] = {
      {"iris on from aperture priority", false, true, true, true, V4L2_EXPOSURE_AUTO, "2"},
      {"iris off from auto", false, false, true, false, V4L2_EXPOSURE_APERTURE_PRIORITY, "8"},
      {"exposure off from aperture priority", true, false, false, false, V4L2_EXPOSURE_MANUAL, "1"},
      {"iris on from manual", false, true, false, true, V4L2_EXPOSURE_SHUTTER_PRIORITY, "4"},
      {"exposure on from shutter priority", true, true, true, true, V4L2_EXPOSURE_AUTO, "2"},
      {"exposure off from auto", true, false, false, false, V4L2_EXPOSURE_MANUAL, "1"},
      {"iris on from manual again", false, true, false, true, V4L2_EXPOSURE_SHUTTER_PRIORITY, "4"},
      {"iris off from shutter priority", false, false, false, false, V4L2_EXPOSURE_MANUAL, "1"},
      {"exposure on from manual", true, true, true, false, V4L2_EXPOSURE_APERTURE_PRIORITY, "8"},
  };
  for (const ModeStep& step : steps) {
    SCOPED_TRACE(step.what);
    const std::size_t before = CameraLogSets("auto_exposure_mode").size();
    if (step.exposure)
      camera->SetExposureAuto(step.on);
    else
      camera->SetIrisAuto(step.on);
    EXPECT_EQ(camera->ExposureAuto(), step.exposureAuto);
    EXPECT_EQ(camera->IrisAuto(), step.irisAuto);
    EXPECT_EQ(RawControl(node, V4L2_CID_EXPOSURE_AUTO), step.menu);
    EXPECT_TRUE(CameraReceived("auto_exposure_mode", before, step.uvcMode));
    const std::vector<std::string> sent = CameraLogSets("auto_exposure_mode");
    EXPECT_EQ(sent.empty() ? "" : sent.back(), step.uvcMode) << "the last mode sent";
  }

  // Another program choosing a mode shows at the next read.
  ASSERT_TRUE(RawSetControl(node, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_SHUTTER_PRIORITY));
  EXPECT_FALSE(camera->ExposureAuto());
  EXPECT_TRUE(camera->IrisAuto());
  // The driver fact behaviour above rests on: in shutter priority uvcvideo
  // refuses an exposure time.
  EXPECT_FALSE(RawSetControl(node, V4L2_CID_EXPOSURE_ABSOLUTE, 300));
}

TEST_F(UvcAllExposureModes, ValuesSetInFullyAutomaticModeKeepItAndNeverReachTheCamera) {
  // Auto, the mode only this camera offers, holds both values.
  const std::size_t before = CameraLogSets("auto_exposure_mode").size();
  ASSERT_TRUE(RawSetControl(node, V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO));
  ASSERT_TRUE(CameraReceived("auto_exposure_mode", before, "2"));
  ASSERT_TRUE(camera->ExposureAuto());
  ASSERT_TRUE(camera->IrisAuto());
  const std::size_t modes = CameraLogSets("auto_exposure_mode").size();
  const std::size_t irises = CameraLogSets("iris_absolute").size();
  const std::size_t exposures = CameraLogSets("exposure_time_absolute").size();

  camera->SetIris(400);
  camera->SetExposure(1000);
  EXPECT_TRUE(camera->ExposureAuto());
  EXPECT_TRUE(camera->IrisAuto());
  EXPECT_EQ(RawControl(node, V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_AUTO);
  // The camera takes requests in order: once a later value has arrived, an
  // earlier one would be in the log.
  const std::size_t brightness = CameraLogSets("brightness").size();
  camera->SetBrightness(7);
  ASSERT_TRUE(CameraReceived("brightness", brightness, "7"));
  EXPECT_EQ(CameraLogSets("auto_exposure_mode").size(), modes) << "a mode was written";
  EXPECT_EQ(CameraLogSets("iris_absolute").size(), irises) << "the iris reached the camera";
  EXPECT_EQ(CameraLogSets("exposure_time_absolute").size(), exposures)
      << "the exposure reached the camera";
}

// Started with --ct-controls 0x2 --pu-controls 0x1: the auto-exposure mode
// and brightness, nothing else.
using UvcSmallCamera = UvcOwnCameraTest;

TEST_F(UvcSmallCamera, BrightnessIsSupportedAndReachesTheCamera) {
  ASSERT_TRUE(camera->BrightnessSupported());
  ExpectRange(*camera, Key("Brightness"), {-64, 64, 1, 0, false, true});
  const std::size_t before = CameraLogSets("brightness").size();
  camera->SetBrightness(-12);
  EXPECT_TRUE(CameraReceived("brightness", before, "-12"));
  EXPECT_EQ(camera->Brightness(), -12);
}

TEST_F(UvcSmallCamera, TheOtherSixteenPropertiesAnswerUnsupportedForEveryCall) {
  int lacking = 0;
  for (const TFPropertyKey& key : kPropertyKeys) {
    if (std::string(key.Name) == "Brightness")
      continue;
    ++lacking;
    ExpectUnsupported(*camera, key);
  }
  EXPECT_EQ(lacking, 16);
  EXPECT_FALSE(camera->PowerLineFrequencySupported());
  // The window's reload skips them without a failure.
  EXPECT_EQ(ErrorOf([&] { ReloadRows(*camera); }).message, "<no exception>");
}

}  // namespace
}  // namespace varnholt::test
