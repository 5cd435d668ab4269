#include "settings/RestoreMarks.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "camera/FCamera.h"
#include "platform/ProfileFile.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsTarget.h"

namespace {

const QString kFileKey = QStringLiteral("File");
const QString kNameKey = QStringLiteral("Name");

}  // namespace

bool KnownOnlyByNode(const TFVideoCaptureDevice& device) {
  // "/dev/videoN" only. Compared by hand: a regular expression's first use
  // compiles it, a millisecond of the window's start.
  static const QLatin1String kNode("/dev/video");
  const QString& path = device.Path;
  if (!path.startsWith(kNode) || path.size() == kNode.size())
    return false;
  for (qsizetype i = kNode.size(); i < path.size(); ++i)
    if (path.at(i) < u'0' || path.at(i) > u'9')
      return false;
  return true;
}

QString CameraIdentity(const TFVideoCaptureDevice& device) {
  if (KnownOnlyByNode(device) || device.Path.isEmpty())
    return QStringLiteral("name:") + device.Name;
  return device.Path;
}

QString TRestoreMarks::DefaultFileName() {
  // GenericConfigLocation follows XDG_CONFIG_HOME, as the desktop expects.
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/varnholt/restore.ini");
}

TRestoreMarks::TRestoreMarks(QString fileName) : fileName_(std::move(fileName)) {}

std::optional<TRestoreMark> TRestoreMarks::Find(const TFVideoCaptureDevice& device) const {
  const varnholt::TIniSection section =
      varnholt::TIniFile(fileName_).ReadSectionValues(CameraIdentity(device));
  const QString file = section.ReadString(kFileKey, {});
  if (file.isEmpty())
    return std::nullopt;
  return TRestoreMark{file, section.ReadString(kNameKey, device.Name)};
}

void TRestoreMarks::Mark(const TFVideoCaptureDevice& device, const QString& file) {
  QDir().mkpath(QFileInfo(fileName_).absolutePath());
  varnholt::TIniFile(fileName_).WriteStrings(
      CameraIdentity(device),
      {{kNameKey, device.Name}, {kFileKey, QFileInfo(file).absoluteFilePath()}});
}

void TRestoreMarks::Unmark(const TFVideoCaptureDevice& device) {
  if (QFileInfo::exists(fileName_))
    varnholt::TIniFile(fileName_).EraseSection(CameraIdentity(device));
}

QString LoadSettingsFileOnto(TFCamera& camera, const QString& file) {
  const TSettingsFileReading reading = ReadSettingsFile(file, camera.DeviceName());
  if (!reading.Refusal.isEmpty())
    return reading.Refusal;
  TCameraSettingsTarget target(camera);
  ApplyCameraSettings(reading.Settings, target);
  return {};
}
