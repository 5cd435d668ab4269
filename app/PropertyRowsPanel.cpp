#include "app/PropertyRowsPanel.h"

#include <QListWidgetItem>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "app/FormMain.h"
#include "app/Look.h"
#include "camera/CameraErrors.h"
#include "camera/PropertyKeys.h"
#include "controls/ButtonImage.h"
#include "controls/Effects.h"
#include "controls/FittedLabel.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/Image.h"
#include "controls/ListBox.h"
#include "controls/TrackBar.h"
#include "settings/ValueText.h"

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

// The text of the exception being handled when it is a busy camera's; empty
// otherwise. Only from inside a catch block.
QString BusyText() {
  try {
    throw;
  } catch (const EOleSysError& e) {
    if (e.ErrorCode() == varnholt::platform::hr::Busy)
      return QString::fromStdString(e.Message());
  } catch (...) {
  }
  return QString();
}

// The property key of a row, by name.
const TFPropertyKey& KeyOf(const TPropertyRow& row) {
  for (const TFPropertyKey& key : kPropertyKeys)
    if (QLatin1String(key.Name) == QLatin1String(row.Design->Key))
      return key;
  throw std::logic_error("row without a property key");
}

}  // namespace

void TPropertyRowsPanel::SetTrackBars() {
  if (form_.TraceMode_)
    form_.LogMe("SetTrackBars entered");
  if (!LoadingTrackBars_) {
    LoadingTrackBars_ = true;
    try {
      for (TPropertyRow& row : Rows_)
        row.ValueLabel->setText("");
      if (form_.TraceMode_)
        form_.LogMe("Blanks done");
      form_.LayoutFrequency->hide();

      if (form_.TraceMode_)
        form_.LogMe("Starting  InitTrackBar BLOCK");
      try {
        for (const TFPropertyKey& key : kPropertyKeys)
          InitTrackBar(*Row(QString::fromLatin1(key.Name)));
        if (form_.TraceMode_)
          form_.LogMe("InitTrackBar BLOCK ended OK");
      } catch (...) {
        if (form_.TraceMode_)
          form_.LogMe("*** InitTrackBar error");
      }
      if (form_.TraceMode_) {
        form_.LogMe("InitTrackBar group OK");
        form_.LogMe("Starting  SetTrackBar BLOCK");
      }

      if (!form_.FCamera->DeviceName().isEmpty()) {
        if (form_.FCamera->PowerLineFrequencySupported()) {
          form_.LayoutFrequency->show();
          form_.validatefrequency();
        }
        if (form_.TraceMode_) {
          form_.LogMe("FCamera.DeviceName is not BLANK");
          form_.LogMe(form_.FCamera->DeviceName());
        }
        // Brightness first, then the others in key order.
        std::vector<const TFPropertyKey*> order;
        for (const TFPropertyKey& key : kPropertyKeys)
          if (QLatin1String(key.Name) == QLatin1String("Brightness"))
            order.insert(order.begin(), &key);
          else
            order.push_back(&key);
        // Member calls go through a plain reference: g++ 12 with the
        // sanitizers misreads the object of `form_.FCamera->*member` (a
        // stack address in place of the camera).
        TFCamera& camera = Camera();
        for (const TFPropertyKey* key : order) {
          if (!(camera.*key->Supported)())
            continue;
          const std::int32_t value = (camera.*key->Value)();
          const TFRange range = (camera.*key->Range)();
          const bool automatic = (camera.*key->IsAuto)();
          TPropertyRow& row = *Row(QString::fromLatin1(key->Name));
          SetTrackBar(row.Monochrome, row.Layout, row.Label, row.ValueLabel, row.TrackBar,
                      row.CheckBox, value, range, automatic);
          CameraStatus_ = 2;
        }
      }
      FitValueColumns();
    } catch (...) {
      LoadingTrackBars_ = false;
      throw;
    }
    LoadingTrackBars_ = false;
  }
  if (form_.TraceMode_)
    form_.LogMe("Calling SetSupportStatus");
  SetSupportStatus();
}

