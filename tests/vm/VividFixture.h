#pragma once

// A TFCamera on the V4L2 platform over the VM's vivid instance, with the
// driver's values put back to vivid's defaults before each test (the driver
// keeps them for the whole boot, across tests and programs).

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <memory>

#include "camera/FCamera.h"
#include "camera/platform/v4l2/V4l2Platform.h"
#include "tests/vm/VividRig.h"

namespace varnholt::test {

class VividTest : public V4l2CameraTest {
 protected:
  void SetUp() override {
    node = VividCaptureNode();
    ASSERT_FALSE(node.empty()) << "no video capture node: is vivid loaded?";
    for (const std::uint32_t id : {V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_SATURATION})
      ASSERT_TRUE(RawSetControl(node, id, 128));
    ASSERT_TRUE(RawSetControl(node, V4L2_CID_HUE, 0));
    ASSERT_TRUE(RawSetControl(node, V4L2_CID_AUTOGAIN, 0));
    ASSERT_TRUE(RawSetControl(node, V4L2_CID_GAIN, 100));
    ASSERT_TRUE(RawSetControl(node, V4L2_CID_AUTOGAIN, 1));
    camera = std::make_unique<TFCamera>(nullptr, platform);
    camera->SetDeviceName(kVividCard);
  }
};

}  // namespace varnholt::test
