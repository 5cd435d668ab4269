// Camera settings files: the selected camera's rows saved into its section
// of a settings file, and loaded back through the rows' own change
// handlers, so that a load reaches the camera exactly as the user's edits do.

#include <QFileInfo>

#include "app/Application.h"
#include "app/CameraSettings.h"
#include "app/FormMain.h"
#include "camera/PropertyKeys.h"
#include "controls/ButtonImage.h"
#include "controls/FileDialog.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/ListBox.h"
#include "controls/Timer.h"
#include "controls/TrackBar.h"
#include "platform/DocumentsFolder.h"
#include "platform/ProfileFile.h"

namespace {

// Each dialog starts afresh in the settings folder with "*.vhx" offered:
// nothing of an earlier run is remembered.
bool Choose(varnholt::TFileDialog& dialog) {
  dialog.SetFilter(kSettingsFilter);
  dialog.SetDefaultExt(kSettingsExtension);
  dialog.SetInitialDir(varnholt::SettingsFolder());
  dialog.SetFileName(kSettingsFileMask);
  return dialog.Execute();
}

}  // namespace

void TFormMain::ShowStatusMessage(const QString& text) {
  MessageLabel->setText(text);
  MessageTimer->SetInterval(4000);
}

void TFormMain::ButtonReadClick(QObject*) {
  ComboBoxCameraChange(this);
  varnholt::CreateSettingsFolder();
  if (!Choose(*OpenDialog1))
    return;
  IniFileName = OpenDialog1->FileName();
  const varnholt::TIniFile IniFile(IniFileName);
  // Only now: the refresh may have re-read the camera list meanwhile.
  if (ComboBoxCamera->ItemIndex() < 0)
    return;
  // A file that cannot be read, or holds nothing for this camera, would
  // load as all zeros and turn a real camera flat grey: refuse it whole.
  const QString shownName = QFileInfo(IniFileName).fileName();
  const varnholt::TIniSectionReading reading =
      IniFile.ReadSectionValuesChecked(SelectedCameraName());
  if (reading.Fault != varnholt::TIniFault::None) {
    ShowMessageSimple("Cannot load " + shownName + ": " + varnholt::IniFaultText(reading.Fault));
    return;
  }
  // A key the section lacks leaves its property as it is.
  const TStoredCameraSettings settings = ReadCameraSettings(reading.Section);
  if (!HoldsAnySetting(settings)) {
    ShowMessageSimple(shownName + " holds no settings for " + SelectedCameraName());
    return;
  }

  // Setting a control runs its change handler, which writes to the camera.
  auto row = [this](std::size_t key) { return Row(ValueKey(key)); };
  auto supported = [this](std::size_t key) { return (FCamera->*kPropertyKeys[key].Supported)(); };
  for (std::size_t key = 0; key < kPropertyKeys.size(); ++key)
    if (supported(key) && settings.Values[key])
      row(key)->TrackBar->SetValue(*settings.Values[key]);
  for (std::size_t key = 0; key < kPropertyKeys.size(); ++key)
    if (supported(key) && settings.Ticks[key])
      row(key)->CheckBox->setChecked(*settings.Ticks[key]);

  if (settings.PowerFrequency && FCamera->PowerLineFrequencySupported()) {
    try {
      // An index that names no entry leaves the selection as it was.
      const int index = *settings.PowerFrequency;
      if (index >= -1 && index < ComboBoxFrequency->count())
        ComboBoxFrequency->SetItemIndex(index);
      ComboBoxFrequencyClick(ComboBoxFrequency);
    } catch (...) {
      // The camera's own choice stays; the rest of the file is in place.
    }
  }

  // The values above went out before the ticks. A property automatic in the
  // camera and manual in the file got its value while still automatic,
  // which drivers ignore or refuse, and its tick then switched it to manual
  // with the camera's own value. With every mode now in place, the file's
  // manual values go out once more; a tick the file lacks stays as shown.
  for (std::size_t key = 0; key < kPropertyKeys.size(); ++key)
    if (settings.Values[key] && !settings.Ticks[key].value_or(row(key)->CheckBox->isChecked()) &&
        supported(key))
      row(key)->TrackBar->SetValue(*settings.Values[key]);

  StatusLabel->setText("");
  setWindowTitle(varnholt::Application::Title());
  // The rows change in place; the status panel says where they came from.
  ShowStatusMessage("Loaded " + shownName);
}

void TFormMain::ButtonWriteClick(QObject*) {
  varnholt::CreateSettingsFolder();
  if (!Choose(*SaveDialog1)) {
    ShowStatusMessage("Nothing saved");
    return;
  }
  const QString path = SaveDialog1->FileName();
  if (QFileInfo::exists(path) &&
      !MessageDlgSimple("Overwrite file \"" + QFileInfo(path).fileName() + "\"")) {
    ShowStatusMessage("Nothing saved");
    return;
  }
  IniFileName = path;
  varnholt::TIniFile IniFile(IniFileName);
  // Only now: the refresh may have re-read the camera list meanwhile.
  if (ComboBoxCamera->ItemIndex() < 0) {
    ShowStatusMessage("Nothing saved");
    return;
  }
  // What the window shows, supported or not.
  TCameraSettings settings;
  for (std::size_t key = 0; key < kPropertyKeys.size(); ++key) {
    const TPropertyRow& row = *Row(ValueKey(key));
    settings.Values[key] = row.TrackBar->Value();
    settings.Ticks[key] = row.CheckBox->isChecked();
  }
  settings.PowerFrequency = ComboBoxFrequency->ItemIndex();
  // One replacement of the file: a failed save leaves it as it was.
  IniFile.WriteStrings(SelectedCameraName(), CameraSettingsEntries(settings));

  ShowStatusMessage("Settings saved");
  StatusLabel->setText("");
  setWindowTitle(varnholt::Application::Title());
}

void TFormMain::BindSettingsHandlers() {
  varnholt::ConnectGuarded(ButtonRead, &TButtonImage::Click, this,
                           [this] { ButtonReadClick(ButtonRead); });
  varnholt::ConnectGuarded(ButtonWrite, &TButtonImage::Click, this,
                           [this] { ButtonWriteClick(ButtonWrite); });
  varnholt::ConnectGuarded(ButtonDefaultValues, &TButtonImage::Click, this,
                           [this] { ButtonDefaultValuesClick(ButtonDefaultValues); });
  varnholt::ConnectGuarded(ButtonWindows, &TButtonImage::Click, this,
                           [this] { ButtonWindowsClick(ButtonWindows); });
}
