// The contract's camera on the virtual backend: the built-in set on a state
// folder of the test's own; "another program" holds the camera's stream lock
// to make it busy, and faults come from the set's fault table.

#include <QTemporaryDir>

#include "camera/platform/virtual/DeviceLock.h"
#include "camera/platform/virtual/VirtualCameraSet.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "tests/contract/BuiltinHdWebcam.h"
#include "tests/contract/ContractSupport.h"

namespace varnholt::contract {
namespace {

using namespace platform;
using namespace platform::virtualcam;

class VirtualRig final : public ContractRig {
 public:
  VirtualRig()
      : platform_(VirtualPlatform::FromJson(VirtualPlatform::BuiltinCamerasJson(), state_.path())),
        camera_(BuiltinHdWebcam()) {}

  platform::Platform& Platform() override { return *platform_; }
  const KnownCamera& Camera() const override { return camera_; }

  void MakeBusy(bool busy) override {
    if (!busy) {
      lock_.reset();
      return;
    }
    const auto camera = platform_->Cameras()->FindByPath(camera_.devicePath);
    ASSERT_NE(camera, nullptr);
    ASSERT_EQ(DeviceLock::Acquire(*camera, lock_), hr::Ok);
  }
  void Unplug() override { EXPECT_EQ(platform_->SetConnected(camera_.devicePath, false), hr::Ok); }
  void Replug() override { EXPECT_EQ(platform_->SetConnected(camera_.devicePath, true), hr::Ok); }
  void FailCall(const std::string& point, HResult code) override {
    platform_->Cameras()->Faults().Arm(point, code, FaultTable::kUntilCleared, camera_.devicePath);
  }
  void ClearCall(const std::string& point) override { platform_->Cameras()->Faults().Clear(point); }
  std::optional<std::string> Cannot(const std::string& check) const override {
    if (check == "busy after connecting")
      return "a virtual camera's graph takes the device lock when it connects, so no other "
             "program can take the camera between connecting and Run";
    return std::nullopt;
  }
  void Reset() override {
    platform_->Cameras()->Faults().ClearAll();
    lock_.reset();
    EXPECT_EQ(platform_->SetConnected(camera_.devicePath, true), hr::Ok);
  }

 private:
  QTemporaryDir state_;
  std::shared_ptr<VirtualPlatform> platform_;
  KnownCamera camera_;
  std::unique_ptr<DeviceLock> lock_;
};

}  // namespace

std::unique_ptr<ContractRig> MakeRig() {
  return std::make_unique<VirtualRig>();
}

}  // namespace varnholt::contract
