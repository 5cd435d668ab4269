// The Load and Save buttons: the selected camera's rows saved into its
// section of a settings file, and loaded back through the rows' own change
// handlers, so that a load reaches the camera exactly as the user's edits do.

#include <QFileInfo>

#include "app/Application.h"
#include "app/FormMain.h"
#include "camera/PropertyKeys.h"
#include "controls/ButtonImage.h"
#include "controls/FileDialog.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/ListBox.h"
#include "controls/Timer.h"
#include "controls/TrackBar.h"
#include "platform/DocumentsFolder.h"
#include "settings/CameraSettings.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsTarget.h"

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

static_assert(kSettingsKeyCount == kRowCount);

}  // namespace

// A load goes through the rows' own change handlers, as the user's edits do.
class TFormMain::TRowsTarget : public TSettingsTarget {
 public:
  explicit TRowsTarget(TFormMain& form) : form_(form) {}
  bool Supported(std::size_t key) override {
    TFCamera& camera = *form_.FCamera;  // see TPropertyRowsPanel::SetTrackBars
    return (camera.*kPropertyKeys[key].Supported)();
  }
  // Setting a control runs its change handler, which writes to the camera.
  void SetValue(std::size_t key, float value) override { Row(key).TrackBar->SetValue(value); }
  bool Tick(std::size_t key) override { return Row(key).CheckBox->isChecked(); }
  void SetTick(std::size_t key, bool tick) override { Row(key).CheckBox->setChecked(tick); }
  bool PowerFrequencySupported() override { return form_.FCamera->PowerLineFrequencySupported(); }
  void SetPowerFrequency(int index) override {
    // An index that names no entry leaves the selection as it was.
    if (index >= -1 && index < form_.ComboBoxFrequency->count())
      form_.ComboBoxFrequency->SetItemIndex(index);
    form_.ComboBoxFrequencyClick(form_.ComboBoxFrequency);
  }

 private:
  TPropertyRow& Row(std::size_t key) { return *form_.Row(ValueKey(key)); }
  TFormMain& form_;
};

void TFormMain::ShowStatusMessage(const QString& text) {
  MessageLabel->setText(text);
  MessageTimer->SetInterval(4000);
}

void TFormMain::ButtonReadClick(QObject*) {
  ComboBoxCameraChange(this);
  varnholt::CreateSettingsFolder();
  if (!Choose(*OpenDialog1))
    return;
  IniFileName_ = OpenDialog1->FileName();
  // Only now: the refresh may have re-read the camera list meanwhile.
  if (ComboBoxCamera->ItemIndex() < 0)
    return;
  const TSettingsFileReading reading = ReadSettingsFile(IniFileName_, SelectedCameraName());
  if (!reading.Refusal.isEmpty()) {
    ShowMessageSimple(reading.Refusal);
    return;
  }
  TRowsTarget rows(*this);
  ApplyCameraSettings(reading.Settings, rows);
  LastSettingsFile_ = IniFileName_;

  StatusLabel->setText("");
  setWindowTitle(varnholt::Application::Title());
  // The rows change in place; the status panel says where they came from.
  ShowStatusMessage("Loaded " + QFileInfo(IniFileName_).fileName());
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
  IniFileName_ = path;
  // Only now: the refresh may have re-read the camera list meanwhile.
  if (ComboBoxCamera->ItemIndex() < 0) {
    ShowStatusMessage("Nothing saved");
    return;
  }
  // What the window shows, supported or not.
  TCameraSettings settings;
  for (std::size_t key = 0; key < kSettingsKeyCount; ++key) {
    const TPropertyRow& row = *Row(ValueKey(key));
    settings.Values[key] = row.TrackBar->Value();
    settings.Ticks[key] = row.CheckBox->isChecked();
  }
  settings.PowerFrequency = ComboBoxFrequency->ItemIndex();
  WriteSettingsFile(IniFileName_, SelectedCameraName(), settings);
  LastSettingsFile_ = IniFileName_;
  // A ticked "Restore on plug-in" brings back what was saved last.
  if (RestoreOnPlugIn->isChecked())
    if (const std::optional<TFVideoCaptureDevice> device = SelectedDevice())
      MarkForRestore(*device, IniFileName_);

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
  // Clicks only: the box also follows the selection, which marks nothing.
  varnholt::ConnectGuarded(RestoreOnPlugIn, &QCheckBox::clicked, this,
                           [this] { RestoreOnPlugInClick(RestoreOnPlugIn); });
}
