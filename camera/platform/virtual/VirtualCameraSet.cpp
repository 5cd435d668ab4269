#include "camera/platform/virtual/VirtualCameraSet.h"

#include "camera/platform/virtual/DescriptionParser.h"

namespace varnholt::platform::virtualcam {

std::shared_ptr<VirtualCameraSet> VirtualCameraSet::FromJson(const QByteArray& json,
                                                             const QString& stateDir,
                                                             const QString& sourceName) {
  return std::make_shared<VirtualCameraSet>(ParseCameraSet(json, sourceName), stateDir);
}

VirtualCameraSet::VirtualCameraSet(CameraSetDescription description, const QString& stateDir)
    : description_(std::move(description)), settings_(std::make_shared<StateSettings>()) {
  settings_->dir = stateDir;
  for (const auto& camera : description_.cameras)
    cameras_.push_back(std::make_shared<VirtualCamera>(camera, settings_));
  for (const FaultEntry& fault : description_.faults)
    faults_->Arm(fault.point, fault.code, fault.count, fault.device);
}

std::shared_ptr<VirtualCamera> VirtualCameraSet::FindByPath(const std::string& devicePath) const {
  for (const auto& camera : cameras_)
    if (camera->Description().devicePath == devicePath)
      return camera;
  return nullptr;
}

std::vector<std::shared_ptr<VirtualCamera>> VirtualCameraSet::Find(
    const std::string& nameOrPath) const {
  if (auto camera = FindByPath(nameOrPath))
    return {camera};
  std::vector<std::shared_ptr<VirtualCamera>> found;
  for (const auto& camera : cameras_)
    if (camera->Description().friendlyName == nameOrPath)
      found.push_back(camera);
  return found;
}

HResult VirtualCameraSet::SetConnected(const std::string& devicePath, bool connected) {
  const auto camera = FindByPath(devicePath);
  return camera ? camera->SetConnected(connected) : hr::InvalidArg;
}

std::string VirtualCameraSet::ErrorText(HResult code) const {
  const auto it = description_.faultTexts.find(code);
  return it == description_.faultTexts.end() ? std::string() : it->second;
}

void VirtualCameraSet::SetLockTimeout(int milliseconds) {
  settings_->lockTimeoutMs = milliseconds;
}

}  // namespace varnholt::platform::virtualcam
