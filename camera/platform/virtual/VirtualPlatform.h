#pragma once

// The built-in simulated cameras: a real backend of the capture platform,
// described in JSON (docs/virtual-cameras.md), with fault injection, whose
// property state (values, automatic flags) is shared by every process of the
// same user through files in a state folder, as a real device's state is.

#include <QByteArray>
#include <QString>
#include <memory>
#include <stdexcept>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::virtualcam {

// A camera description that cannot be used; the message names the file (when
// there is one) and what is wrong with it.
class VirtualCameraError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class VirtualCameraSet;  // the parsed descriptions and their shared state

class VirtualPlatform : public Platform {
 public:
  // Cameras from the JSON file named by VARNHOLT_VIRTUAL_CAMERAS, else the
  // built-in set; state in the folder named by VARNHOLT_VIRTUAL_STATE, else
  // in the per-user runtime folder. Throws VirtualCameraError.
  static std::shared_ptr<VirtualPlatform> FromEnvironment();

  // Cameras from JSON text, state in stateDir. Throws VirtualCameraError.
  static std::shared_ptr<VirtualPlatform> FromJson(const QByteArray& json, const QString& stateDir,
                                                   const QString& sourceName = QString());

  // The built-in set as JSON text (the same schema).
  static QByteArray BuiltinCamerasJson();

  // The state folder used when VARNHOLT_VIRTUAL_STATE is not set.
  static QString DefaultStateDir();

  explicit VirtualPlatform(std::shared_ptr<VirtualCameraSet> cameras);
  ~VirtualPlatform() override;

  std::string Name() const override { return "virtual"; }
  HResult CreateInstance(ClassId classId, std::shared_ptr<Unknown>& object) override;
  std::string ErrorText(HResult code) override;
  HResult ShowPropertyFrame(WindowHandle owner, int x, int y, const std::string& caption,
                            const std::vector<std::shared_ptr<Unknown>>& objects,
                            const std::vector<Guid>& pages, std::uint32_t locale) override;
  // Sees cameras plugged in and out by any process sharing the state folder.
  std::unique_ptr<DeviceWatch> WatchDevices(std::function<void()> changed) override;

  const std::shared_ptr<VirtualCameraSet>& Cameras() const { return cameras_; }

  // Plugs a camera in or out by device path, for every process sharing the
  // state folder; hr::InvalidArg for an unknown path.
  HResult SetConnected(const std::string& devicePath, bool connected);

 private:
  std::shared_ptr<VirtualCameraSet> cameras_;
};

}  // namespace varnholt::platform::virtualcam
