// The seventeen property rows: loading them from the camera, their blank and
// live looks, the support display that follows from them, and the two
// handlers that carry the user's changes to the camera.

#include <QListWidgetItem>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "app/FormMain.h"
#include "app/Look.h"
#include "settings/ValueText.h"
#include "camera/PropertyKeys.h"
#include "controls/ButtonImage.h"
#include "controls/Effects.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/Image.h"
#include "controls/ListBox.h"
#include "controls/TrackBar.h"

namespace {

constexpr int kRowFontSize = 16;
// The value column's design width, and the room kept beside its widest text.
constexpr int kValueColumnWidth = 40;
constexpr int kValueColumnPadding = 3;
const QColor kBlankColor = QColor::fromRgba(0xFF808080);
const QColor kLiveColor = QColor::fromRgba(0xFF000000);

// Text look of a row component: font size and colour for every state.
void SetLook(QWidget* widget, const QColor& color) {
  QFont font = widget->font();
  font.setPixelSize(kRowFontSize);
  widget->setFont(font);
  varnholt::SetTextColor(widget, color);
}

// The camera's value truncated toward zero; slider ends beyond the integer
// range (a float rounds 2147483647 up) stay at its ends.
std::int32_t Truncated(float value) {
  const double whole = std::trunc(static_cast<double>(value));
  if (whole >= 2147483647.0)
    return INT32_MAX;
  if (whole <= -2147483648.0)
    return INT32_MIN;
  return static_cast<std::int32_t>(whole);
}

}  // namespace

namespace {

// The property key of a row, by name.
const TFPropertyKey& KeyOf(const TPropertyRow& row) {
  for (const TFPropertyKey& key : kPropertyKeys)
    if (QLatin1String(key.Name) == QLatin1String(row.Design->Key))
      return key;
  throw std::logic_error("row without a property key");
}

}  // namespace

void TFormMain::SetTrackBars() {
  if (TraceMode)
    LogMe("SetTrackBars entered");
  if (!LoadingTrackBars) {
    LoadingTrackBars = true;
    try {
      for (TPropertyRow& row : Rows)
        row.ValueLabel->setText("");
      if (TraceMode)
        LogMe("Blanks done");
      LayoutFrequency->hide();

      if (TraceMode)
        LogMe("Starting  InitTrackBar BLOCK");
      try {
        for (const TFPropertyKey& key : kPropertyKeys)
          InitTrackBar(*Row(QString::fromLatin1(key.Name)));
        if (TraceMode)
          LogMe("InitTrackBar BLOCK ended OK");
      } catch (...) {
        if (TraceMode)
          LogMe("*** InitTrackBar error");
      }
      if (TraceMode) {
        LogMe("InitTrackBar group OK");
        LogMe("Starting  SetTrackBar BLOCK");
      }

      if (!FCamera->DeviceName().isEmpty()) {
        if (FCamera->PowerLineFrequencySupported()) {
          LayoutFrequency->show();
          validatefrequency();
        }
        if (TraceMode) {
          LogMe("FCamera.DeviceName is not BLANK");
          LogMe(FCamera->DeviceName());
        }
        // Brightness first, then the others in key order.
        std::vector<const TFPropertyKey*> order;
        for (const TFPropertyKey& key : kPropertyKeys)
          if (QLatin1String(key.Name) == QLatin1String("Brightness"))
            order.insert(order.begin(), &key);
          else
            order.push_back(&key);
        for (const TFPropertyKey* key : order) {
          if (!(FCamera->*key->Supported)())
            continue;
          const std::int32_t value = (FCamera->*key->Value)();
          const TFRange range = (FCamera->*key->Range)();
          const bool automatic = (FCamera->*key->IsAuto)();
          TPropertyRow& row = *Row(QString::fromLatin1(key->Name));
          SetTrackBar(row.Monochrome, row.Layout, row.Label, row.ValueLabel, row.TrackBar,
                      row.CheckBox, value, range, automatic);
          CameraStatus = 2;
        }
      }
      FitValueColumns();
    } catch (...) {
      LoadingTrackBars = false;
      throw;
    }
    LoadingTrackBars = false;
  }
  if (TraceMode)
    LogMe("Calling SetSupportStatus");
  SetSupportStatus();
}

