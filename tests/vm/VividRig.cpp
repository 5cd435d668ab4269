#include "tests/vm/VividRig.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "camera/CameraErrors.h"
#include "camera/PropertyKeys.h"
#include "camera/platform/v4l2/ControlProperties.h"
#include "camera/platform/v4l2/device/IoctlDevice.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

using varnholt::platform::v4l2::IoctlDevice;

// An fd opened for one raw request and closed after it.
class RawFd {
 public:
  explicit RawFd(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NONBLOCK)) {}
  ~RawFd() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  RawFd(const RawFd&) = delete;
  RawFd& operator=(const RawFd&) = delete;
  bool Ok() const { return fd_ >= 0; }
  int Ioctl(unsigned long request, void* arg) const {
    int ret;
    do {
      ret = ::ioctl(fd_, request, arg);
    } while (ret < 0 && errno == EINTR);
    return ret;
  }

 private:
  int fd_;
};

class CountingDevice : public IoctlDevice {
 public:
  CountingDevice(std::unique_ptr<IoctlDevice> inner, CountingNodes& owner)
      : inner_(std::move(inner)), owner_(owner) {}
  int Map(std::size_t length, std::int64_t offset, void*& address) override {
    return inner_->Map(length, offset, address);
  }
  void Unmap(void* address, std::size_t length) override { inner_->Unmap(address, length); }
  int PollFd() const override { return inner_->PollFd(); }
  varnholt::platform::v4l2::EventPoll EventSignal() const override { return inner_->EventSignal(); }
  bool EventPending() override { return inner_->EventPending(); }

 protected:
  int DoIoctl(unsigned long request, void* arg) override {
    owner_.Count();
    return inner_->Ioctl(request, arg);
  }

 private:
  std::unique_ptr<IoctlDevice> inner_;
  CountingNodes& owner_;
};

}  // namespace

std::vector<RawNode> RawVideoNodes() {
  std::vector<RawNode> nodes;
  varnholt::platform::v4l2::SystemNodeDirectory system;
  for (const auto& path : system.VideoNodes()) {
    RawFd fd(path);
    v4l2_capability cap{};
    if (!fd.Ok() || fd.Ioctl(VIDIOC_QUERYCAP, &cap) < 0)
      continue;
    const std::uint32_t caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    nodes.push_back({path, reinterpret_cast<const char*>(cap.card), caps});
  }
  return nodes;
}

std::string VividCaptureNode() {
  for (const auto& node : RawVideoNodes())
    if (node.deviceCaps & V4L2_CAP_VIDEO_CAPTURE)
      return node.path;
  return {};
}

std::optional<std::int32_t> RawControl(const std::string& node, std::uint32_t id) {
  RawFd fd(node);
  v4l2_control control{};
  control.id = id;
  if (!fd.Ok() || fd.Ioctl(VIDIOC_G_CTRL, &control) < 0)
    return std::nullopt;
  return control.value;
}

bool RawSetControl(const std::string& node, std::uint32_t id, std::int32_t value) {
  RawFd fd(node);
  v4l2_control control{};
  control.id = id;
  control.value = value;
  return fd.Ok() && fd.Ioctl(VIDIOC_S_CTRL, &control) == 0;
}

std::optional<std::uint32_t> RawControlFlags(const std::string& node, std::uint32_t id) {
  RawFd fd(node);
  v4l2_query_ext_ctrl query{};
  query.id = id;
  if (!fd.Ok() || fd.Ioctl(VIDIOC_QUERY_EXT_CTRL, &query) < 0)
    return std::nullopt;
  return query.flags;
}

std::uint32_t RawControlId(const std::string& node, const std::string& name) {
  RawFd fd(node);
  if (!fd.Ok())
    return 0;
  v4l2_query_ext_ctrl query{};
  query.id = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
  while (fd.Ioctl(VIDIOC_QUERY_EXT_CTRL, &query) == 0) {
    if (name == reinterpret_cast<const char*>(query.name))
      return query.id;
    const std::uint32_t last = query.id;
    query = {};
    query.id = last | V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
  }
  return 0;
}

bool PressDisconnect(const std::string& node) {
  const std::uint32_t id = RawControlId(node, "Disconnect");
  if (id == 0)
    return false;
  RawFd fd(node);
  v4l2_control press{};
  press.id = id;
  return fd.Ok() && fd.Ioctl(VIDIOC_S_CTRL, &press) == 0;
}

std::vector<std::string> CountingNodes::VideoNodes() {
  return system_.VideoNodes();
}

std::string CountingNodes::ByIdLink(const std::string& node) {
  return system_.ByIdLink(node);
}

int CountingNodes::Open(const std::string& node, std::unique_ptr<IoctlDevice>& device) {
  std::unique_ptr<IoctlDevice> inner;
  if (int ret = system_.Open(node, inner); ret < 0)
    return ret;
  ++opens_;
  device = std::make_unique<CountingDevice>(std::move(inner), *this);
  return 0;
}

void CountingNodes::BeforeIoctl(long count, std::function<void()> action) {
  trigger_ = count;
  action_ = std::move(action);
}

void CountingNodes::Count() {
  if (action_ && ioctls_ == trigger_) {
    auto action = std::move(action_);
    action_ = nullptr;
    action();
  }
  ++ioctls_;
}

RaisedError ErrorOf(const std::function<void()>& f) {
  RaisedError raised;
  try {
    f();
    raised.message = "<no exception>";
  } catch (const EOleSysError& e) {
    raised.ole = true;
    raised.code = static_cast<std::uint32_t>(e.ErrorCode());
    raised.message = e.Message();
  } catch (const EFCameraError& e) {
    raised.camera = true;
    raised.message = e.Message();
  } catch (const std::exception& e) {
    raised.message = std::string("<other exception: ") + e.what() + ">";
  }
  return raised;
}

void ReloadRows(TFCamera& camera) {
  camera.PowerLineFrequencySupported();
  for (const TFPropertyKey& key : kPropertyKeys) {
    if (!(camera.*key.Supported)())
      continue;
    (camera.*key.Value)();
    (camera.*key.Range)();
    (camera.*key.IsAuto)();
  }
}

void ExpireValueSnapshots() {
  using varnholt::platform::v4l2::ControlProperties;
  // Real time goes on beside the jumps.
  static std::atomic<std::chrono::steady_clock::duration::rep> ahead{0};
  static const bool installed = [] {
    ControlProperties::SetClockForTesting([] {
      return std::chrono::steady_clock::now() + std::chrono::steady_clock::duration(ahead.load());
    });
    return true;
  }();
  (void)installed;
  ahead += std::chrono::steady_clock::duration(ControlProperties::kSnapshotLifetime).count();
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  return WaitUntil(done, timeoutMs);
}

}  // namespace varnholt::test
