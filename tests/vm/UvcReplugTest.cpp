// The camera unplugged and plugged in again under its name while the window
// has it selected, and a camera plugged in while the window runs: the
// device watch brings both into the window without a click or a tick, and
// the camera that came back takes the slider's values (its own log shows
// them). Then cameras whose driver fails requests: one without any control
// and one whose contrast cannot be queried, both listed and selectable.
//
// Each suite needs a camera of its own (tests/vm/uvc-suite.sh).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "controls/ListBox.h"
#include "controls/TrackBar.h"
#include "tests/vm/UvcRig.h"
#include "tests/vm/WindowRig.h"

namespace varnholt::test {
namespace {

class UvcReplugged : public V4l2Window {
 protected:
  void PrepareDriver() override {
    const char* suite = std::getenv("UVC_CAM_SUITE");
    const char* pid = std::getenv("UVC_CAM_PID");
    ASSERT_TRUE(suite && std::string(suite) == "UvcReplugged" && pid)
        << "UvcReplugged needs a camera of its own: tests/vm/uvc-suite.sh starts one";
    cameraPid = static_cast<pid_t>(std::atol(pid));
    node = UvcCaptureNode();
    ASSERT_FALSE(node.empty()) << "no uvcvideo capture node: is the suite's camera running?";
  }
  void TearDown() override {
    V4l2Window::TearDown();
    // The suite's script waits for the nodes of the camera it started to
    // go; the one started here goes first.
    if (again > 0) {
      const std::string current = UvcCaptureNode();
      EXPECT_TRUE(KillCamera(again, current)) << "the restarted camera's node stayed";
      ::waitpid(again, nullptr, 0);
    }
  }

  pid_t cameraPid = 0;
  pid_t again = 0;
};

TEST_F(UvcReplugged, TheCameraBackUnderItsNameIsLiveAgainWithoutAClick) {
  ASSERT_EQ(CameraOf(*form)->DeviceName(), QString::fromLatin1(kUvcCard));
  ASSERT_TRUE(Row("Brightness").TrackBar->isEnabled());

  ASSERT_TRUE(KillCamera(cameraPid, node)) << "the capture node stayed after the kill";
  ASSERT_TRUE(WaitFor([&] { return Part<TListBox>(*form, "ComboBoxCamera")->count() == 0; }))
      << "the window still lists the camera a minute after it went";
  EXPECT_EQ(Part<QLabel>(*form, "SupportLabel")->text(), "No camera connected");
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(),
            QString::fromLatin1(kUvcCard) + " was disconnected");
  EXPECT_FALSE(Row("Brightness").TrackBar->isEnabled());

  // Plugged in again: the same name, a new device.
  const std::string log = "/out/uvc-cam-UvcReplugged-again.log";
  again = StartCamera(log);
  ASSERT_GT(again, 0) << "could not start /test/helper";
  ASSERT_TRUE(WaitFor([&] {
    return Part<TListBox>(*form, "ComboBoxCamera")->count() == 1 &&
           Row("Brightness").TrackBar->isEnabled();
  })) << "the camera did not come back into the window within a minute";
  EXPECT_EQ(CameraOf(*form)->DeviceName(), QString::fromLatin1(kUvcCard));
  EXPECT_EQ(Part<QLabel>(*form, "SupportLabel")->text(), "Camera configurable");

  ::setenv("UVC_CAM_LOG", log.c_str(), 1);
  const std::size_t before = CameraLogSets("brightness").size();
  Row("Brightness").TrackBar->SetValue(17);
  EXPECT_TRUE(CameraReceived("brightness", before, "17"));
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

using UvcNoControls = UvcOwnCameraTest;

TEST_F(UvcNoControls, ACameraWithoutControlsIsSelectableWithEveryPropertyUnsupported) {
  ASSERT_EQ(camera->Devices().size(), 1u);
  EXPECT_FALSE(camera->SupportedFormats().empty());
  EXPECT_FALSE(camera->BrightnessSupported());
  EXPECT_FALSE(camera->ExposureSupported());
  EXPECT_FALSE(camera->PowerLineFrequencySupported());
}

// Started with --fail-range contrast: the camera stalls the range requests
// of contrast, so uvcvideo fails its query in the middle of the control walk.
using UvcFailingControl = UvcOwnCameraTest;

TEST_F(UvcFailingControl, AControlWhoseQueryFailsIsUnsupportedAndTheRestWork) {
  ASSERT_TRUE(camera->BrightnessSupported()) << "the camera should stay selectable";
  EXPECT_FALSE(camera->ContrastSupported());
  EXPECT_TRUE(camera->SaturationSupported());  // the control after it
  EXPECT_TRUE(camera->WhiteBalanceSupported());
  const std::size_t before = CameraLogSets("saturation").size();
  camera->SetSaturation(40);
  EXPECT_TRUE(CameraReceived("saturation", before, "40"));
}

}  // namespace
}  // namespace varnholt::test