void TFormMain::FitValueColumns() {
  // The widest value any live slider can show, its sign included (a pan
  // of -36000); the columns stay aligned, so all take that width.
  int widest = 0;
  for (const TPropertyRow& row : Rows)
    if (row.ValueLabel->isEnabled()) {
      const QFontMetrics metrics = row.ValueLabel->fontMetrics();
      for (const float end : {row.TrackBar->Min(), row.TrackBar->Max()})
        widest = std::max(widest, metrics.horizontalAdvance(ValueText(end)));
    }
  const int width = std::max(kValueColumnWidth, widest + 2 * kValueColumnPadding);
  for (TPropertyRow& row : Rows)
    if (row.ValueColumn->width() != width)
      row.ValueColumn->resize(width, row.ValueColumn->height());
}

void TFormMain::InitTrackBar(TPropertyRow& row) {
  row.Label->setEnabled(false);
  SetLook(row.Label, kBlankColor);
  row.ValueLabel->setEnabled(false);
  SetLook(row.ValueLabel, kBlankColor);
  row.ValueLabel->setText(" ");
  row.TrackBar->setEnabled(false);
  row.TrackBar->SetValue(0);
  row.CheckBox->setEnabled(false);
  // A tick left from another camera would claim an automatic mode this one
  // does not have. Only ever called while loading, so nothing is written.
  row.CheckBox->setChecked(false);
  SetLook(row.CheckBox, kBlankColor);
  row.Monochrome->setEnabled(true);
}

void TFormMain::SetTrackBar(varnholt::TMonochromeEffect* TrackbarMonoChrome, QWidget*,
                            QLabel* TrackbarLabel, QLabel* TrackbarLabelValue,
                            varnholt::TTrackBar* TrackBar, QCheckBox* CheckBoxAuto,
                            std::int32_t Position, TFRange Range, bool Auto) {
  if (TraceMode)
    LogMe("SetTrackBar started");
  TrackbarLabel->setEnabled(true);
  SetLook(TrackbarLabel, kLiveColor);
  // This order lets any range with Min not above Max arrive unchanged,
  // whatever range the slider held before.
  TrackBar->SetMin(static_cast<float>(Range.Min));
  TrackBar->SetMax(static_cast<float>(Range.Max));
  TrackBar->SetFrequency(static_cast<float>(Range.Delta));
  TrackBar->SetValue(static_cast<float>(Position));
  if (TraceMode)
    LogMe(ValueText(TrackBar->Value()));
  TrackBar->setEnabled(!Auto);
  TrackbarLabelValue->setEnabled(true);
  SetLook(TrackbarLabelValue, kLiveColor);
  TrackbarLabelValue->setText(ValueText(TrackBar->Value()));
  CheckBoxAuto->setEnabled(Range.Auto && Range.Manual);
  varnholt::SetTextColor(CheckBoxAuto, kLiveColor);
  CheckBoxAuto->setChecked(Auto);
  TrackbarMonoChrome->setEnabled(false);
  if (TraceMode)
    LogMe("SetTrackBar ended");
}

