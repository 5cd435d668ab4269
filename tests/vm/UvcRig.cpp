#include "tests/vm/UvcRig.h"

#include <linux/videodev2.h>
#include <signal.h>
#include <spawn.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <thread>
#include <tuple>
#include <utility>

extern char** environ;

namespace varnholt::test {

std::vector<std::string> CameraLogSets(const std::string& control) {
  std::vector<std::string> values;
  const char* path = std::getenv("UVC_CAM_LOG");
  if (path == nullptr)
    return values;
  std::ifstream log(path);
  // Lines look like "[12.345] SET brightness = 12"; a value the camera kept
  // out ("... = 300: out of range, ignored") did not reach it.
  const std::string marker = "] SET " + control + " = ";
  for (std::string line; std::getline(log, line);) {
    const auto at = line.find(marker);
    if (at == std::string::npos || line.find("ignored") != std::string::npos)
      continue;
    std::string value = line.substr(at + marker.size());
    value = value.substr(0, value.find(' '));
    values.push_back(value);
  }
  return values;
}

::testing::AssertionResult CameraReceived(const std::string& control, std::size_t before,
                                          const std::string& expected) {
  std::vector<std::string> values;
  // gadgetfs acks a SET_CUR's data before the camera reads it, so the line
  // may land a moment after the ioctl returned.
  const bool arrived = WaitFor(
      [&] {
        values = CameraLogSets(control);
        return std::find(
                   values.begin() + static_cast<std::ptrdiff_t>(std::min(before, values.size())),
                   values.end(), expected) != values.end();
      },
      20000);
  if (arrived)
    return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure();
  failure << "the camera got no " << control << " = " << expected << "; after the first " << before
          << " it logged:";
  for (std::size_t i = before; i < values.size(); ++i)
    failure << " " << values[i];
  return failure;
}

std::string UvcCaptureNode() {
  for (const RawNode& raw : RawVideoNodes())
    if (raw.card == kUvcCard && (raw.deviceCaps & V4L2_CAP_VIDEO_CAPTURE))
      return raw.path;
  return {};
}

::testing::AssertionResult ResetUvcCamera(const std::string& node) {
  for (const auto& [id, value] : std::initializer_list<std::pair<std::uint32_t, std::int32_t>>{
           {V4L2_CID_BRIGHTNESS, 0},
           {V4L2_CID_CONTRAST, 50},
           {V4L2_CID_HUE, 0},
           {V4L2_CID_SATURATION, 64},
           {V4L2_CID_SHARPNESS, 3},
           {V4L2_CID_GAMMA, 100},
           {V4L2_CID_BACKLIGHT_COMPENSATION, 1},
           {V4L2_CID_GAIN, 0},
           {V4L2_CID_POWER_LINE_FREQUENCY, V4L2_CID_POWER_LINE_FREQUENCY_50HZ},
           {V4L2_CID_ZOOM_ABSOLUTE, 100},
           {V4L2_CID_IRIS_ABSOLUTE, 200},
           {V4L2_CID_PAN_ABSOLUTE, 0},
           {V4L2_CID_TILT_ABSOLUTE, 0}})
    if (!RawSetControl(node, id, value))
      return ::testing::AssertionFailure()
             << "control " << std::hex << id << ": " << std::strerror(errno);
  // The automatic pairs: the manual value can only be written with its
  // automatic mode off, then the mode goes back on.
  for (const auto& [master, manual, id, value, automatic] : std::initializer_list<
           std::tuple<std::uint32_t, std::int32_t, std::uint32_t, std::int32_t, std::int32_t>>{
           {V4L2_CID_AUTO_WHITE_BALANCE, 0, V4L2_CID_WHITE_BALANCE_TEMPERATURE, 4600, 1},
           {V4L2_CID_FOCUS_AUTO, 0, V4L2_CID_FOCUS_ABSOLUTE, 0, 1},
           {V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL, V4L2_CID_EXPOSURE_ABSOLUTE, 250,
            V4L2_EXPOSURE_APERTURE_PRIORITY}}) {
    if (!RawSetControl(node, master, manual) || !RawSetControl(node, id, value) ||
        !RawSetControl(node, master, automatic))
      return ::testing::AssertionFailure()
             << "control " << std::hex << id << ": " << std::strerror(errno) << ", flags "
             << RawControlFlags(node, id).value_or(0) << ", mode " << std::dec
             << RawControl(node, master).value_or(-1);
  }
  return ::testing::AssertionSuccess();
}

void UvcTest::SetUp() {
  ASSERT_NE(std::getenv("UVC_CAM_LOG"), nullptr) << "UVC_CAM_LOG should name the camera's log";
  node = UvcCaptureNode();
  ASSERT_FALSE(node.empty()) << "no uvcvideo capture node: is the emulated camera running?";
  ASSERT_TRUE(ResetUvcCamera(node));
  camera = std::make_unique<TFCamera>(nullptr, platform);
  camera->SetDeviceName(kUvcCard);
}

void UvcOwnCameraTest::SetUp() {
  // Run against the shared camera, these tests would kill it for the suites
  // after them, or find options it lacks.
  const char* suite = std::getenv("UVC_CAM_SUITE");
  const std::string wanted =
      ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
  ASSERT_TRUE(suite != nullptr && wanted == suite)
      << wanted << " needs a camera of its own: tests/vm/uvc-suite.sh starts one per suite";
  const char* pid = std::getenv("UVC_CAM_PID");
  ASSERT_NE(pid, nullptr) << "UVC_CAM_PID should name the camera program";
  cameraPid = static_cast<pid_t>(std::atol(pid));
  ASSERT_GT(cameraPid, 1) << pid;
  ASSERT_NE(std::getenv("UVC_CAM_LOG"), nullptr) << "UVC_CAM_LOG should name the camera's log";
  node = UvcCaptureNode();
  ASSERT_FALSE(node.empty()) << "no uvcvideo capture node: is the suite's camera running?";
  camera = std::make_unique<TFCamera>(nullptr, platform);
  camera->SetDeviceName(kUvcCard);
}

bool KillCamera(pid_t pid, const std::string& node) {
  if (::kill(pid, SIGKILL) != 0)
    return false;
  // The disconnect reaches uvcvideo through the USB hub's work queue, a
  // moment after the program's end.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::filesystem::exists(node)) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

pid_t StartCamera(const std::string& log) {
  const char* argv[] = {"/test/helper", "--log", log.c_str(), nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
    return 0;
  return pid;
}

}  // namespace varnholt::test
