// The contract's camera on the V4L2 backend: a model of a UVC webcam at
// /dev/video0 (tests/camera/v4l2/FakeUvcCamera.h) that, like a real one,
// fills the buffers queued to it at 30 frames a second while it streams.
// Its node fails chosen requests with the errno a driver would answer.

#include <linux/videodev2.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "camera/platform/v4l2/V4l2Platform.h"
#include "tests/camera/v4l2/FakeUvcCamera.h"
#include "tests/camera/v4l2/V4l2TestSupport.h"
#include "tests/contract/ContractSupport.h"

namespace varnholt::contract {
namespace {

using namespace platform;
using test::FakeUvcCamera;

constexpr const char* kNode = "/dev/video0";

// The requests failing now: by the control class a write addresses.
class FailingWrites {
 public:
  void Arm(std::uint32_t controlClass, int error) {
    std::lock_guard lock(mutex_);
    armed_[controlClass] = error;
  }
  void Clear(std::uint32_t controlClass) {
    std::lock_guard lock(mutex_);
    armed_.erase(controlClass);
  }
  void ClearAll() {
    std::lock_guard lock(mutex_);
    armed_.clear();
  }
  // The errno for this request, 0 when it goes through.
  int For(unsigned long request, void* arg) {
    if (request != VIDIOC_S_EXT_CTRLS)
      return 0;
    const auto* controls = static_cast<const v4l2_ext_controls*>(arg);
    std::lock_guard lock(mutex_);
    for (std::uint32_t i = 0; i < controls->count; ++i)
      if (const auto it = armed_.find(V4L2_CTRL_ID2CLASS(controls->controls[i].id));
          it != armed_.end())
        return it->second;
    return 0;
  }

 private:
  std::mutex mutex_;
  std::map<std::uint32_t, int> armed_;
};

// An open node: every call reaches the camera unless it is armed to fail.
class FailingDevice final : public v4l2::IoctlDevice {
 public:
  FailingDevice(std::shared_ptr<FakeUvcCamera> camera, std::shared_ptr<FailingWrites> failing)
      : camera_(std::move(camera)), failing_(std::move(failing)) {}
  int Map(std::size_t length, std::int64_t offset, void*& address) override {
    return camera_->Map(length, offset, address);
  }
  void Unmap(void* address, std::size_t length) override { camera_->Unmap(address, length); }
  int PollFd() const override { return camera_->PollFd(); }
  v4l2::EventPoll EventSignal() const override { return camera_->EventSignal(); }
  bool EventPending() override { return camera_->EventPending(); }

 protected:
  int DoIoctl(unsigned long request, void* arg) override {
    if (const int error = failing_->For(request, arg))
      return -error;
    return camera_->Ioctl(request, arg);
  }

 private:
  std::shared_ptr<FakeUvcCamera> camera_;
  std::shared_ptr<FailingWrites> failing_;
};

class Nodes final : public v4l2::NodeDirectory {
 public:
  std::vector<std::string> VideoNodes() override {
    std::lock_guard lock(mutex);
    return camera ? std::vector<std::string>{kNode} : std::vector<std::string>{};
  }
  std::string ByIdLink(const std::string&) override { return {}; }
  int Open(const std::string& node, std::unique_ptr<v4l2::IoctlDevice>& device) override {
    std::lock_guard lock(mutex);
    if (node != kNode || !camera)
      return -ENOENT;
    device = std::make_unique<FailingDevice>(camera, failing);
    return 0;
  }

  std::mutex mutex;
  std::shared_ptr<FakeUvcCamera> camera;  // none while unplugged
  std::shared_ptr<FailingWrites> failing = std::make_shared<FailingWrites>();
};

class V4l2Rig final : public ContractRig {
 public:
  V4l2Rig() {
    nodes_->camera = NewCamera();
    platform_ = std::make_shared<v4l2::V4l2Platform>(nodes_);
    camera_.friendlyName = "Fake UVC Webcam";
    camera_.devicePath = kNode;  // no by-id link
    camera_.properties = {
        {PropertyFamilyKind::VideoProcAmp, 0, -64, 64, 1, 0, kPropertyFlagsManual},
        {PropertyFamilyKind::CameraControl, 3, 100, 500, 1, 100, kPropertyFlagsManual},
    };
    // Digital multiplier and roll, which UVC cameras do not have.
    camera_.missing[0] = 10;
    camera_.missing[1] = 2;
    camera_.otherWidth = 320;
    camera_.otherHeight = 240;
    feeder_ = std::thread([this] { Feed(); });
  }
  ~V4l2Rig() override {
    {
      std::lock_guard lock(stopMutex_);
      stop_ = true;
    }
    stopped_.notify_all();
    feeder_.join();
  }

