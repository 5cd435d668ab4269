// The three lists of the left column: cameras, the selected camera's video
// formats and the power-line frequency, and what a selection in them does.

#include "app/Application.h"
#include "app/FormMain.h"
#include "app/FormatText.h"
#include "app/Forms.h"
#include "app/LivecamController.h"
#include "controls/ButtonImage.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/Image.h"
#include "controls/ListBox.h"
#include "platform/Exception.h"

namespace {

constexpr int kCameraItemHeight = 44;
constexpr int kCameraFontSize = 18;
// The camera list grows by one entry up to five visible entries.
constexpr int kCameraListGrowLimit = 182;
constexpr int kListFrame = 2;

constexpr int kFormatItemHeight = 30;
constexpr int kFormatFontSize = 14;
constexpr int kFormatListFull = 150;  // five formats or more
constexpr int kFormatListCap = 154;
constexpr int kFormatListPadding = 5;

constexpr int kFrequencyItemHeight = 20;
constexpr int kFrequencyFontSize = 14;

// Ends a bulk update of a list however the block is left.
class TBulkUpdate {
 public:
  explicit TBulkUpdate(varnholt::TListBox* list) : list_(list) { list_->BeginUpdate(); }
  ~TBulkUpdate() { list_->EndUpdate(); }
  TBulkUpdate(const TBulkUpdate&) = delete;
  TBulkUpdate& operator=(const TBulkUpdate&) = delete;

 private:
  varnholt::TListBox* list_;
};

void SetListHeight(QWidget* list, int height) {
  list->resize(list->width(), height);
}

}  // namespace

QString TFormMain::SelectedCameraName() const {
  const int index = ComboBoxCamera->ItemIndex();
  return index < 0 ? QString() : ComboBoxCamera->item(index)->text();
}

void TFormMain::SetFrequencies() {
  ComboBoxFrequency->Clear();
  TBulkUpdate bulk(ComboBoxFrequency);
  for (const char* text : {"PAL - 50Hz", "NTSC - 60Hz"})
    ComboBoxFrequency->AddItem(text, herz->Bitmap(), kFrequencyFontSize, kFrequencyItemHeight);
}

void TFormMain::RefreshDevices() {
  const QString previous = FCamera->DeviceName();
  bool previousListed = false;
  {
    TBulkUpdate bulk(ComboBoxCamera);
    const QString remembered = SelectedCameraName();
    const TFVideoCaptureDevices devices = FCamera->Devices();
    ComboBoxCamera->Clear();
    int height = 0;
    for (const TFVideoCaptureDevice& device : devices) {
      // A long name is cut off in the narrow list; its tooltip shows all of it.
      ComboBoxCamera->AddItem(device.Name, Webcam->Bitmap(), kCameraFontSize, kCameraItemHeight)
          ->setToolTip(device.Name);
      if (height < kCameraListGrowLimit)
        height += kCameraItemHeight;
      previousListed = previousListed || device.Name == previous || device.Path == previous;
    }
    SetListHeight(ComboBoxCamera, height + kListFrame);
    for (int i = 0; i < ComboBoxCamera->count(); ++i) {
      if (ComboBoxCamera->item(i)->text().compare(remembered, Qt::CaseInsensitive) == 0) {
        ComboBoxCamera->SetItemIndex(i);
        break;
      }
    }
  }
  // A camera test whose camera has gone ends here rather than freezing.
  if (!previous.isEmpty() && !previousListed && LivecamVisible())
    livecam_->EndLivecamOfLostCamera();
  // The bound device may be dead even when a camera of its name is listed
  // again (unplugged and plugged back in): the next use binds afresh.
  FCamera->SetActive(false);
  FCamera->Rebind();
  // Outside the bulk update, so that a new selection loads its camera.
  // An error of the camera's loading belongs to our caller, as it would if
  // we had called the handler ourselves.
  bool selected = false;
  if (ComboBoxCamera->ItemIndex() < 0 && ComboBoxCamera->count() > 0) {
    varnholt::RaisingHandlerErrors([this] { ComboBoxCamera->SetItemIndex(0); });
    selected = true;
  }

  if (!previous.isEmpty() && !previousListed)
    ShowStatusMessage(previous + " was disconnected");
  // A new selection's handler has just filled the formats and the rows.
  if (!selected) {
    SetFormats();
    SetTrackBars();
  }
  // As SetSupportStatus has it: only a property to set makes them useful.
  const bool configurable = !FCamera->DeviceName().isEmpty() && CameraStatus() == 2;
  for (QWidget* button :
       std::initializer_list<QWidget*>{ButtonDefaultValues, ButtonWindows, ButtonWrite, ButtonRead})
    button->setEnabled(configurable);
  if (ComboBoxFormat->count() > 0)
    RestoreFormatSelection();
}

