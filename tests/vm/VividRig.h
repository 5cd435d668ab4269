#pragma once

// What the tests inside the VM share: the vivid capture node found by its
// own answers, raw V4L2 reads on a separate descriptor (so a value the
// component wrote is proven to have reached the driver, not a cache), the
// "Disconnect" button that unplugs the camera, and a node directory that
// counts every ioctl the backend sends.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "camera/FCamera.h"
#include "camera/platform/v4l2/V4l2Platform.h"
#include "camera/platform/v4l2/device/NodeDirectory.h"

namespace varnholt::test {

// vivid's card name; every node of an instance answers it.
inline constexpr char kVividCard[] = "vivid";

struct RawNode {
  std::string path;
  std::string card;
  std::uint32_t deviceCaps = 0;
};

// Every /dev/video* node that answers VIDIOC_QUERYCAP, in node order.
std::vector<RawNode> RawVideoNodes();
// The first node whose caps include video capture, or empty.
std::string VividCaptureNode();

// A control by its V4L2 id read straight from the driver; nullopt when the
// read fails.
std::optional<std::int32_t> RawControl(const std::string& node, std::uint32_t id);
// Writes a control straight to the driver; false when the driver refuses.
bool RawSetControl(const std::string& node, std::uint32_t id, std::int32_t value);
// The flags of a control as the driver reports them now.
std::optional<std::uint32_t> RawControlFlags(const std::string& node, std::uint32_t id);
// A control id by its driver name ("Disconnect"); 0 when absent.
std::uint32_t RawControlId(const std::string& node, const std::string& name);
// Presses vivid's "Disconnect" button: the instance's nodes answer ENODEV
// from then on, as an unplugged USB camera does. False when the button is
// missing (vivid loaded without no_error_inj=0).
bool PressDisconnect(const std::string& node);

// The system's node directory, counting the ioctls of every device it opens
// and able to run an action right before a chosen ioctl.
class CountingNodes : public varnholt::platform::v4l2::NodeDirectory {
 public:
  std::vector<std::string> VideoNodes() override;
  std::string ByIdLink(const std::string& node) override;
  int Open(const std::string& node,
           std::unique_ptr<varnholt::platform::v4l2::IoctlDevice>& device) override;
  bool Facts(const std::string& node, varnholt::platform::v4l2::NodeFacts& facts) override {
    return system_.Facts(node, facts);
  }
  std::unique_ptr<varnholt::platform::DeviceWatch> Watch(std::function<void()> changed) override {
    return system_.Watch(std::move(changed));
  }

  long Ioctls() const { return ioctls_; }
  long Opens() const { return opens_; }
  // Runs action once, just before the ioctl that would make the count
  // reach count + 1.
  void BeforeIoctl(long count, std::function<void()> action);

  // Called by the counting device.
  void Count();

 private:
  varnholt::platform::v4l2::SystemNodeDirectory system_;
  std::atomic<long> ioctls_{0};
  std::atomic<long> opens_{0};
  long trigger_ = -1;
  std::function<void()> action_;
};

// The failure f raises: the EOleSysError's code and message, an
// EFCameraError's message (code 0), or a marker when it raises nothing.
struct RaisedError {
  bool ole = false;
  bool camera = false;
  std::uint32_t code = 0;
  std::string message;
};
RaisedError ErrorOf(const std::function<void()>& f);

// One reload of the window's rows as the settings window does it: the
// power-line check, then for every key its support and, when supported, its
// value, range and automatic flag.
void ReloadRows(TFCamera& camera);

// Ends the life of every bound camera's value snapshot, as if the window's
// next re-read had come: the next value read goes to the driver. The
// backend's clock jumps rather than the test waiting.
void ExpireValueSnapshots();

// Runs the event loop until done() or a generous minute has passed (the VM
// emulates its CPU, and other builds share the host).
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 60000);

// A TFCamera on the V4L2 platform over the counting node directory; the
// suites' fixtures find their node and bind the camera in SetUp.
class V4l2CameraTest : public ::testing::Test {
 protected:
  void TearDown() override { camera.reset(); }

  std::string node;
  std::shared_ptr<CountingNodes> nodes = std::make_shared<CountingNodes>();
  std::shared_ptr<varnholt::platform::v4l2::V4l2Platform> platform =
      std::make_shared<varnholt::platform::v4l2::V4l2Platform>(nodes);
  std::unique_ptr<TFCamera> camera;
};

}  // namespace varnholt::test
