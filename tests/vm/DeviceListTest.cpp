// The camera list on a real driver: vivid's capture node is the one camera,
// its output and metadata nodes are not cameras, and the platform is the one
// the environment names.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <map>

#include "camera/platform/PlatformFactory.h"
#include "camera/platform/v4l2/V4l2Platform.h"
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

// Two vivid instances, which vivid-suite.sh loads for this suite alone: one
// card name, two bus positions ("platform:vivid-000" and "-001").
TEST(VividTwins, BothAreListedTheSecondNumberedAndEachTakesItsOwnValues) {
  TFCamera camera(nullptr, std::make_shared<platform::v4l2::V4l2Platform>());
  ASSERT_TRUE(WaitFor([&] { return camera.Devices().size() == 2; }))
      << "vivid-suite.sh should have loaded two vivid instances";
  std::map<QString, TFVideoCaptureDevice> byName;
  for (const TFVideoCaptureDevice& device : camera.Devices())
    byName[device.Name] = device;
  const QString twin = QString(kVividCard) + " #2";
  ASSERT_EQ(byName.count(kVividCard), 1u);
  ASSERT_EQ(byName.count(twin), 1u);
  EXPECT_EQ(byName[kVividCard].Description, "vivid platform:vivid-000");
  EXPECT_EQ(byName[twin].Description, "vivid platform:vivid-001");

  camera.SetDeviceName(kVividCard);
  camera.SetBrightness(10);
  camera.SetDeviceName(twin);
  camera.SetBrightness(200);
  EXPECT_EQ(camera.Brightness(), 200);
  EXPECT_EQ(RawControl(byName[kVividCard].Path.toStdString(), V4L2_CID_BRIGHTNESS), 10);
  EXPECT_EQ(RawControl(byName[twin].Path.toStdString(), V4L2_CID_BRIGHTNESS), 200);
}

}  // namespace
}  // namespace varnholt::test
