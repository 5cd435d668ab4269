#include "app/LivecamController.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPaintEngine>
#include <QPainter>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
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

// A new file in the user's videos folder (made when missing, else the home
// folder), named by the time it starts: two recordings in one second get
// names of their own, as the first run of a graph replaces its file.
QString NewRecordingPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  if (folder.isEmpty() || !QDir().mkpath(folder))
    folder = QDir::homePath();
  const QString stem = "Varnholt " + QDateTime::currentDateTime().toString("yyyy-MM-dd HH-mm-ss");
  QString path = QDir(folder).filePath(stem + ".avi");
  for (int copy = 2; QFile::exists(path); ++copy)
    path = QDir(folder).filePath(QString("%1 (%2).avi").arg(stem).arg(copy));
  return path;
}

}  // namespace

void TLivecamController::Bind() {
  varnholt::ConnectGuarded(form_.ButtonTestCam, &varnholt::TImage::Click, &form_,
                           [this] { form_.ButtonTestCamClick(form_.ButtonTestCam); });
  varnholt::ConnectGuarded(form_.ButtonTestCam, &varnholt::TImage::MouseEnter, &form_,
                           [this] { form_.ButtonTestCamMouseEnter(form_.ButtonTestCam); });
  varnholt::ConnectGuarded(form_.ButtonTestCam, &varnholt::TImage::MouseLeave, &form_,
                           [this] { form_.ButtonTestCamMouseLeave(form_.ButtonTestCam); });
  // Neither takes clicks in the design; bound all the same.
  varnholt::ConnectGuarded(form_.Image1, &varnholt::TImage::Click, &form_,
                           [this] { form_.Image1Click(form_.Image1); });
  varnholt::ConnectGuarded(form_.CameraOff, &varnholt::TImage::Click, &form_,
                           [this] { form_.Image1Click(form_.CameraOff); });
  varnholt::ConnectGuarded(form_.CameraTimer, &varnholt::TTimer::Timer, &form_,
                           [this] { form_.CameraTimerTimer(form_.CameraTimer); });
  varnholt::ConnectGuarded(form_.CameraGlowTimer, &varnholt::TTimer::Timer, &form_,
                           [this] { form_.CameraGlowTimerTimer(form_.CameraGlowTimer); });
  varnholt::ConnectGuarded(
      form_.PaintBox, &varnholt::TPaintBox::Paint, &form_,
      [this](QObject* sender, QPainter* canvas) { form_.PaintBoxPaint(sender, canvas); });
  form_.FCamera->SetOnImageAvailable(
      TFImageAvailableEvent::Method(&form_, &TFormMain::FCameraImageAvailable));
  form_.FCamera->SetOnPictureReady([this](TFCamera*) { FCameraPictureReady(); });
  recordTimer_ = new varnholt::TTimer(&form_);
  recordTimer_->setObjectName("RecordTimer");
  varnholt::ConnectGuarded(recordTimer_.data(), &varnholt::TTimer::Timer, &form_,
                           [this] { RecordTimerTimer(); });
}

bool TLivecamController::LivecamVisible() const {
  return LivecamForm && LivecamForm->isVisible();
}

void TLivecamController::ToggleLivecam(const char* hideTrace) {
  if (LivecamVisible()) {
    LivecamForm->hide();
    if (form_.TraceMode_)
      form_.LogMe(hideTrace);
  } else {
    StartDevice();
  }
}

void TLivecamController::ButtonTestCamMouseEnter() {
  form_.CameraCouldStartGlow->setEnabled(true);
}

void TLivecamController::ButtonTestCamMouseLeave() {
  form_.CameraCouldStartGlow->setEnabled(false);
}