  platform::Platform& Platform() override { return *platform_; }
  const KnownCamera& Camera() const override { return camera_; }

  void MakeBusy(bool busy) override {
    const auto camera = Current();
    ASSERT_NE(camera, nullptr);
    camera->heldElsewhere = busy;
  }
  void Unplug() override {
    std::lock_guard lock(nodes_->mutex);
    ASSERT_NE(nodes_->camera, nullptr);
    nodes_->camera->Unplug();
    unplugged_.push_back(std::exchange(nodes_->camera, nullptr));
  }
  void Replug() override {
    std::lock_guard lock(nodes_->mutex);
    if (!nodes_->camera)
      nodes_->camera = NewCamera();
  }
  void FailCall(const std::string& point, HResult code) override {
    const auto controlClass = ClassOf(point);
    const int error = ErrnoFor(code);
    ASSERT_TRUE(controlClass && error)
        << "the V4L2 rig cannot fail " << point << " with " << std::hex << code;
    nodes_->failing->Arm(*controlClass, error);
  }
  void ClearCall(const std::string& point) override {
    if (const auto controlClass = ClassOf(point))
      nodes_->failing->Clear(*controlClass);
  }
  void Reset() override {
    nodes_->failing->ClearAll();
    Replug();
    MakeBusy(false);
  }

 private:
  static std::shared_ptr<FakeUvcCamera> NewCamera() {
    return std::make_shared<FakeUvcCamera>(FakeUvcCamera::FullWebcam());
  }
  std::shared_ptr<FakeUvcCamera> Current() {
    std::lock_guard lock(nodes_->mutex);
    return nodes_->camera;
  }
  // The family's writes by the class of the controls it maps to.
  static std::optional<std::uint32_t> ClassOf(const std::string& point) {
    if (point == "IAMVideoProcAmp.Set")
      return V4L2_CTRL_CLASS_USER;
    if (point == "IAMCameraControl.Set")
      return V4L2_CTRL_CLASS_CAMERA;
    return std::nullopt;
  }
  // What a driver answers for the backend to report code.
  static int ErrnoFor(HResult code) {
    switch (code) {
      case hr::AccessDenied:
        return EACCES;
      case hr::Busy:
        return EBUSY;
      case hr::InvalidArg:
        return EINVAL;
      case hr::DeviceNotConnected:
        return ENODEV;
      default:
        return 0;
    }
  }

  // A frame of the current size into each queued buffer, 30 a second.
  void Feed() {
    std::uint8_t luma = 16;
    std::unique_lock lock(stopMutex_);
    while (!stop_) {
      lock.unlock();
      const auto camera = Current();
      if (camera && camera->WaitStreaming(std::chrono::milliseconds(50))) {
        const auto format = camera->Format();
        if (format.pixelFormat == V4L2_PIX_FMT_YUYV)
          camera->DeliverFrame(test::Yuy2Frame(static_cast<int>(format.width),
                                               static_cast<int>(format.height), luma++),
                               std::chrono::milliseconds(50));
      }
      lock.lock();
      stopped_.wait_for(lock, std::chrono::milliseconds(33), [this] { return stop_; });
    }
  }

  std::shared_ptr<Nodes> nodes_ = std::make_shared<Nodes>();
  std::shared_ptr<v4l2::V4l2Platform> platform_;
  std::vector<std::shared_ptr<FakeUvcCamera>> unplugged_;
  KnownCamera camera_;
  std::thread feeder_;
  std::mutex stopMutex_;
  std::condition_variable stopped_;
  bool stop_ = false;
};

}  // namespace

std::unique_ptr<ContractRig> MakeRig() {
  return std::make_unique<V4l2Rig>();
}

}  // namespace varnholt::contract