void TPropertyRowsPanel::FitValueColumns() {
  // The widest value any live slider can show, its sign included (a pan
  // of -36000); the columns stay aligned, so all take that width.
  int widest = 0;
  for (const TPropertyRow& row : Rows_)
    if (row.ValueLabel->isEnabled()) {
      const QFontMetrics metrics = row.ValueLabel->fontMetrics();
      for (const float end : {row.TrackBar->Min(), row.TrackBar->Max()})
        widest = std::max(widest, metrics.horizontalAdvance(ValueText(end)));
    }
  const int width = std::max(kValueColumnWidth, widest + 2 * kValueColumnPadding);
  for (TPropertyRow& row : Rows_)
    if (row.ValueColumn->width() != width)
      row.ValueColumn->resize(width, row.ValueColumn->height());
}

void TPropertyRowsPanel::InitTrackBar(TPropertyRow& row) {
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

void TPropertyRowsPanel::SetTrackBar(varnholt::TMonochromeEffect* TrackbarMonoChrome, QWidget*,
                                     QLabel* TrackbarLabel, QLabel* TrackbarLabelValue,
                                     varnholt::TTrackBar* TrackBar, QCheckBox* CheckBoxAuto,
                                     std::int32_t Position, TFRange Range, bool Auto) {
  if (form_.TraceMode_)
    form_.LogMe("SetTrackBar started");
  TrackbarLabel->setEnabled(true);
  SetLook(TrackbarLabel, kLiveColor);
  // This order lets any range with Min not above Max arrive unchanged,
  // whatever range the slider held before.
  TrackBar->SetMin(static_cast<float>(Range.Min));
  TrackBar->SetMax(static_cast<float>(Range.Max));
  TrackBar->SetFrequency(static_cast<float>(Range.Delta));
  TrackBar->SetValue(static_cast<float>(Position));
  if (form_.TraceMode_)
    form_.LogMe(ValueText(TrackBar->Value()));
  TrackBar->setEnabled(!Auto);
  TrackbarLabelValue->setEnabled(true);
  SetLook(TrackbarLabelValue, kLiveColor);
  TrackbarLabelValue->setText(ValueText(TrackBar->Value()));
  CheckBoxAuto->setEnabled(Range.Auto && Range.Manual);
  varnholt::SetTextColor(CheckBoxAuto, kLiveColor);
  CheckBoxAuto->setChecked(Auto);
  TrackbarMonoChrome->setEnabled(false);
  if (form_.TraceMode_)
    form_.LogMe("SetTrackBar ended");
}

void TPropertyRowsPanel::SetSupportStatus() {
  if (form_.TraceMode_) {
    form_.LogMe("SetSupportStatus entered");
    form_.LogMe("ComboBoxFormat.ItemIndex=" + QString::number(form_.ComboBoxFormat->ItemIndex()));
  }
  try {
    const int index = form_.ComboBoxFormat->ItemIndex();
    if (index != -1 && form_.ComboBoxFormat->count() > 0) {
      const QListWidgetItem* item = form_.ComboBoxFormat->item(index);
      if (!item)
        throw std::out_of_range("format entry");
      ResolutionText_ = item->text();
    }
  } catch (...) {
    if (form_.TraceMode_)
      form_.LogMe("SetSupportStatus Error");
  }
  if (form_.TraceMode_)
    form_.LogMe("SetSupportStatus passed 02");

  // The status a camera left behind must not outlive it.
  const bool camera = !form_.FCamera->DeviceName().isEmpty();
  const bool configurable = camera && CameraStatus_ == 2;
  for (QWidget* button : std::initializer_list<QWidget*>{
           form_.ButtonRead, form_.ButtonWrite, form_.ButtonDefaultValues, form_.ButtonWindows})
    button->setEnabled(configurable);
  if (form_.TraceMode_)
    form_.LogMe("SetSupportStatus passed 03");
  if (CameraStatus_ == 0 || !camera)
    form_.ButtonTestCam->setEnabled(false);
  else if (CameraStatus_ == 1)
    form_.ButtonTestCam->setEnabled(true);
  // The camera test needs a format to show; the format list goes with it.
  const bool testable = camera && form_.ComboBoxFormat->count() > 0;
  form_.LayoutButtonTestCam->setVisible(testable);
  form_.ComboBoxFormat->setVisible(testable);
  if (form_.TraceMode_)
    form_.LogMe("SetSupportStatus passed 04");
  if (!camera)
    form_.SupportLabel->setText(form_.ComboBoxCamera->count() == 0 ? "No camera connected"
                                                                   : "No camera selected");
  else
    form_.SupportLabel->setText(configurable ? "Camera configurable" : "Camera not configurable");
  form_.StatusLabel->setText(" ");
  if (form_.TraceMode_)
    form_.LogMe("SetSupportStatus passed 05");
  form_.MonochromeEffect->setEnabled(!configurable);
  if (form_.TraceMode_)
    form_.LogMe("SetSupportStatus passed 06");
  if (CameraStatus_ != 0 && camera)
    form_.cameratestlabel->SetText("Click camera icon to test " + form_.SelectedCameraName() +
                                   "\r\n with resolution: " + ResolutionText_);
}

void TPropertyRowsPanel::TrackBarChange(QObject* Sender) {
  if (CameraStatus_ == 0 || CameraStatus_ == 1)
    return;
  try {
    for (TPropertyRow& row : Rows_) {
      if (row.TrackBar != Sender)
        continue;
      row.ValueLabel->setText(ValueText(row.TrackBar->Value()));
      // Handed to the camera's writer: a slow motor never stalls the drag.
      if (!LoadingTrackBars_)
        Camera().PostValue(KeyOf(row).Address, Truncated(row.TrackBar->Value()));
    }
    SetSupportStatus();
  } catch (const EOleSysError& e) {
    // A camera another program keeps busy did not refuse the value: the
    // user should know it was not set.
    if (e.ErrorCode() == varnholt::platform::hr::Busy)
      for (const TPropertyRow& row : Rows_)
        if (row.TrackBar == Sender)
          form_.ShowStatusMessage(QString::fromLatin1(KeyOf(row).Name) +
                                  " not changed: " + QString::fromStdString(e.Message()));
  } catch (...) {
    // A refused value shows again at the next reload of the rows.
  }
}

void TPropertyRowsPanel::CheckBoxChange(QObject* Sender) {
  if (LoadingTrackBars_)
    return;
  auto* box = qobject_cast<QCheckBox*>(Sender);
  try {
    for (TPropertyRow& row : Rows_)
      if (row.CheckBox == Sender)
        (Camera().*KeyOf(row).SetAuto)(row.CheckBox->isChecked());
    if (form_.TraceMode_)
      form_.LogMe("### Call SetTrackBars from  CheckBoxChange event ");
    // The reload disables the rows for a moment, which drops the focus; a
    // box ticked with Space should keep it.
    const QPointer<QWidget> focused = form_.focusWidget();
    SetTrackBars();
    if (focused && focused->isEnabled() && !focused->hasFocus())
      focused->setFocus(Qt::OtherFocusReason);
  } catch (...) {
    // Busy is another program holding the camera, not a driver at fault:
    // the user is told what happened, as for a slider.
    QString name;
    for (const TPropertyRow& row : Rows_)
      if (row.CheckBox == Sender)
        name = QString::fromLatin1(KeyOf(row).Name);
    const QString busy = BusyText();
    form_.ShowMessageSimple(
        !busy.isEmpty()
            ? name + " not changed: " + busy
            : "Varnholt detected an inconsistent cam driver implementation. " +
                  form_.SelectedCameraName() +
                  " states this function is supported but returns an error when accessing it");
    // Unticking runs this handler once more, nested, to go back to manual.
    if (box)
      box->setChecked(false);
  }
}

void TPropertyRowsPanel::Bind() {
  // A camera another program keeps busy did not refuse the value: the user
  // should know it was not set. A refused value shows again at the next
  // reload of the rows.
  form_.FCamera->SetOnPostFailed([this](TFCamera*, TFPropertyAddress property,
                                        varnholt::platform::HResult code, const QString& message) {
    if (code != varnholt::platform::hr::Busy)
      return;
    for (const TFPropertyKey& key : kPropertyKeys)
      if (key.Address == property)
        form_.ShowStatusMessage(QString::fromLatin1(key.Name) + " not changed: " + message);
  });
  for (TPropertyRow& row : Rows_) {
    varnholt::TTrackBar* slider = row.TrackBar;
    varnholt::ConnectGuarded(slider, &varnholt::TTrackBar::Change, &form_,
                             [this, slider] { form_.TrackBarChange(slider); });
    QCheckBox* box = row.CheckBox;
    varnholt::ConnectGuarded(box, &QCheckBox::toggled, &form_,
                             [this, box] { form_.CheckBoxChange(box); });
  }
}

TPropertyRow* TPropertyRowsPanel::Row(QStringView key) {
  for (TPropertyRow& row : Rows_)
    if (key == QLatin1String(row.Design->Key))
      return &row;
  return nullptr;
}

TFCamera& TPropertyRowsPanel::Camera() const {
  return *form_.FCamera;
}
