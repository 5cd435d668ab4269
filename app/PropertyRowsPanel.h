#pragma once

// The main window's seventeen property rows: loading them from the camera,
// their blank and live looks, the support display that follows from them,
// and the two handlers that carry the user's changes to the camera. The
// window creates the rows' components and forwards its handlers of the
// same names here.

#include <QCheckBox>
#include <QLabel>
#include <QString>
#include <QStringView>
#include <QWidget>
#include <array>
#include <cstdint>

#include "app/PropertyRows.h"
#include "camera/CameraTypes.h"

class QObject;
class TFCamera;
class TFormMain;
namespace varnholt {
class TImage;
class TMonochromeEffect;
class TTrackBar;
}  // namespace varnholt

// The components of one property row, named after its key. The design
// gives their first look; loading the rows from the camera gives the rest.
struct TPropertyRow {
  const TRowDesign* Design = nullptr;
  QWidget* Layout = nullptr;                          // LayoutX
  varnholt::TImage* Icon = nullptr;                   // ImageN
  QLabel* Label = nullptr;                            // LabelX
  varnholt::TTrackBar* TrackBar = nullptr;            // TrackBarX
  QWidget* ValueColumn = nullptr;                     // LayoutN
  QLabel* ValueLabel = nullptr;                       // LabelXValue
  QCheckBox* CheckBox = nullptr;                      // CheckBoxX
  varnholt::TMonochromeEffect* Monochrome = nullptr;  // LayoutXMonochrome
};

using TPropertyRowArray = std::array<TPropertyRow, kRowCount>;

class TPropertyRowsPanel {
 public:
  explicit TPropertyRowsPanel(TFormMain& form) : form_(form) {}
  // The sliders' and boxes' change handlers.
  void Bind();

  // Top to bottom.
  TPropertyRowArray& Rows() { return Rows_; }
  const TPropertyRowArray& Rows() const { return Rows_; }
  // The row of a property key ("Brightness"); nullptr for an unknown key.
  TPropertyRow* Row(QStringView key);

  void SetTrackBars();
  void InitTrackBar(TPropertyRow& row);
  void SetTrackBar(varnholt::TMonochromeEffect* TrackbarMonoChrome, QWidget* TrackbarLayout,
                   QLabel* TrackbarLabel, QLabel* TrackbarLabelValue, varnholt::TTrackBar* TrackBar,
                   QCheckBox* CheckBoxAuto, std::int32_t Position, TFRange Range, bool Auto);
  void SetSupportStatus();
  // Widens the value columns to the widest value the live rows can show.
  void FitValueColumns();
  void TrackBarChange(QObject* Sender);
  void CheckBoxChange(QObject* Sender);

  // 0: the camera offers no format; 1: formats but no supported property;
  // 2: at least one supported property.
  int CameraStatus() const { return CameraStatus_; }
  void SetCameraStatus(int status) { CameraStatus_ = status; }
  // True while SetTrackBars loads the rows: change handlers write nothing.
  bool LoadingTrackBars() const { return LoadingTrackBars_; }
  void SetLoadingTrackBars(bool loading) { LoadingTrackBars_ = loading; }
  // The selected format's entry, as the camera test label names it.
  const QString& ResolutionText() const { return ResolutionText_; }
  void ClearResolutionText() { ResolutionText_.clear(); }

 private:
  // The window's camera, for calls through the property keys' members.
  TFCamera& Camera() const;
  TFormMain& form_;
  TPropertyRowArray Rows_;
  int CameraStatus_ = 0;
  bool LoadingTrackBars_ = false;
  QString ResolutionText_;
};
