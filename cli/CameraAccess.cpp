#include "cli/CameraAccess.h"

#include <QFileInfo>

#include "camera/PropertyKeys.h"
#include "camera/platform/PlatformFactory.h"
#include "cli/Cli.h"
#include "platform/TerminalText.h"
#include "settings/CameraSettings.h"

namespace varnholt::cli {

std::shared_ptr<varnholt::platform::Platform> CapturePlatform() {
  std::shared_ptr<varnholt::platform::Platform> platform = varnholt::platform::ActivePlatform();
  if (!platform)
    throw CliError(kExitFailure, "No capture platform");
  return platform;
}

TFVideoCaptureDevice FindCamera(const TFVideoCaptureDevices& devices, const QString& argument) {
  for (const TFVideoCaptureDevice& device : devices)
    if (device.Name == argument)
      return device;
  // On V4L2 a device's path is a /dev/v4l/by-id link or the node itself.
  const QString node = QFileInfo(argument).canonicalFilePath();
  if (!node.isEmpty())
    for (const TFVideoCaptureDevice& device : devices)
      if (QFileInfo(device.Path).canonicalFilePath() == node)
        return device;
  QStringList candidates;
  std::optional<TFVideoCaptureDevice> found;
  for (const TFVideoCaptureDevice& device : devices) {
    if (device.Name.compare(argument, Qt::CaseInsensitive) == 0)
      return device;
    if (device.Name.startsWith(argument, Qt::CaseInsensitive)) {
      candidates << TerminalField(device.Name);
      found = device;
    }
  }
  if (candidates.size() == 1)
    return *found;
  if (candidates.size() > 1)
    throw CliError(kExitNoCamera,
                   "\"" + argument + "\" fits several cameras: " + candidates.join(", "));
  throw CliError(kExitNoCamera, "No camera \"" + argument + "\" (varnholtctl list shows them)");
}

TCameraSession::TCameraSession(const QString& argument)
    : Camera(std::make_unique<TFCamera>(nullptr, CapturePlatform())) {
  Device = FindCamera(Camera->Devices(), argument);
  Name = Device.Name;
  Camera->SetDeviceName(Name);
}

std::optional<std::size_t> FindProperty(const QString& name) {
  for (std::size_t key = 0; key < kPropertyKeys.size(); ++key)
    if (name.compare(QLatin1String(kPropertyKeys[key].Name), Qt::CaseInsensitive) == 0)
      return key;
  if (name.compare(kPowerFrequencyKey, Qt::CaseInsensitive) == 0)
    return std::nullopt;
  QStringList names;
  for (const TFPropertyKey& key : kPropertyKeys)
    names << QLatin1String(key.Name);
  names << kPowerFrequencyKey;
  throw CliError(kExitUsage, "Unknown property " + name + "; properties: " + names.join(", "));
}

}  // namespace varnholt::cli