void TLivecamController::StartDevice() {
  const int formatIndex = form_.ComboBoxFormat->ItemIndex();
  if (formatIndex < 0 || form_.ComboBoxFormat->count() == 0)
    return;
  if (!LivecamForm)
    throw varnholt::Exception("The camera test window does not exist");

  // The test window comes after the main window: its button is bound here.
  if (recordButtonOf_ != LivecamForm) {
    recordButtonOf_ = LivecamForm;
    varnholt::ConnectGuarded(LivecamForm->RecordButton, &QPushButton::clicked, &form_,
                             [this](bool checked) { RecordButtonClick(checked); });
  }
  // A test started afresh records nothing until asked again.
  if (const QString failure = FinishRecording(); !failure.isEmpty())
    form_.ShowMessageSimple(failure);

  if (form_.PaintBox->parentWidget() != LivecamForm->CameraPanel) {
    form_.PaintBox->setParent(LivecamForm->CameraPanel);
    // Every repaint covers the box with the picture: nothing to erase first.
    form_.PaintBox->setAttribute(Qt::WA_OpaquePaintEvent);
    form_.PaintBox->show();
  }
  form_.CameraTimer->SetEnabled(false);
  form_.CameraOff->show();
  form_.FCamera->SetActive(false);
  shown_ = QImage();

  const TFCameraFormats formats = form_.FCamera->SupportedFormats();
  if (formatIndex >= static_cast<int>(formats.size()))
    throw varnholt::Exception("List index out of bounds (" + std::to_string(formatIndex) + ")");
  form_.FCamera->SetFormat(formats[static_cast<std::size_t>(formatIndex)]);

  // The client area is the picture's size: shown whole, never scaled.
  const TFCameraFormat format = form_.FCamera->Format();
  form_.PaintBox->resize(format.Width, format.Height);
  LivecamForm->resize(format.Width, format.Height);

  try {
    form_.FCamera->SetActive(true);
    if (form_.TraceMode_)
      form_.LogMe("FCamera.Active := True");
    form_.FCamera->Run();
    if (form_.TraceMode_)
      form_.LogMe("FCamera.Run");
    // The sample grabber carries the pictures: the camera runs on, without a window.
    if (form_.FCamera->CaptureType() == ctGrabber)
      return;
    form_.CameraTimer->SetInterval(FrameInterval(format.AvgTimePerFrame));
    form_.CameraTimer->SetEnabled(true);
    form_.CameraOff->hide();
    form_.CameraGlowTimer->SetInterval(kGlowInterval);
    LivecamForm->setWindowTitle(EntryText(form_.ComboBoxCamera) + " @ " +
                                EntryText(form_.ComboBoxFormat));
    // Beside us, so that the picture never hides the sliders it is there
    // to watch; again once shown, as Qt knows a window's frame only then.
    LivecamForm->PlaceBeside(&form_);
    LivecamForm->show();
    LivecamForm->PlaceBeside(&form_);
  } catch (...) {
    form_.ShowMessageSimple(EntryText(form_.ComboBoxCamera) + kInUse);
    form_.CameraTimer->SetInterval(0);
    form_.CameraTimer->SetEnabled(false);
    form_.CameraOff->show();
    StopDevice();
  }
}

void TLivecamController::StopDevice() {
  if (form_.TraceMode_)
    form_.LogMe("StopDevice");
  form_.CameraTimer->SetEnabled(false);
  form_.CameraOff->show();
  form_.CameraGlowTimer->SetInterval(0);
  form_.CameraIconGlow->setEnabled(false);
  form_.CameraIconInnerGlow->setEnabled(false);
  // The test window closing while it records: the file is finished here.
  const QString failure = FinishRecording();
  if (form_.FCamera->Active()) {
    form_.FCamera->Stop();
    form_.FCamera->SetActive(false);
  }
  shown_ = QImage();
  if (!failure.isEmpty())
    form_.ShowMessageSimple(failure);
}

void TLivecamController::CameraTimerTimer() {
  if (form_.TraceMode_)
    form_.LogMe("CameraTimerTimer");
  const std::int32_t end = LivecamVisible() ? LivecamStreamEnd() : 0;
  if (end == varnholt::platform::graph::kEventErrorAbort && Recording()) {
    // The file writer gave up (a full disk) or the camera did: Stop tells
    // which. A failed write ends the recording, not the test.
    if (const QString failure = FinishRecording(); !failure.isEmpty()) {
      Reactivate(QString());
      form_.ShowMessageSimple(failure);
      return;
    }
  }
  if (end != 0) {
    // Unplugged, or gone and back under the same name too quickly for the
    // device watch to tell: either way this stream will bring no picture.
    const QString name = form_.FCamera->DeviceName();
    EndLivecamOfLostCamera();
    form_.ShowStatusMessage(name + " was disconnected");
    form_.RefreshDevices();
    return;
  }
  if (LivecamVisible()) {
    // Prepared pictures ask for their own repaints as they come, and their
    // size for the window's when it changes (PaintBoxPaint).
    if (!form_.FCamera->PreparesPictures())
      InvalidatePaintBox();
    return;
  }
  StopDevice();
  if (std::exchange(DevicesChangedDuringLivecam_, false))
    form_.RefreshDevices();
}

