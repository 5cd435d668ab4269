#pragma once

// What the platform contract tests need from a backend: its Platform, one
// camera whose properties and formats are known beforehand, and the means to
// make that camera busy, unplug it or fail one call. Each backend's test
// program links exactly one rig (VirtualRig.cpp, V4l2Rig.cpp,
// DirectShowRig.cpp), so that the same test sources hold all of them to the
// same behaviour.
//
// Standard library and the platform interfaces only: the Windows build has
// no Qt.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"

namespace varnholt::contract {

// A property of the known camera and what its range is.
struct KnownProperty {
  platform::PropertyFamilyKind family;
  std::int32_t id;  // the family's published id
  std::int32_t min, max, step, defaultValue;
  std::int32_t caps;  // the capability flags GetRange answers
};

struct KnownCamera {
  std::string friendlyName;
  std::string devicePath;
  // Properties without an automatic mode, at least one of each family.
  std::vector<KnownProperty> properties;
  // Per family, a published id the camera does not have.
  std::int32_t missing[platform::kPropertyFamilyCount];
  // A YUY2 size the capture pin offers besides the one it starts with.
  std::int32_t otherWidth, otherHeight;
};

class ContractRig {
 public:
  virtual ~ContractRig() = default;

  virtual platform::Platform& Platform() = 0;
  virtual const KnownCamera& Camera() const = 0;

  // Another program takes the camera's stream (true) or lets it go.
  virtual void MakeBusy(bool busy) = 0;
  // The camera goes away; Replug brings it back as a new device.
  virtual void Unplug() = 0;
  virtual void Replug() = 0;
  // The call at point ("IAMVideoProcAmp.Set") on the camera's objects
  // answers code instead of doing its work until ClearCall.
  virtual void FailCall(const std::string& point, platform::HResult code) = 0;
  virtual void ClearCall(const std::string& point) = 0;
  // The camera back to normal: free, plugged in, no failing call.
  virtual void Reset() = 0;

  // Why this backend cannot do something the contract asks, where it
  // legitimately differs (the test then checks what remains and records the
  // reason); nullopt when it can. Asked by the check's name.
  virtual std::optional<std::string> Cannot(const std::string& check) const {
    (void)check;
    return std::nullopt;
  }
};

// The rig of the backend this test program is built for.
std::unique_ptr<ContractRig> MakeRig();

}  // namespace varnholt::contract
