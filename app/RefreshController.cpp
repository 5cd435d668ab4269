#include "app/RefreshController.h"

#include <QApplication>
#include <thread>

#include "app/FormMain.h"
#include "app/Forms.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/ListBox.h"
#include "controls/Timer.h"
#include "platform/Exception.h"

void TRefreshController::Bind() {
  varnholt::ConnectGuarded(form_.RefreshTimer, &varnholt::TTimer::Timer, &form_,
                           [this] { form_.RefreshTimerTimer(form_.RefreshTimer); });
  // Nobody asked for this refresh: like the tick's, its error goes to the
  // status bar rather than into a box that comes from nowhere.
  form_.FCamera->SetOnDevicesChanged([this](TFCamera* sender) {
    varnholt::Guarded([&] {
      try {
        form_.FCameraDevicesChanged(sender);
      } catch (...) {
        form_.ShowStatusMessage(varnholt::CurrentExceptionMessage());
      }
    });
  });
}

void TRefreshController::RefreshTimerTimer() {
  if (form_.TraceMode_) {
    form_.LogMe(" ");
    form_.LogMe("RefreshTimer routine entered");
  }
  // A running camera test is never interrupted.
  if (LivecamForm && LivecamForm->Tag == 1)
    return;

  if (form_.TraceMode_)
    form_.LogMe(" Determining LastFocussedControl");
  FormFocusChanged();
  if (form_.TraceMode_)
    form_.LogMe(" Determine LastFocussedControl successful");

  if (form_.KeepSynced->isChecked()) {
    if (form_.TraceMode_)
      form_.LogMe(" Determining LastResolutionIndex");
    try {
      // A list without a choice is one a failed re-read left half built, not
      // the user's: remembering that would lose the format for good.
      const int index = form_.ComboBoxFormat->ItemIndex();
      if (index >= 0)
        form_.LastResolutionIndex_ = index;
      if (form_.TraceMode_) {
        form_.LogMe("Timer event, ComboBoxFormat.ItemIndex=" + QString::number(index));
        form_.LogMe(" Determine successful");
      }
    } catch (...) {
      if (form_.TraceMode_)
        form_.LogMe(" Determine NOT successful");
    }

    try {
      if (form_.TraceMode_)
        form_.LogMe(" Attempting re-read of camera settings");
      // Cameras to choose from and none chosen: nothing was re-read.
      if (form_.ComboBoxCamera->ItemIndex() < 0 && form_.ComboBoxCamera->count() > 0)
        throw varnholt::Exception("No camera selected");
      form_.ComboBoxCameraChange(form_.ComboBoxCamera);
      if (form_.TraceMode_)
        form_.LogMe(" Re-read of camera settings successful");
    } catch (...) {
      // Typically the camera has gone: the list is built anew without it.
      if (form_.TraceMode_) {
        form_.LogMe(" Re-read of camera settings NOT successful - now refreshing devices");
        form_.LogMe("  Attempting to refresh devices");
      }
      try {
        form_.RefreshDevices();
        if (form_.TraceMode_)
          form_.LogMe("  Refresh devices successful");
      } catch (...) {
        // Tried again at the next tick; nothing to show the user.
        if (form_.TraceMode_)
          form_.LogMe("  Refresh devices NOT successful");
      }
    }
    SetTheControl(LastFocussedControl_);
  }
  if (form_.TraceMode_)
    form_.LogMe("RefreshTimer routine successful");
}

void TRefreshController::FormFocusChanged() {
  try {
    QWidget* focused = form_.focusWidget();
    if (!focused)
      return;  // the last one found is kept
    LastFocussedControl_ = focused;
    if (form_.TraceMode_) {
      const QString className = QString::fromLatin1(focused->metaObject()->className());
      form_.LogMe("Aktives Control: " + className.section("::", -1) + " und auch " +
                  focused->objectName());
    }
  } catch (...) {
    // Only a remembered focus is lost.
  }
}

void TRefreshController::SetTheControl(QWidget* MyControl) {
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
    // receiver. A detached thread frees itself as it ends; a thread object
    // would wait for our event loop to be deleted, and leak when the
    // program ends first.
    std::thread([focus] {
      QMetaObject::invokeMethod(qApp, focus, Qt::BlockingQueuedConnection);
    }).detach();
  } catch (...) {
    // Then the focus simply stays where the rebuild left it.
  }
}