std::int32_t TLivecamController::LivecamStreamEnd() {
  if (!form_.FCamera->Active())
    return 0;
  const auto events = form_.FCamera->MediaEvent();
  std::int32_t code = 0;
  if (!events || events->WaitForCompletion(0, code) != varnholt::platform::hr::Ok)
    return 0;
  return code == varnholt::platform::graph::kEventDeviceLost ||
                 code == varnholt::platform::graph::kEventErrorAbort
             ? code
             : 0;
}

void TLivecamController::RecordButtonClick(bool checked) {
  if (checked == Recording())
    return;
  if (checked) {
    StartRecording();
    return;
  }
  const QString failure = FinishRecording();
  Reactivate(QString());
  if (!failure.isEmpty())
    form_.ShowMessageSimple(failure);
}

void TLivecamController::StartRecording() {
  TFCamera& camera = *form_.FCamera;
  if (!LivecamVisible() || !camera.Active()) {
    LivecamForm->RecordButton->setChecked(false);
    return;
  }
  recordFormat_ = camera.Format();
  const QString file = NewRecordingPath();
  try {
    Reactivate(file);
  } catch (const std::exception& e) {
    // The file could not be begun (a folder that takes no files, a camera
    // that refuses): the test goes on without it.
    FinishRecording();
    Reactivate(QString());
    form_.ShowMessageSimple(QString::fromLocal8Bit(e.what()));
    return;
  }
  recordFile_ = file;
  recordSeconds_ = 0;
  ShowRecordTime();
  LivecamForm->RecordTime->show();
  LivecamForm->RecordTime->raise();
  recordTimer_->SetEnabled(true);
  recordTimer_->SetInterval(1000);
  if (form_.TraceMode_)
    form_.LogMe("Recording into " + file);
}

QString TLivecamController::FinishRecording() {
  // The file name too: a recording that failed to begin has one but no clock yet.
  if (!Recording() && form_.FCamera->OutputFileName().isEmpty())
    return QString();
  TFCamera& camera = *form_.FCamera;
  QString failure;
  if (camera.Active()) {
    try {
      camera.Stop();
    } catch (const std::exception& e) {
      failure = QString::fromLocal8Bit(e.what());
    }
    camera.SetActive(false);
  }
  camera.SetOutputFileName(QString());
  recordFile_.clear();
  if (recordTimer_)
    recordTimer_->SetInterval(0);
  if (LivecamForm) {
    LivecamForm->RecordButton->setChecked(false);
    LivecamForm->RecordTime->hide();
  }
  return failure;
}

void TLivecamController::Reactivate(const QString& file) {
  TFCamera& camera = *form_.FCamera;
  try {
    camera.SetActive(false);
    camera.SetOutputFileName(file);
    camera.SetOutputFileType(mtAvi);
    // A new binding starts at the camera's first format: the test's again.
    camera.SetFormat(recordFormat_);
    camera.SetActive(true);
    camera.Run();
  } catch (...) {
    if (!file.isEmpty())
      throw;
    // Without a file this is the test's own camera failing: it ends as
    // when the camera goes.
    EndLivecamOfLostCamera();
    throw;
  }
}

void TLivecamController::RecordTimerTimer() {
  ++recordSeconds_;
  ShowRecordTime();
}

void TLivecamController::ShowRecordTime() {
  if (!LivecamForm)
    return;
  const int minutes = recordSeconds_ / 60;
  LivecamForm->RecordTime->setText(QString(QChar(0x25CF)) +
                                   QString(" %1:%2")
                                       .arg(minutes, 2, 10, QChar('0'))
                                       .arg(recordSeconds_ % 60, 2, 10, QChar('0')));
}

