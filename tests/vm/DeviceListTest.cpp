// The camera list on a real driver: vivid's capture node is the one camera,
// its output and metadata nodes are not cameras, and the platform is the one
// the environment names.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include "camera/platform/PlatformFactory.h"
#include "tests/support/TestEnvironment.h"
#include "tests/vm/VividFixture.h"

namespace varnholt::test {
namespace {

using DeviceList = VividTest;

TEST_F(DeviceList, TheCaptureNodeIsListedOnceWithItsCardNameAndOtherNodesAreSkipped) {
  // The VM's vivid has output and metadata nodes beside the capture node,
  // all answering the same card name; without them this test proves nothing.
  int others = 0;
  for (const RawNode& raw : RawVideoNodes()) {
    EXPECT_EQ(raw.card, kVividCard) << raw.path;
    if (!(raw.deviceCaps & V4L2_CAP_VIDEO_CAPTURE))
      ++others;
  }
  ASSERT_GE(others, 2) << "the VM profile should give vivid output and metadata nodes";

  const TFVideoCaptureDevices devices = camera->Devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].Name, kVividCard);
  EXPECT_EQ(devices[0].Path.toStdString(), node);  // no udev in the VM, so no by-id link
  EXPECT_EQ(devices[0].Description, "vivid platform:vivid-000");
  EXPECT_TRUE(camera->AudioCaptureDevices().empty());

  // The listed camera binds, by name and by path.
  EXPECT_NE(camera->GetDevice(kVividCard), nullptr);
  EXPECT_NE(camera->GetDevice(QString::fromStdString(node)), nullptr);
  EXPECT_EQ(camera->GetDevice("/dev/video1"), nullptr);  // the output node is no camera
}

TEST_F(DeviceList, TheEnvironmentChoosesTheV4l2PlatformForTheComponent) {
  ScopedEnv choose("VARNHOLT_PLATFORM", "v4l2");
  ASSERT_EQ(varnholt::platform::ChosenPlatformName(), "v4l2");
  // A component without a platform of its own uses the process-wide one,
  // as the program's window does.
  TFCamera fromEnvironment;
  EXPECT_EQ(fromEnvironment.Platform().Name(), "v4l2");
  const TFVideoCaptureDevices devices = fromEnvironment.Devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].Name, kVividCard);
  fromEnvironment.SetDeviceName(kVividCard);
  EXPECT_TRUE(fromEnvironment.BrightnessSupported());
}

}  // namespace
}  // namespace varnholt::test
