#pragma once

// The parsed camera descriptions of one platform and their shared state.

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "camera/platform/virtual/CameraDescription.h"
#include "camera/platform/virtual/FaultTable.h"
#include "camera/platform/virtual/VirtualCamera.h"

namespace varnholt::platform::virtualcam {

class VirtualCameraSet {
 public:
  // Throws VirtualCameraError naming sourceName.
  static std::shared_ptr<VirtualCameraSet> FromJson(const QByteArray& json, const QString& stateDir,
                                                    const QString& sourceName = QString());

  VirtualCameraSet(CameraSetDescription description, const QString& stateDir);

  const QString& StateDir() const { return settings_->dir; }
  const CameraSetDescription& Description() const { return description_; }
  // Every described camera, unplugged ones too, in description order.
  const std::vector<std::shared_ptr<VirtualCamera>>& Cameras() const { return cameras_; }

  // By exact device path; null when there is none.
  std::shared_ptr<VirtualCamera> FindByPath(const std::string& devicePath) const;
  // All cameras whose device path or else friendly name is nameOrPath.
  std::vector<std::shared_ptr<VirtualCamera>> Find(const std::string& nameOrPath) const;

  // Plugs a camera in or out for every process; hr::InvalidArg for an
  // unknown path, else as a state write (hr::Busy, hr::AccessDenied).
  HResult SetConnected(const std::string& devicePath, bool connected);

  // The text a description gave with a fault code, empty when none.
  std::string ErrorText(HResult code) const;

  // The faults injected into this set's calls of the seam, armed first
  // from the description.
  FaultTable& Faults() const { return *faults_; }
  const std::shared_ptr<FaultTable>& SharedFaults() const { return faults_; }

  // How long a write waits for another writer's lock before hr::Busy.
  void SetLockTimeout(int milliseconds);

 private:
  CameraSetDescription description_;
  std::shared_ptr<StateSettings> settings_;
  std::vector<std::shared_ptr<VirtualCamera>> cameras_;
  std::shared_ptr<FaultTable> faults_ = std::make_shared<FaultTable>();
};

}  // namespace varnholt::platform::virtualcam
