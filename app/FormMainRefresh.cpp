// Keep-synced refresh: every five seconds the selected camera is read
// again, so that changes other programs make show in the rows. A failed
// read (a camera unplugged) rebuilds the camera list instead. The rebuild
// may move the keyboard focus, so it is given back afterwards.

#include <QApplication>
#include <QThread>

#include "app/FormMain.h"
#include "app/Forms.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/ListBox.h"
#include "controls/Timer.h"
#include "platform/Exception.h"

void TFormMain::BindRefreshHandlers() {
  varnholt::ConnectGuarded(RefreshTimer, &varnholt::TTimer::Timer, this,
                           [this] { RefreshTimerTimer(RefreshTimer); });
  // Nobody asked for this refresh: like the tick's, its error goes to the
  // status bar rather than into a box that comes from nowhere.
  FCamera->SetOnDevicesChanged([this](TFCamera* sender) {
    varnholt::Guarded([&] {
      try {
        FCameraDevicesChanged(sender);
      } catch (...) {
        ShowStatusMessage(varnholt::CurrentExceptionMessage());
      }
    });
  });
}

void TFormMain::RefreshTimerTimer(QObject*) {
  if (TraceMode) {
    LogMe(" ");
    LogMe("RefreshTimer routine entered");
  }
  // A running camera test is never interrupted.
  if (LivecamForm && LivecamForm->Tag == 1)
    return;

  if (TraceMode)
    LogMe(" Determining LastFocussedControl");
  FormFocusChanged(this);
  if (TraceMode)
    LogMe(" Determine LastFocussedControl successful");

  if (KeepSynced->isChecked()) {
    if (TraceMode)
      LogMe(" Determining LastResolutionIndex");
    try {
      LastResolutionIndex = ComboBoxFormat->ItemIndex();
      if (TraceMode) {
        LogMe("Timer event, ComboBoxFormat.ItemIndex=" + QString::number(LastResolutionIndex));
        LogMe(" Determine successful");
      }
    } catch (...) {
      if (TraceMode)
        LogMe(" Determine NOT successful");
    }

    try {
      if (TraceMode)
        LogMe(" Attempting re-read of camera settings");
      // Cameras to choose from and none chosen: nothing was re-read.
      if (ComboBoxCamera->ItemIndex() < 0 && ComboBoxCamera->count() > 0)
        throw varnholt::Exception("No camera selected");
      ComboBoxCameraChange(ComboBoxCamera);
      if (TraceMode)
        LogMe(" Re-read of camera settings successful");
    } catch (...) {
      // Typically the camera has gone: the list is built anew without it.
      if (TraceMode) {
        LogMe(" Re-read of camera settings NOT successful - now refreshing devices");
        LogMe("  Attempting to refresh devices");
      }
      try {
        RefreshDevices();
        if (TraceMode)
          LogMe("  Refresh devices successful");
      } catch (...) {
        // Tried again at the next tick; nothing to show the user.
        if (TraceMode)
          LogMe("  Refresh devices NOT successful");
      }
    }
    SetTheControl(LastFocussedControl);
  }
  if (TraceMode)
    LogMe("RefreshTimer routine successful");
}

void TFormMain::FormFocusChanged(QObject*) {
  try {
    QWidget* focused = focusWidget();
    if (!focused)
      return;  // the last one found is kept
    LastFocussedControl = focused;
    if (TraceMode) {
      const QString className = QString::fromLatin1(focused->metaObject()->className());
      LogMe("Aktives Control: " + className.section("::", -1) + " und auch " +
            focused->objectName());
    }
  } catch (...) {
    // Only a remembered focus is lost.
  }
}

void TFormMain::SetTheControl(QWidget* MyControl) {
  // The procedure checks the control on our thread, when it runs: by then
  // it may have gone with its window.
  QPointer<QWidget> control = MyControl;
  auto focus = [control] {
    if (control)
      control->setFocus();
  };
  try {
    // The worker waits until our thread has served the request, which it
    // does only after the running handler has returned and the rebuild is
    // complete. qApp outlives every window, so the request always has a
    // receiver; the thread object frees itself once it has ended.
    QThread* worker = QThread::create(
        [focus] { QMetaObject::invokeMethod(qApp, focus, Qt::BlockingQueuedConnection); });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
  } catch (...) {
    // Then the focus simply stays where the rebuild left it.
  }
}