void TLivecamController::EndLivecamOfLostCamera() {
  if (form_.TraceMode_)
    form_.LogMe("Camera lost during the test");
  LivecamForm->hide();
  StopDevice();
}

void TLivecamController::CameraGlowTimerTimer() {
  form_.CameraIconGlow->setEnabled(!form_.CameraIconGlow->isEnabled());
  form_.CameraIconInnerGlow->setEnabled(!form_.CameraIconGlow->isEnabled());
}

void TLivecamController::FCameraImageAvailable() {
  if (form_.TraceMode_)
    form_.LogMe("FCameraImageAvailable");
  if (QThread::currentThread() == form_.thread()) {
    InvalidatePaintBox();
    return;
  }
  QueueRepaint(true);
}

void TLivecamController::FCameraPictureReady() {
  // The picture waits in the camera's slot: the paint takes the newest
  // there is by then, however many frames came meanwhile.
  QueueRepaint(false);
}

void TLivecamController::QueueRepaint(bool resize) {
  // Deactivating the camera on our thread waits for this handler to return,
  // so it must never wait for our thread: the repaint is only queued. One
  // queued repaint serves every frame that comes before it runs.
  if (repaintQueued_.exchange(true))
    return;
  QMetaObject::invokeMethod(
      &form_,
      [this, resize] {
        repaintQueued_ = false;
        try {
          if (resize)
            InvalidatePaintBox();
          else
            form_.PaintBox->update();
        } catch (...) {
          // As on the streaming thread, a failed repaint request is dropped.
        }
      },
      Qt::QueuedConnection);
}

void TLivecamController::InvalidatePaintBox() {
  KeepPictureSize();
  // The box itself: asked of the window, the repaint never reached the box
  // and the picture stood still on its first frame.
  form_.PaintBox->update();
}

void TLivecamController::KeepPictureSize() {
  if (!LivecamForm)
    return;
  try {
    const TFCameraFormat format = form_.FCamera->Format();
    LivecamForm->resize(format.Width, format.Height);
  } catch (...) {
    // The camera has gone from under a running test (unplugged, or the
    // list lost it): the window keeps its size and shows nothing until it
    // is hidden. Raising here would put an error box up every frame.
  }
}

void TLivecamController::TellCopyTarget(QPainter& canvas) {
  // The camera lays out later pictures for the quickest copy to where this
  // one went in the window's memory.
  QPaintEngine* engine = canvas.paintEngine();
  QPaintDevice* surface = engine ? engine->paintDevice() : nullptr;
  if (!surface || surface->devType() != QInternal::Image)
    return;
  const auto* image = static_cast<const QImage*>(surface);
  const QPoint at = canvas.deviceTransform().map(QPoint(0, 0));
  if (!image->rect().contains(at))
    return;
  form_.FCamera->SetPictureCopyTarget(image->constBits() + at.y() * image->bytesPerLine() +
                                      at.x() * (image->depth() / 8));
}

void TLivecamController::PaintBoxPaint(QPainter* Canvas) {
  if (!form_.FCamera->Active())
    return;
  try {
    // A prepared picture only needs drawing. Until the first one is ready,
    // and on a camera that prepares none, the current frame is converted
    // here; that bitmap is ours and goes with this scope, drawn or not.
    if (QImage next = form_.FCamera->TakePicture(); !next.isNull()) {
      // A picture of another size: the window follows the camera's format
      // once this paint is done. Asking the camera at every frame cost this
      // thread a tenth of its time per frame.
      if (next.size() != shown_.size())
        QTimer::singleShot(0, &form_, [this] { KeepPictureSize(); });
      shown_ = std::move(next);
    }
    const QImage bitmap = !shown_.isNull() ? shown_ : form_.FCamera->CurrentImageToBitmap();
    const QRect whole(0, 0, bitmap.width(), bitmap.height());
    Canvas->setOpacity(1.0);
    Canvas->setRenderHint(QPainter::SmoothPixmapTransform, false);
    Canvas->drawImage(whole, bitmap, whole);
    TellCopyTarget(*Canvas);
  } catch (...) {
    if (form_.TraceMode_)
      form_.LogMe("PaintBoxPaint Error");
    // An empty test window must say why; a box at every frame would not do.
    form_.ShowStatusMessage(varnholt::CurrentExceptionMessage());
  }
}
