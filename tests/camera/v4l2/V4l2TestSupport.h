#pragma once

// A V4L2 platform over models of webcams that live as long as the test, so
// that every opening of a node reaches the same model and the test can feed
// it frames, unplug it and count what the component asked of it.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camera/FCamera.h"
#include "camera/platform/v4l2/V4l2Platform.h"
#include "camera/platform/v4l2/device/NodeDirectory.h"
#include "tests/camera/v4l2/FakeUvcCamera.h"

namespace varnholt::test {

// Every Open answers a door to the node's one model.
class SharedNodes : public platform::v4l2::NodeDirectory {
 public:
  std::vector<std::string> VideoNodes() override;
  std::string ByIdLink(const std::string&) override { return {}; }
  int Open(const std::string& node, std::unique_ptr<platform::v4l2::IoctlDevice>& device) override;

  std::map<std::string, std::shared_ptr<FakeUvcCamera>> cameras;
};

// A YUY2 picture of one colour.
std::vector<std::uint8_t> Yuy2Frame(int width, int height, std::uint8_t y, std::uint8_t u = 128,
                                    std::uint8_t v = 128);

// A format from SupportedFormats by compression, size and frame time.
const TFCameraFormat* FindFormat(const TFCameraFormats& formats, const char* compression, int width,
                                 int height, std::int64_t frameTime);

// The backend's clock moved on by hand while it lives, so that a test ends
// the life of the cameras' value snapshots without waiting.
class SnapshotClock {
 public:
  SnapshotClock();
  ~SnapshotClock();
  SnapshotClock(const SnapshotClock&) = delete;
  SnapshotClock& operator=(const SnapshotClock&) = delete;
  // Every value read next goes to the driver again.
  void Expire();

 private:
  std::shared_ptr<std::chrono::steady_clock::time_point> now_;
};

constexpr std::int64_t k30Fps = 333333;
constexpr std::int64_t k15Fps = 666667;

// One webcam at /dev/video0 ("Fake UVC Webcam") and a component on it.
class V4l2CameraTest : public ::testing::Test {
 protected:
  V4l2CameraTest();
  // Selects a format by compression and size at 30 fps; fails the test
  // when the camera does not offer it.
  void Select(const char* compression, int width, int height);

  std::shared_ptr<FakeUvcCamera> fake_;
  std::shared_ptr<SharedNodes> nodes_ = std::make_shared<SharedNodes>();
  std::shared_ptr<platform::v4l2::V4l2Platform> platform_;
  std::unique_ptr<TFCamera> camera_;
};

}  // namespace varnholt::test
