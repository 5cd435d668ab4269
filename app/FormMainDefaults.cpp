// Factory defaults and the driver's own property dialog for the selected
// camera as a whole.

#include "app/Application.h"
#include "app/FormMain.h"
#include "settings/FactoryDefaults.h"

QString TFormMain::CameraNameForMessages() const {
  const QString name = SelectedCameraName();
  return name.isEmpty() ? QStringLiteral("This camera") : name;
}

void TFormMain::ButtonDefaultValuesClick(QObject*) {
  if (TraceMode_)
    LogMe("ButtonDefaultValuesClick Step 01");
  if (CameraStatus() != 2) {
    ShowStatusMessage(CameraNameForMessages() + " does not support setting default values");
    return;
  }
  if (!MessageDlgSimple("Reset settings for " + CameraNameForMessages())) {
    ShowStatusMessage("Nothing changed");
    return;
  }
  if (TraceMode_)
    LogMe("ButtonDefaultValuesClick Step 02");
  // Refusals keep their values and are not reported, as ever; a camera
  // another program keeps busy refused nothing, and the user must know.
  QString busy;
  for (const TDefaultRefusal& refusal : ResetToFactoryDefaults(*FCamera))
    if (refusal.Code == varnholt::platform::hr::Busy && busy.isEmpty())
      busy = refusal.Message;
  if (TraceMode_)
    LogMe("ButtonDefaultValuesClick - calling SetTrackBars");
  try {
    SetTrackBars();
  } catch (...) {
    // Rows the reload did not reach stay blank until the next one.
  }
  if (TraceMode_) {
    LogMe("### Returned from SetTrackBars");
    LogMe("### und weiter");
    LogMe("ButtonDefaultValuesClick Step 03");
  }
  SetSupportStatus();
  setWindowTitle(varnholt::Application::Title());
  StatusLabel->setText(" ");
  if (!busy.isEmpty()) {
    ShowMessageSimple(CameraNameForMessages() + " kept its settings: " + busy);
    return;
  }
  ShowStatusMessage("Factory defaults loaded");
  if (TraceMode_)
    LogMe(" ButtonDefaultValuesClick Step 04");
}

void TFormMain::ButtonWindowsClick(QObject*) {
  try {
    FCamera->ShowPropertyDialog();
  } catch (...) {
    ShowStatusMessage(CameraNameForMessages() + " does not support this dialog function");
    if (TraceMode_)
      LogMe("ButtonWindowsClick Error");
  }
  // Whatever happened in the dialog shows in the rows.
  ComboBoxCameraChange(this);
}
