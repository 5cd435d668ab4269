#pragma once

// What the uvcvideo tests share: the emulated camera's card name, its
// capture node, the log in which it records every value that reached it,
// and a TFCamera on the V4L2 platform bound to it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "camera/FCamera.h"
#include "camera/platform/v4l2/V4l2Platform.h"
#include "tests/vm/VividRig.h"

namespace varnholt::test {

// The product string tests/vm/uvc-camera gives by default; uvcvideo makes
// it the card name.
inline constexpr char kUvcCard[] = "UVC Test Camera";

// The values the camera logged for one control ("SET brightness = 12"), in
// the order they arrived. The log's path comes from UVC_CAM_LOG.
std::vector<std::string> CameraLogSets(const std::string& control);
// Waits (generously) until the camera has logged `expected` for the control
// after its first `before` values; the failure names what it logged instead.
::testing::AssertionResult CameraReceived(const std::string& control, std::size_t before,
                                          const std::string& expected);

// The emulated camera's capture node (by card name and capture caps), or
// empty.
std::string UvcCaptureNode();
// Puts the camera's values back to its defaults straight through the driver:
// uvcvideo keeps values for the whole boot, across tests and programs.
::testing::AssertionResult ResetUvcCamera(const std::string& node);

class UvcTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override { camera.reset(); }

  std::string node;
  std::shared_ptr<CountingNodes> nodes = std::make_shared<CountingNodes>();
  std::shared_ptr<varnholt::platform::v4l2::V4l2Platform> platform =
      std::make_shared<varnholt::platform::v4l2::V4l2Platform>(nodes);
  std::unique_ptr<TFCamera> camera;
};

}  // namespace varnholt::test
