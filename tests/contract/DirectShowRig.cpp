// The contract's camera on the DirectShow backend: the virtual DirectShow
// HD webcam registered in the Wine prefix, made busy, unplugged or failing
// through its fault control (camera/platform/directshow/vcam/FaultControl.h).

#include "camera/platform/directshow/DirectShowPlatform.h"
#include "camera/platform/directshow/Utf8.h"
#include "camera/platform/directshow/vcam/FaultControl.h"
#include "tests/contract/BuiltinHdWebcam.h"
#include "tests/contract/ContractSupport.h"

namespace varnholt::contract {
namespace {

using namespace platform;

class DirectShowRig final : public ContractRig {
 public:
  DirectShowRig() : camera_(BuiltinHdWebcam()), name_(directshow::ToUtf16(camera_.friendlyName)) {
    // Faults live in the prefix: a test that died must not leave one behind.
    EXPECT_EQ(vcam::ResetAllFaults(), S_OK);
  }

  platform::Platform& Platform() override { return platform_; }
  const KnownCamera& Camera() const override { return camera_; }

  void MakeBusy(bool busy) override { EXPECT_EQ(vcam::SetBusy(name_, busy), S_OK); }
  void Unplug() override { EXPECT_EQ(vcam::SetUnplugged(name_, true), S_OK); }
  void Replug() override { EXPECT_EQ(vcam::SetUnplugged(name_, false), S_OK); }
  void FailCall(const std::string& point, HResult code) override {
    EXPECT_EQ(vcam::FailCall(name_, directshow::ToUtf16(point), code), S_OK);
  }
  void ClearCall(const std::string& point) override {
    EXPECT_EQ(vcam::ClearCall(name_, directshow::ToUtf16(point)), S_OK);
  }
  void Reset() override { EXPECT_EQ(vcam::ResetAllFaults(), S_OK); }

  std::optional<std::string> Cannot(const std::string& check) const override {
    // The system's objects, not the backend, answer these with codes of
    // their own: Wine's capture graph builder says E_INVALIDARG for a
    // connection the camera refused, and its graph, which starts filters in
    // the background, says E_FAIL from GetState when one did not start,
    // handing the camera's code over at Stop.
    if (check == "the busy code from connecting")
      return "the capture graph builder answers its own code for a refused connection";
    if (check == "the busy code from GetState")
      return "the graph answers its own code from GetState for a filter that did not start";
    return std::nullopt;
  }

 private:
  directshow::DirectShowPlatform platform_;
  KnownCamera camera_;
  std::wstring name_;
};

}  // namespace

std::unique_ptr<ContractRig> MakeRig() {
  return std::make_unique<DirectShowRig>();
}

}  // namespace varnholt::contract
