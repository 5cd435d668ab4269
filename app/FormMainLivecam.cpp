// The camera test: the selected camera live in the test window at the
// selected format, started from the camera icon or a double click on the
// format list. The paint box fetches the current picture and draws it; a
// timer at the frame interval asks for the repaints.

#include <QPainter>
#include <QThread>
#include <climits>
#include <utility>

#include "app/FormMain.h"
#include "app/Forms.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "controls/Effects.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/Image.h"
#include "controls/ListBox.h"
#include "controls/Shapes.h"
#include "controls/Timer.h"
#include "platform/Exception.h"

namespace {

constexpr char kInUse[] = " used in another app. Change settings here, observe results there!";
constexpr int kGlowInterval = 500;

// The repaint clock for a frame time in 100-ns units; 0 (not running) below
// a millisecond. A frame time past what a timer can count runs at the
// longest interval there is rather than wrapping round to a wrong one.
int FrameInterval(std::int64_t avgTimePerFrame) {
  const std::int64_t ms = avgTimePerFrame / 10000;
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

QString EntryText(const varnholt::TListBox* list) {
  const int index = list->ItemIndex();
  return index < 0 ? QString() : list->item(index)->text();
}

}  // namespace

void TFormMain::BindLivecamHandlers() {
  varnholt::ConnectGuarded(ButtonTestCam, &varnholt::TImage::Click, this,
                           [this] { ButtonTestCamClick(ButtonTestCam); });
  varnholt::ConnectGuarded(ButtonTestCam, &varnholt::TImage::MouseEnter, this,
                           [this] { ButtonTestCamMouseEnter(ButtonTestCam); });
  varnholt::ConnectGuarded(ButtonTestCam, &varnholt::TImage::MouseLeave, this,
                           [this] { ButtonTestCamMouseLeave(ButtonTestCam); });
  // Neither takes clicks in the design; bound all the same.
  varnholt::ConnectGuarded(Image1, &varnholt::TImage::Click, this, [this] { Image1Click(Image1); });
  varnholt::ConnectGuarded(CameraOff, &varnholt::TImage::Click, this,
                           [this] { Image1Click(CameraOff); });
  varnholt::ConnectGuarded(CameraTimer, &varnholt::TTimer::Timer, this,
                           [this] { CameraTimerTimer(CameraTimer); });
  varnholt::ConnectGuarded(CameraGlowTimer, &varnholt::TTimer::Timer, this,
                           [this] { CameraGlowTimerTimer(CameraGlowTimer); });
  varnholt::ConnectGuarded(
      PaintBox, &varnholt::TPaintBox::Paint, this,
      [this](QObject* sender, QPainter* canvas) { PaintBoxPaint(sender, canvas); });
  FCamera->SetOnImageAvailable(
      TFImageAvailableEvent::Method(this, &TFormMain::FCameraImageAvailable));
}

void TFormMain::ToggleLivecam(const char* hideTrace) {
  if (LivecamVisible()) {
    LivecamForm->hide();
    if (TraceMode)
      LogMe(hideTrace);
  } else {
    StartDevice();
  }
}

void TFormMain::ButtonTestCamClick(QObject*) {
  ToggleLivecam("Hide 3");
}

void TFormMain::Image1Click(QObject*) {
  ToggleLivecam("Hide 2");
}

void TFormMain::ButtonTestCamMouseEnter(QObject*) {
  CameraCouldStartGlow->setEnabled(true);
}

void TFormMain::ButtonTestCamMouseLeave(QObject*) {
  CameraCouldStartGlow->setEnabled(false);
}

void TFormMain::StartDevice() {
  const int formatIndex = ComboBoxFormat->ItemIndex();
  if (formatIndex < 0 || ComboBoxFormat->count() == 0)
    return;
  if (!LivecamForm)
    throw varnholt::Exception("The camera test window does not exist");

  if (PaintBox->parentWidget() != LivecamForm->CameraPanel) {
    PaintBox->setParent(LivecamForm->CameraPanel);
    // Every repaint covers the box with the picture: nothing to erase first.
    PaintBox->setAttribute(Qt::WA_OpaquePaintEvent);
    PaintBox->show();
  }
  CameraTimer->SetEnabled(false);
  CameraOff->show();
  FCamera->SetActive(false);

  const TFCameraFormats formats = FCamera->SupportedFormats();
  if (formatIndex >= static_cast<int>(formats.size()))
    throw varnholt::Exception("List index out of bounds (" + std::to_string(formatIndex) + ")");
  FCamera->SetFormat(formats[static_cast<std::size_t>(formatIndex)]);

  // The client area is the picture's size: shown whole, never scaled.
  const TFCameraFormat format = FCamera->Format();
  PaintBox->resize(format.Width, format.Height);
  LivecamForm->resize(format.Width, format.Height);

  try {
    FCamera->SetActive(true);
    if (TraceMode)
      LogMe("FCamera.Active := True");
    FCamera->Run();
    if (TraceMode)
      LogMe("FCamera.Run");
    // The sample grabber carries the pictures: the camera runs on, without a window.
    if (FCamera->CaptureType() == ctGrabber)
      return;
    CameraTimer->SetInterval(FrameInterval(format.AvgTimePerFrame));
    CameraTimer->SetEnabled(true);
    CameraOff->hide();
    CameraGlowTimer->SetInterval(kGlowInterval);
    LivecamForm->setWindowTitle(EntryText(ComboBoxCamera) + " @ " + EntryText(ComboBoxFormat));
    // Beside us, so that the picture never hides the sliders it is there
    // to watch; again once shown, as Qt knows a window's frame only then.
    LivecamForm->PlaceBeside(this);
    LivecamForm->show();
    LivecamForm->PlaceBeside(this);
  } catch (...) {
    ShowMessageSimple(EntryText(ComboBoxCamera) + kInUse);
    CameraTimer->SetInterval(0);
    CameraTimer->SetEnabled(false);
    CameraOff->show();
    StopDevice();
  }
}

void TFormMain::StopDevice() {
  if (TraceMode)
    LogMe("StopDevice");
  CameraTimer->SetEnabled(false);
  CameraOff->show();
  CameraGlowTimer->SetInterval(0);
  CameraIconGlow->setEnabled(false);
  CameraIconInnerGlow->setEnabled(false);
  if (FCamera->Active()) {
    FCamera->Stop();
    FCamera->SetActive(false);
  }
}

void TFormMain::ButtonStopCameraClick(QObject*) {
  StopDevice();
}

void TFormMain::CameraTimerTimer(QObject*) {
  if (TraceMode)
    LogMe("CameraTimerTimer");
  if (LivecamVisible() && LivecamStreamLost()) {
    // Unplugged, or gone and back under the same name too quickly for the
    // device watch to tell: either way this stream will bring no picture.
    const QString name = FCamera->DeviceName();
    EndLivecamOfLostCamera();
    ShowStatusMessage(name + " was disconnected");
    RefreshDevices();
    return;
  }
  if (LivecamVisible()) {
    InvalidatePaintBox();
    return;
  }
  StopDevice();
  if (std::exchange(DevicesChangedDuringLivecam, false))
    RefreshDevices();
}

bool TFormMain::LivecamStreamLost() {
  if (!FCamera->Active())
    return false;
  const auto events = FCamera->MediaEvent();
  std::int32_t code = 0;
  return events && events->WaitForCompletion(0, code) == varnholt::platform::hr::Ok &&
         (code == varnholt::platform::graph::kEventDeviceLost ||
          code == varnholt::platform::graph::kEventErrorAbort);
}

void TFormMain::EndLivecamOfLostCamera() {
  if (TraceMode)
    LogMe("Camera lost during the test");
  LivecamForm->hide();
  StopDevice();
}

void TFormMain::CameraGlowTimerTimer(QObject*) {
  CameraIconGlow->setEnabled(!CameraIconGlow->isEnabled());
  CameraIconInnerGlow->setEnabled(!CameraIconGlow->isEnabled());
}

void TFormMain::FCameraImageAvailable(TFCamera*, double) {
  if (TraceMode)
    LogMe("FCameraImageAvailable");
  if (QThread::currentThread() == thread()) {
    InvalidatePaintBox();
    return;
  }
  // Deactivating the camera on our thread waits for this handler to return,
  // so it must never wait for our thread: the repaint is only queued. One
  // queued repaint serves every frame that comes before it runs.
  if (repaintQueued_.exchange(true))
    return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        repaintQueued_ = false;
        try {
          InvalidatePaintBox();
        } catch (...) {
          // As on the streaming thread, a failed repaint request is dropped.
        }
      },
      Qt::QueuedConnection);
}

void TFormMain::InvalidatePaintBox() {
  if (!LivecamForm)
    return;
  try {
    const TFCameraFormat format = FCamera->Format();
    LivecamForm->resize(format.Width, format.Height);
  } catch (...) {
    // The camera has gone from under a running test (unplugged, or the
    // list lost it): the window keeps its size and shows nothing until it
    // is hidden. Raising here would put an error box up every frame.
  }
  // The box itself: asked of the window, the repaint never reached the box
  // and the picture stood still on its first frame.
  PaintBox->update();
}

void TFormMain::PaintBoxPaint(QObject*, QPainter* Canvas) {
  if (!FCamera->Active())
    return;
  try {
    // The bitmap is ours and goes with this scope, drawn or not.
    const QImage bitmap = FCamera->CurrentImageToBitmap();
    const QRect whole(0, 0, bitmap.width(), bitmap.height());
    Canvas->setOpacity(1.0);
    Canvas->setRenderHint(QPainter::SmoothPixmapTransform, false);
    Canvas->drawImage(whole, bitmap, whole);
  } catch (...) {
    if (TraceMode)
      LogMe("PaintBoxPaint Error");
  }
}
