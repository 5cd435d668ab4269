#include "settings/SettingsFile.h"

#include <QFileInfo>

#include "platform/ProfileFile.h"

TSettingsFileReading ReadSettingsFile(const QString& path, const QString& cameraName) {
  TSettingsFileReading result;
  const QString shownName = QFileInfo(path).fileName();
  const varnholt::TIniSectionReading reading =
      varnholt::TIniFile(path).ReadSectionValuesChecked(cameraName);
  if (reading.Fault != varnholt::TIniFault::None) {
    result.Refusal = "Cannot load " + shownName + ": " + varnholt::IniFaultText(reading.Fault);
    return result;
  }
  // A key the section lacks leaves its property as it is.
  result.Settings = ReadCameraSettings(reading.Section);
  if (!HoldsAnySetting(result.Settings))
    result.Refusal = shownName + " holds no settings for " + cameraName;
  return result;
}

void WriteSettingsFile(const QString& path, const QString& cameraName,
                       const TCameraSettings& settings) {
  varnholt::TIniFile(path).WriteStrings(cameraName, CameraSettingsEntries(settings));
}
