// The automatic pairs of a uvcvideo camera through `…Auto`: white balance
// and focus with their boolean switches, exposure with the shared exposure
// menu. uvcvideo refuses a manual value while its automatic mode is on
// unless the mode goes off in the same request.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <stdexcept>
#include <string>

#include "camera/PropertyKeys.h"
#include "tests/vm/UvcRig.h"

namespace varnholt::test {
namespace {

const TFPropertyKey& Key(const std::string& name) {
  for (const TFPropertyKey& key : kPropertyKeys)
    if (name == key.Name)
      return key;
  throw std::logic_error("no property key " + name);
}

struct UvcAutoPair {
  const char* key;
  const char* logName;      // the camera's name for the value
  const char* autoLogName;  // and for its automatic mode
  const char* autoOn;       // the UVC values the mode arrives as
  const char* autoOff;
  TFRange range;
  std::int32_t manualValue;  // a value other than the default, on a step
};

// The camera's defaults; UVC's exposure mode is a bit: 1 manual, 8 aperture
// priority (the camera's default, which uvcvideo shows as menu item 3).
const UvcAutoPair kPairs[] = {
    {"WhiteBalance",
     "white_balance_temperature",
     "white_balance_temperature_auto",
     "1",
     "0",
     {2800, 6500, 10, 4600, true, true},
     5200},
    {"Focus", "focus_absolute", "focus_auto", "1", "0", {0, 250, 5, 0, true, true}, 125},
    {"Exposure",
     "exposure_time_absolute",
     "auto_exposure_mode",
     "8",
     "1",
     {3, 2047, 1, 250, true, true},
     1000},
};

using UvcAutomatic = UvcTest;

TEST_F(UvcAutomatic, PairsHaveTheCamerasRangesAndStartAutomatic) {
  for (const auto& p : kPairs) {
    SCOPED_TRACE(p.key);
    const TFPropertyKey& key = Key(p.key);
    ASSERT_TRUE((camera.get()->*key.Supported)());
    const TFRange range = (camera.get()->*key.Range)();
    EXPECT_EQ(range.Min, p.range.Min);
    EXPECT_EQ(range.Max, p.range.Max);
    EXPECT_EQ(range.Delta, p.range.Delta);
    EXPECT_EQ(range.Default, p.range.Default);
    EXPECT_TRUE(range.Auto);
    EXPECT_TRUE(range.Manual);
    EXPECT_TRUE((camera.get()->*key.IsAuto)());
  }
}

TEST_F(UvcAutomatic, AValueSetWhileAutomaticKeepsTheModeAndNeverReachesTheCamera) {
  // The component writes a value with the property's current flags; with
  // Auto among them the value is the mode's, so nothing is written.
  for (const auto& p : kPairs) {
    SCOPED_TRACE(p.key);
    const TFPropertyKey& key = Key(p.key);
    const std::size_t before = CameraLogSets(p.logName).size();
    const std::size_t modes = CameraLogSets(p.autoLogName).size();
    const RaisedError error = ErrorOf([&] { (camera.get()->*key.SetValue)(p.manualValue); });
    EXPECT_FALSE(error.ole || error.camera) << error.message;
    EXPECT_TRUE((camera.get()->*key.IsAuto)());
    EXPECT_EQ(CameraLogSets(p.logName).size(), before) << "the value reached the camera";
    EXPECT_EQ(CameraLogSets(p.autoLogName).size(), modes) << "the mode was written";
  }
}

TEST_F(UvcAutomatic, SwitchingToManualAndBackReachesTheCameraAndManualValuesFollow) {
  for (const auto& p : kPairs) {
    SCOPED_TRACE(p.key);
    const TFPropertyKey& key = Key(p.key);

    std::size_t modes = CameraLogSets(p.autoLogName).size();
    (camera.get()->*key.SetAuto)(false);
    EXPECT_FALSE((camera.get()->*key.IsAuto)());
    EXPECT_EQ(NextLoggedSet(p.autoLogName, modes), p.autoOff);

    const std::size_t values = CameraLogSets(p.logName).size();
    (camera.get()->*key.SetValue)(p.manualValue);
    EXPECT_EQ((camera.get()->*key.Value)(), p.manualValue);
    EXPECT_EQ(NextLoggedSet(p.logName, values), std::to_string(p.manualValue));

    modes = CameraLogSets(p.autoLogName).size();
    (camera.get()->*key.SetAuto)(true);
    EXPECT_TRUE((camera.get()->*key.IsAuto)());
    EXPECT_EQ(NextLoggedSet(p.autoLogName, modes), p.autoOn);
  }
}

}  // namespace
}  // namespace varnholt::test
