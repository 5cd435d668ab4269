// The plain row properties of a uvcvideo camera (no automatic mode in the
// camera's default set): the camera's ranges and defaults through the
// component, and every value set arriving at the camera as it was sent;
// power-line frequency through its menu, and the two properties UVC cameras
// have no control for.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <iostream>
#include <stdexcept>
#include <string>

#include "camera/PropertyKeys.h"
#include "tests/vm/UvcRig.h"
#include "tests/vm/VmChecks.h"

namespace varnholt::test {
namespace {

struct UvcProperty {
  const char* key;
  std::uint32_t cid;
  const char* logName;  // the camera's name for the control
  TFRange range;
};

// The camera's defaults (uvc-camera --list-controls). Pan and tilt travel
// together in one UVC control of two fields.
const UvcProperty kPlain[] = {
    {"Contrast", V4L2_CID_CONTRAST, "contrast", {0, 100, 1, 50, false, true}},
    {"Hue", V4L2_CID_HUE, "hue", {-40, 40, 1, 0, false, true}},
    {"Saturation", V4L2_CID_SATURATION, "saturation", {0, 100, 1, 64, false, true}},
    {"Sharpness", V4L2_CID_SHARPNESS, "sharpness", {0, 7, 1, 3, false, true}},
    {"Gamma", V4L2_CID_GAMMA, "gamma", {72, 500, 1, 100, false, true}},
    {"BacklightCompensation",
     V4L2_CID_BACKLIGHT_COMPENSATION,
     "backlight_compensation",
     {0, 2, 1, 1, false, true}},
    {"Gain", V4L2_CID_GAIN, "gain", {0, 100, 1, 0, false, true}},
    // Iris shares the exposure menu, and the camera offers only "Manual" and
    // "Aperture Priority": the iris has no automatic mode.
    {"Iris", V4L2_CID_IRIS_ABSOLUTE, "iris_absolute", {100, 800, 10, 200, false, true}},
    {"Zoom", V4L2_CID_ZOOM_ABSOLUTE, "zoom_absolute", {100, 500, 1, 100, false, true}},
    {"Pan", V4L2_CID_PAN_ABSOLUTE, "pantilt_absolute", {-36000, 36000, 3600, 0, false, true}},
    {"Tilt", V4L2_CID_TILT_ABSOLUTE, "pantilt_absolute", {-36000, 36000, 3600, 0, false, true}},
};

using UvcProperties = UvcTest;

TEST_F(UvcProperties, PlainOnesHaveTheCamerasRangesAndDefaults) {
  for (const auto& p : kPlain) {
    SCOPED_TRACE(p.key);
    const TFPropertyKey& key = Key(p.key);
    ExpectRange(*camera, key, p.range);
    EXPECT_EQ((camera.get()->*key.Value)(), p.range.Default);
    EXPECT_FALSE((camera.get()->*key.IsAuto)());
  }
}

TEST_F(UvcProperties, PlainValuesSetReachTheCameraAndReadBack) {
  for (const auto& p : kPlain) {
    SCOPED_TRACE(p.key);
    const TFPropertyKey& key = Key(p.key);
    const std::int32_t inside = p.range.Min + 2 * p.range.Delta;
    for (const std::int32_t value : {p.range.Min, p.range.Max, inside}) {
      SCOPED_TRACE(value);
      const std::size_t before = CameraLogSets(p.logName).size();
      (camera.get()->*key.SetValue)(value);
      EXPECT_EQ((camera.get()->*key.Value)(), value);
      EXPECT_EQ(RawControl(node, p.cid), value);
      // Pan and tilt: the other field goes along unchanged.
      std::string sent = std::to_string(value);
      if (p.cid == V4L2_CID_PAN_ABSOLUTE)
        sent += "," + std::to_string(RawControl(node, V4L2_CID_TILT_ABSOLUTE).value_or(-1));
      if (p.cid == V4L2_CID_TILT_ABSOLUTE)
        sent = std::to_string(RawControl(node, V4L2_CID_PAN_ABSOLUTE).value_or(-1)) + "," + sent;
      EXPECT_TRUE(CameraReceived(p.logName, before, sent));
    }
  }
}

TEST_F(UvcProperties, AnIrisValueLeavesTheExposureAutomatic) {
  // In aperture priority the camera keeps exposing by itself while the iris
  // is set by hand: the iris value goes alone.
  ASSERT_TRUE(camera->ExposureAuto());
  const std::size_t modes = CameraLogSets("auto_exposure_mode").size();
  const std::size_t irises = CameraLogSets("iris_absolute").size();
  camera->SetIris(500);
  EXPECT_TRUE(CameraReceived("iris_absolute", irises, "500"));
  EXPECT_TRUE(camera->ExposureAuto());
  EXPECT_EQ(RawControl(node, V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY);
  EXPECT_EQ(CameraLogSets("auto_exposure_mode").size(), modes);
}

TEST_F(UvcProperties, PowerLineFrequencyGoesThroughItsMenu) {
  ASSERT_TRUE(camera->PowerLineFrequencySupported());
  EXPECT_EQ(camera->PowerLineFrequency(), pf50Hz);  // the camera's default
  EXPECT_FALSE(camera->PowerLineFrequencyAuto());
  for (const auto& [setting, uvc] :
       {std::pair{pf60Hz, "2"}, std::pair{pfDisabled, "0"}, std::pair{pf50Hz, "1"}}) {
    SCOPED_TRACE(uvc);
    const std::size_t before = CameraLogSets("power_line_frequency").size();
    camera->SetPowerLineFrequency(setting);
    EXPECT_EQ(camera->PowerLineFrequency(), setting);
    EXPECT_TRUE(CameraReceived("power_line_frequency", before, uvc));
  }
}

TEST_F(UvcProperties, AReloadReadsEachControlClassOnceAndAnotherProgramsChangeShowsAtOnce) {
  ReloadRows(*camera);  // binds the camera
  ExpireValueSnapshots();
  const long before = nodes->Ioctls();
  ReloadRows(*camera);
  const long reload = nodes->Ioctls() - before;
  EXPECT_GE(reload, 1);
  EXPECT_LE(reload, 4);
  std::cout << "[ FIGURES  ] uvcvideo: steady reload of the 17 rows: " << reload << " ioctls\n";
  RecordProperty("uvc_reload_ioctls", static_cast<int>(reload));

  // Within the snapshot's life, uvcvideo's control event brings the change.
  ASSERT_TRUE(RawSetControl(node, V4L2_CID_CONTRAST, 70));
  ASSERT_TRUE(RawSetControl(node, V4L2_CID_GAMMA, 300));
  for (const auto& p : kPlain) {
    SCOPED_TRACE(p.key);
    EXPECT_EQ((camera.get()->*Key(p.key).Value)(), RawControl(node, p.cid));
  }
  EXPECT_EQ(camera->Contrast(), 70);
}

TEST_F(UvcProperties, RollAndColorEnableAreUnsupported) {
  // The camera's terminal advertises Roll, but uvcvideo maps no V4L2
  // control to it; colour enable is no UVC control at all.
  ExpectUnsupported(*camera, Key("Roll"));
  ExpectUnsupported(*camera, Key("ColorEnable"));
}

}  // namespace
}  // namespace varnholt::test
