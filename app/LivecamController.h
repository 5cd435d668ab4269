#pragma once

// The main window's camera test: the selected camera live in the test
// window at the selected format, started from the camera icon or a double
// click on the format list. The paint box fetches the current picture and
// draws it; a timer at the frame interval asks for the repaints. The window
// forwards its handlers of the same names here.

#include <atomic>

class QPainter;
class TFormMain;

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
  void InvalidatePaintBox();
  void PaintBoxPaint(QPainter* Canvas);

  // Ends a camera test whose camera has gone.
  void EndLivecamOfLostCamera();
  // Devices changed while a test kept its camera: the list follows when
  // the test ends.
  void SetDevicesChangedDuringLivecam(bool changed) { DevicesChangedDuringLivecam_ = changed; }

 private:
  // The test's stream reports its device lost.
  bool LivecamStreamLost();

  TFormMain& form_;
  bool DevicesChangedDuringLivecam_ = false;
  // A repaint handed over from the streaming thread and not yet served;
  // frames that come meanwhile need no repaint of their own.
  std::atomic<bool> repaintQueued_{false};
};