void TFormMain::FCameraDevicesChanged(TFCamera*) {
  if (TraceMode_)
    LogMe("FCameraDevicesChanged");
  // A running test goes on while its camera stays; the list catches up
  // when the test ends.
  if (LivecamVisible()) {
    const QString tested = FCamera->DeviceName();
    for (const TFVideoCaptureDevice& device : FCamera->Devices())
      if (device.Name == tested || device.Path == tested) {
        livecam_->SetDevicesChangedDuringLivecam(true);
        return;
      }
  }
  livecam_->SetDevicesChangedDuringLivecam(false);
  RefreshDevices();
}

void TFormMain::RestoreFormatSelection() {
  const int index = LastResolutionIndex_ >= ComboBoxFormat->count() ? 0 : LastResolutionIndex_;
  varnholt::RaisingHandlerErrors([&] { ComboBoxFormat->SetItemIndex(index); });
}

void TFormMain::SetFormats() {
  ComboBoxFormat->Clear();
  SetListHeight(ComboBoxFormat, 0);
  TBulkUpdate bulk(ComboBoxFormat);
  FCamera->SetActive(false);
  FCamera->SetDeviceName(SelectedCameraName());
  ComboBoxFormat->Clear();
  SetListHeight(ComboBoxFormat, 0);
  ComboBoxFormat->setEnabled(!FCamera->DeviceName().isEmpty());
  if (!ComboBoxFormat->isEnabled()) {
    // No camera: nothing of the last one may show as if it were still there.
    SetCameraStatus(0);
    SetSupportStatus();
    return;
  }

  int height = 0;
  for (const TFCameraFormat& format : FCamera->SupportedFormats()) {
    const varnholt::TImage* picture = format.Height > 720    ? res_1080
                                      : format.Height == 720 ? res_720
                                      : format.Height > 500  ? res_pal
                                      : format.Height >= 480 ? res_vga
                                                             : res_ega;
    ComboBoxFormat->AddItem(FormatText(format), picture->Bitmap(), kFormatFontSize,
                            kFormatItemHeight);
    height += kFormatItemHeight;
    SetListHeight(ComboBoxFormat, height);
  }
  if (height == 0) {
    SetCameraStatus(0);
  } else {
    if (TraceMode_)
      LogMe(QString::number(height));
    SetListHeight(ComboBoxFormat,
                  height >= kFormatListFull ? kFormatListCap : height + kFormatListPadding);
    SetCameraStatus(1);
  }
  SetSupportStatus();
}

void TFormMain::ComboBoxCameraChange(QObject*) {
  if (TraceMode_)
    LogMe("ComboBoxCameraChange started");
  try {
    FormResize(this);
  } catch (...) {
    // The layout rule has no say in the selection.
  }
  ShowRestoreMark();
  if (ComboBoxCamera->ItemIndex() < 0) {
    ComboBoxFormat->Clear();
    return;
  }
  if (TraceMode_) {
    LogMe("   ");
    LogMe("Starting SetFormats");
  }
  SetFormats();
  if (TraceMode_)
    LogMe("Starting SetTrackBars");
  SetTrackBars();
  if (ComboBoxFormat->count() > 0)
    RestoreFormatSelection();
  setWindowTitle(varnholt::Application::Title());
  if (TraceMode_)
    LogMe("Doing the \"if not(ComboBoxFormat.Items.c\"");
  if (ComboBoxFormat->count() == 0) {
    if (TraceMode_)
      LogMe("in it");
    // Without a format there is nothing to test; the properties may still
    // be configurable, and SetSupportStatus has said so already.
    ButtonTestCam->setEnabled(false);
    StatusLabel->setText(" ");
  }
  if (TraceMode_)
    LogMe("Starting FormResize");
  FormResize(this);
  if (TraceMode_)
    LogMe("ComboBoxCameraChange done");
}

void TFormMain::ComboBoxFormatChange(QObject*) {
  if (TraceMode_)
    LogMe("ComboBoxFormatChange");
  try {
    if (LivecamForm)
      LivecamForm->hide();
    if (TraceMode_)
      LogMe("Hide 4");
  } catch (...) {
    // A test window that cannot hide has nothing to show anyway.
  }
  SetSupportStatus();
}

void TFormMain::ComboBoxFormatDblClick(QObject*) {
  if (!LivecamVisible())
    StartDevice();
}

void TFormMain::ComboBoxFrequencyClick(QObject*) {
  if (!FCamera->PowerLineFrequencySupported())
    return;
  const int index = ComboBoxFrequency->ItemIndex();
  if (index == 0)
    FCamera->SetPowerLineFrequency(pf50Hz);
  else if (index == 1)
    FCamera->SetPowerLineFrequency(pf60Hz);
  validatefrequency();
}

void TFormMain::validatefrequency() {
  if (!FCamera->PowerLineFrequencySupported())
    return;
  // The list shows what the camera holds now, whoever set it; a value it
  // has no entry for selects none, so that a save cannot write a stale one.
  const TFPowerLineFrequency frequency = FCamera->PowerLineFrequency();
  ComboBoxFrequency->SetItemIndex(frequency == pf50Hz ? 0 : frequency == pf60Hz ? 1 : -1);
}

void TFormMain::VarnholtlogoClick(QObject*) {
  RefreshDevices();
}
