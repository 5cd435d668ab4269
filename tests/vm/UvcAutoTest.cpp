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
#include "tests/vm/VmChecks.h"

namespace varnholt::test {
namespace {

struct UvcAutoPair {
  const char* key;
  std::uint32_t cid, autoCid;
  std::int32_t autoOnV4l2;  // the driver's value for the mode on
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
     V4L2_CID_WHITE_BALANCE_TEMPERATURE,
     V4L2_CID_AUTO_WHITE_BALANCE,
     1,
     "white_balance_temperature",
     "white_balance_temperature_auto",
     "1",
     "0",
     {2800, 6500, 10, 4600, true, true},
     5200},
    {"Focus",
     V4L2_CID_FOCUS_ABSOLUTE,
     V4L2_CID_FOCUS_AUTO,
     1,
     "focus_absolute",
     "focus_auto",
     "1",
     "0",
     {0, 250, 5, 0, true, true},
     125},
    {"Exposure",
     V4L2_CID_EXPOSURE_ABSOLUTE,
     V4L2_CID_EXPOSURE_AUTO,
     V4L2_EXPOSURE_APERTURE_PRIORITY,
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
    ExpectRange(*camera, key, p.range);
    EXPECT_TRUE((camera.get()->*key.IsAuto)());
    // The value the mode holds reads as the camera's, though the driver
    // marks it inactive.
    EXPECT_EQ((camera.get()->*key.Value)(), p.range.Default);
    EXPECT_TRUE(RawControlFlags(node, p.cid).value_or(0) & V4L2_CTRL_FLAG_INACTIVE);
  }
}

TEST_F(UvcAutomatic, AValueRefusedBecauseAnotherProgramTurnedAutoOnIsAClearError) {
  for (const auto& p : kPairs) {
    SCOPED_TRACE(p.key);
    const TFPropertyKey& key = Key(p.key);
    (camera.get()->*key.SetAuto)(false);
    ASSERT_FALSE((camera.get()->*key.IsAuto)());
    // One manual write, to learn its ioctls: the last is the write itself.
    const std::size_t values = CameraLogSets(p.logName).size();
    long before = nodes->Ioctls();
    (camera.get()->*key.SetValue)(p.manualValue);
    const long perWrite = nodes->Ioctls() - before;
    ASSERT_GT(perWrite, 0);
    ASSERT_TRUE(CameraReceived(p.logName, values, std::to_string(p.manualValue)));
    const std::size_t accepted = CameraLogSets(p.logName).size();

    // Between the component's read of the mode and its write, another
    // program turns the mode on; uvcvideo refuses the value. The row is
    // read first, as before the measured write, so the write's ioctls are
    // the same.
    (camera.get()->*key.IsAuto)();
    bool switched = false;
    nodes->BeforeIoctl(nodes->Ioctls() + perWrite - 1,
                       [&] { switched = RawSetControl(node, p.autoCid, p.autoOnV4l2); });
    const RaisedError error =
        ErrorOf([&] { (camera.get()->*key.SetValue)(p.manualValue + p.range.Delta); });
    ASSERT_TRUE(switched);
    EXPECT_TRUE(error.ole) << error.message;
    EXPECT_NE(error.message.find("under automatic control"), std::string::npos) << error.message;
    EXPECT_TRUE((camera.get()->*key.IsAuto)());
    EXPECT_EQ(RawControl(node, p.cid), p.manualValue);
    EXPECT_EQ(CameraLogSets(p.logName).size(), accepted) << "the refused value reached the camera";
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
    EXPECT_TRUE(CameraReceived(p.autoLogName, modes, p.autoOff));

    const std::size_t values = CameraLogSets(p.logName).size();
    (camera.get()->*key.SetValue)(p.manualValue);
    EXPECT_EQ((camera.get()->*key.Value)(), p.manualValue);
    EXPECT_TRUE(CameraReceived(p.logName, values, std::to_string(p.manualValue)));

    modes = CameraLogSets(p.autoLogName).size();
    (camera.get()->*key.SetAuto)(true);
    EXPECT_TRUE((camera.get()->*key.IsAuto)());
    EXPECT_TRUE(CameraReceived(p.autoLogName, modes, p.autoOn));
  }
}

TEST_F(UvcAutomatic, AValueBetweenStepsArrivesRoundedAndReadsBackAsTheCameraHasIt) {
  // uvcvideo rounds to the control's step before sending: 5204 K with a
  // 10 K step reaches the camera as 5200, and the component reads that.
  camera->SetWhiteBalanceAuto(false);
  const std::size_t values = CameraLogSets("white_balance_temperature").size();
  camera->SetWhiteBalance(5204);
  EXPECT_TRUE(CameraReceived("white_balance_temperature", values, "5200"));
  EXPECT_EQ(camera->WhiteBalance(), 5200);
}

}  // namespace
}  // namespace varnholt::test