void TFormMain::SetSupportStatus() {
  if (TraceMode) {
    LogMe("SetSupportStatus entered");
    LogMe("ComboBoxFormat.ItemIndex=" + QString::number(ComboBoxFormat->ItemIndex()));
  }
  try {
    const int index = ComboBoxFormat->ItemIndex();
    if (index != -1 && ComboBoxFormat->count() > 0) {
      const QListWidgetItem* item = ComboBoxFormat->item(index);
      if (!item)
        throw std::out_of_range("format entry");
      ResolutionText = item->text();
    }
  } catch (...) {
    if (TraceMode)
      LogMe("SetSupportStatus Error");
  }
  if (TraceMode)
    LogMe("SetSupportStatus passed 02");

  // The status a camera left behind must not outlive it.
  const bool camera = !FCamera->DeviceName().isEmpty();
  const bool configurable = camera && CameraStatus == 2;
  for (QWidget* button :
       std::initializer_list<QWidget*>{ButtonRead, ButtonWrite, ButtonDefaultValues, ButtonWindows})
    button->setEnabled(configurable);
  if (TraceMode)
    LogMe("SetSupportStatus passed 03");
  if (CameraStatus == 0 || !camera)
    ButtonTestCam->setEnabled(false);
  else if (CameraStatus == 1)
    ButtonTestCam->setEnabled(true);
  // The camera test needs a format to show; the format list goes with it.
  const bool testable = camera && ComboBoxFormat->count() > 0;
  LayoutButtonTestCam->setVisible(testable);
  ComboBoxFormat->setVisible(testable);
  if (TraceMode)
    LogMe("SetSupportStatus passed 04");
  if (!camera)
    SupportLabel->setText(ComboBoxCamera->count() == 0 ? "No camera connected"
                                                       : "No camera selected");
  else
    SupportLabel->setText(configurable ? "Camera configurable" : "Camera not configurable");
  StatusLabel->setText(" ");
  if (TraceMode)
    LogMe("SetSupportStatus passed 05");
  MonochromeEffect->setEnabled(!configurable);
  if (TraceMode)
    LogMe("SetSupportStatus passed 06");
  if (CameraStatus != 0 && camera)
    cameratestlabel->setText("Click camera icon to test " + SelectedCameraName() +
                             "\r\n with resolution: " + ResolutionText);
}

void TFormMain::TrackBarChange(QObject* Sender) {
  if (CameraStatus == 0 || CameraStatus == 1)
    return;
  try {
    for (TPropertyRow& row : Rows) {
      if (row.TrackBar != Sender)
        continue;
      row.ValueLabel->setText(ValueText(row.TrackBar->Value()));
      if (!LoadingTrackBars)
        (FCamera->*KeyOf(row).SetValue)(Truncated(row.TrackBar->Value()));
    }
    SetSupportStatus();
  } catch (...) {
    // A refused value shows again at the next reload of the rows.
  }
}

void TFormMain::CheckBoxChange(QObject* Sender) {
  if (LoadingTrackBars)
    return;
  auto* box = qobject_cast<QCheckBox*>(Sender);
  try {
    for (TPropertyRow& row : Rows)
      if (row.CheckBox == Sender)
        (FCamera->*KeyOf(row).SetAuto)(row.CheckBox->isChecked());
    if (TraceMode)
      LogMe("### Call SetTrackBars from  CheckBoxChange event ");
    // The reload disables the rows for a moment, which drops the focus; a
    // box ticked with Space should keep it.
    const QPointer<QWidget> focused = focusWidget();
    SetTrackBars();
    if (focused && focused->isEnabled() && !focused->hasFocus())
      focused->setFocus(Qt::OtherFocusReason);
  } catch (...) {
    ShowMessageSimple("Varnholt detected an inconsistent cam driver implementation. " +
                      SelectedCameraName() +
                      " states this function is supported but returns an error when accessing it");
    // Unticking runs this handler once more, nested, to go back to manual.
    if (box)
      box->setChecked(false);
  }
}

void TFormMain::BindRowHandlers() {
  for (TPropertyRow& row : Rows) {
    varnholt::TTrackBar* slider = row.TrackBar;
    varnholt::ConnectGuarded(slider, &varnholt::TTrackBar::Change, this,
                             [this, slider] { TrackBarChange(slider); });
    QCheckBox* box = row.CheckBox;
    varnholt::ConnectGuarded(box, &QCheckBox::toggled, this, [this, box] { CheckBoxChange(box); });
  }
}
