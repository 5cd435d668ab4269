// The "Restore on plug-in" choice beside Save: the selected camera's mark,
// shown as it stands and set or cleared by the user.

#include <QFileInfo>

#include "app/FormMain.h"
#include "platform/ProfileFile.h"
#include "settings/RestoreMarks.h"

std::optional<TFVideoCaptureDevice> TFormMain::SelectedDevice() const {
  const QString name = SelectedCameraName();
  if (name.isEmpty())
    return std::nullopt;
  for (const TFVideoCaptureDevice& device : FCamera->Devices())
    if (device.Name == name)
      return device;
  return std::nullopt;
}

void TFormMain::ShowRestoreMark() {
  const std::optional<TFVideoCaptureDevice> device = SelectedDevice();
  RestoreOnPlugIn->setEnabled(device.has_value());
  RestoreOnPlugIn->setChecked(device && TRestoreMarks().Find(*device).has_value());
}

void TFormMain::MarkForRestore(const TFVideoCaptureDevice& device, const QString& file) {
  try {
    TRestoreMarks().Mark(device, file);
    ShowStatusMessage(device.Name + " gets " + QFileInfo(file).fileName() + " on plug-in");
  } catch (const varnholt::EIniFileException& e) {
    RestoreOnPlugIn->setChecked(false);
    ShowMessageSimple(QString::fromUtf8(e.what()));
  }
}

void TFormMain::RestoreOnPlugInClick(QObject*) {
  const std::optional<TFVideoCaptureDevice> device = SelectedDevice();
  if (!device) {
    // The list of cameras could not be read: the click changed nothing.
    ShowRestoreMark();
    ShowStatusMessage(CameraNameForMessages() + " not found: its mark is unchanged");
    return;
  }
  if (!RestoreOnPlugIn->isChecked()) {
    try {
      TRestoreMarks().Unmark(*device);
      ShowStatusMessage(device->Name + " gets nothing on plug-in");
    } catch (const varnholt::EIniFileException& e) {
      RestoreOnPlugIn->setChecked(true);
      ShowMessageSimple(QString::fromUtf8(e.what()));
    }
    return;
  }
  // The mark names a file: the one last saved or loaded here.
  if (LastSettingsFile_.isEmpty()) {
    RestoreOnPlugIn->setChecked(false);
    ShowStatusMessage("Save or load a settings file first");
    return;
  }
  MarkForRestore(*device, LastSettingsFile_);
}
