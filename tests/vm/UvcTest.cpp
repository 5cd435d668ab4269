// The V4L2 backend on the driver most webcams have: uvcvideo, bound to the
// emulated USB camera of tests/vm/uvc-camera in the VM. The camera logs
// every value that reaches it, so these tests see what the component really
// sent, past uvcvideo's own cache.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include "tests/vm/UvcRig.h"

namespace varnholt::test {
namespace {

using UvcDeviceList = UvcTest;

TEST_F(UvcDeviceList, TheCaptureNodeIsListedOnceWithItsCardNameAndTheMetadataNodeIsSkipped) {
  // uvcvideo gives every camera a metadata-only node beside the capture
  // node, under the same card name; without it this test proves nothing.
  int metadata = 0;
  for (const RawNode& raw : RawVideoNodes()) {
    EXPECT_EQ(raw.card, kUvcCard) << raw.path;
    if ((raw.deviceCaps & V4L2_CAP_META_CAPTURE) && !(raw.deviceCaps & V4L2_CAP_VIDEO_CAPTURE))
      ++metadata;
  }
  ASSERT_EQ(metadata, 1) << "uvcvideo should have made a metadata node";

  const TFVideoCaptureDevices devices = camera->Devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].Name, kUvcCard);
  EXPECT_EQ(devices[0].Path.toStdString(), node);
  EXPECT_TRUE(devices[0].Description.contains("usb-dummy_hcd"))
      << devices[0].Description.toStdString();

  EXPECT_NE(camera->GetDevice(kUvcCard), nullptr);
  EXPECT_NE(camera->GetDevice(QString::fromStdString(node)), nullptr);
  for (const RawNode& raw : RawVideoNodes()) {
    if (raw.path != node) {
      EXPECT_EQ(camera->GetDevice(QString::fromStdString(raw.path)), nullptr) << raw.path;
    }
  }
}

using UvcBrightness = UvcTest;

TEST_F(UvcBrightness, HasTheCamerasRangeAndDefaultAndNoAutomaticMode) {
  // As the camera answers GET_MIN/MAX/RES/DEF for the processing unit's
  // brightness (its defaults).
  ASSERT_TRUE(camera->BrightnessSupported());
  const TFRange range = camera->BrightnessRange();
  EXPECT_EQ(range.Min, -64);
  EXPECT_EQ(range.Max, 64);
  EXPECT_EQ(range.Delta, 1);
  EXPECT_EQ(range.Default, 0);
  EXPECT_FALSE(range.Auto);
  EXPECT_TRUE(range.Manual);
  EXPECT_FALSE(camera->BrightnessAuto());
  EXPECT_EQ(camera->Brightness(), 0);  // the fixture's value, read through the driver
}

TEST_F(UvcBrightness, ValuesSetReachTheCameraAndReadBack) {
  // Negative values too: the field is a signed 16-bit one on the wire.
  for (const std::int32_t value : {-64, 64, 17, -5}) {
    SCOPED_TRACE(value);
    const std::size_t before = CameraLogSets("brightness").size();
    camera->SetBrightness(value);
    EXPECT_EQ(camera->Brightness(), value);
    EXPECT_EQ(RawControl(node, V4L2_CID_BRIGHTNESS), value);
    EXPECT_TRUE(CameraReceived("brightness", before, std::to_string(value)));
  }
}

}  // namespace
}  // namespace varnholt::test
