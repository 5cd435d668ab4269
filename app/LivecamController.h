#pragma once

// The main window's camera test: the selected camera live in the test
// window at the selected format, started from the camera icon or a double
// click on the format list. The camera converts each frame on its
// streaming thread and keeps the latest in one slot; the first picture in
// an empty slot asks for one repaint, and the paint box takes whatever is
// newest by then and only draws it. Frames our thread had no time for are
// dropped there, never queued. A timer at the frame interval watches for
// the stream's end (and repaints a camera that prepares no pictures). The
// window forwards its handlers of the same names here.
//
// The test window's Record button records what the test shows into an AVI
// file in the user's videos folder. The component takes a file name only
// while inactive, so starting and ending a recording restart the camera;
// the preview goes on meanwhile.

#include <QImage>
#include <QPointer>
#include <QString>
#include <atomic>
#include <cstdint>

#include "camera/CameraTypes.h"

class QPainter;
class TFormMain;
class TLivecamForm;
namespace varnholt {
class TTimer;
}

class TLivecamController {
 public:
  explicit TLivecamController(TFormMain& form) : form_(form) {}
  // The camera icon, the pictures, the timers, the paint box and the
  // camera's frames.
  void Bind();

  void StartDevice();
  void StopDevice();
  // A missing test window counts as hidden.
  bool LivecamVisible() const;
  // Hides a showing test window (tracing hideTrace), else starts the test.
  void ToggleLivecam(const char* hideTrace);
  void ButtonTestCamMouseEnter();
  void ButtonTestCamMouseLeave();
  void CameraTimerTimer();
  void CameraGlowTimerTimer();
  // Raised on the camera's streaming thread; hands its work to ours.
  void FCameraImageAvailable();
  // Raised on the streaming thread when the camera has a new picture ready
  // for the paint box, converted there: our thread only draws it.
  void FCameraPictureReady();
  void InvalidatePaintBox();
  void PaintBoxPaint(QPainter* Canvas);

  // Ends a camera test whose camera has gone.
  void EndLivecamOfLostCamera();
  // Devices changed while a test kept its camera: the list follows when
  // the test ends.
  void SetDevicesChangedDuringLivecam(bool changed) { DevicesChangedDuringLivecam_ = changed; }

  // The Record button, checked or not.
  void RecordButtonClick(bool checked);
  // Once a second while recording: the elapsed time.
  void RecordTimerTimer();
  bool Recording() const { return !recordFile_.isEmpty(); }

 private:
  // Where the picture went in the window's memory, told to the camera.
  void TellCopyTarget(QPainter& canvas);
  // The event that ended the test's stream (device lost, an abort), or 0.
  std::int32_t LivecamStreamEnd();
  void StartRecording();
  // Ends a recording: Stop finishes the file, and the camera is left
  // inactive without a file name. Answers why the file could not be
  // written to its end, or nothing.
  QString FinishRecording();
  // The camera active and running again at the test's format, recording
  // into file when one is given.
  void Reactivate(const QString& file);
  void ShowRecordTime();
  // The test window at the picture's size.
  void KeepPictureSize();
  // Hands a repaint (with the window sized, or not) to our thread.
  void QueueRepaint(bool resize);

  // What a recording, its button and its clock need.
  QString recordFile_;
  int recordSeconds_ = 0;
  TFCameraFormat recordFormat_;
  QPointer<varnholt::TTimer> recordTimer_;
  QPointer<TLivecamForm> recordButtonOf_;

  TFormMain& form_;
  bool DevicesChangedDuringLivecam_ = false;
  // A repaint handed over from the streaming thread and not yet served;
  // frames that come meanwhile need no repaint of their own.
  std::atomic<bool> repaintQueued_{false};
  // The prepared picture drawn last, drawn again when the box repaints
  // before the next one is ready.
  QImage shown_;
};
