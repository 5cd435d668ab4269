#pragma once

// What the uvcvideo tests share: the emulated camera's card name, its
// capture node, the log in which it records every value that reached it,
// and a TFCamera on the V4L2 platform bound to it.

#include <gtest/gtest.h>
#include <sys/types.h>

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

class UvcTest : public V4l2CameraTest {
 protected:
  void SetUp() override;
};

// A camera that tests/vm/uvc-suite.sh started for one suite alone, with the
// suite's own options: UVC_CAM_SUITE names that suite, UVC_CAM_PID the
// camera program, UVC_CAM_LOG its log. Its values are the camera's fresh
// defaults, and a test may kill it.
class UvcOwnCameraTest : public V4l2CameraTest {
 protected:
  void SetUp() override;

  pid_t cameraPid = 0;
};

// Kills the camera program (SIGKILL: the host sees the USB device go, as
// when the cable is pulled) and waits, generously, until uvcvideo has
// unregistered its capture node. Safe inside a CountingNodes action: it
// runs no event loop. False when the kill fails or the node stays.
bool KillCamera(pid_t pid, const std::string& node);
// Starts the emulated camera program (/test/helper) again with its default
// options, logging to log, as a camera plugged in; 0 on failure.
pid_t StartCamera(const std::string& log);

}  // namespace varnholt::test
