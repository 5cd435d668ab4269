#pragma once

// Keep-synced refresh of the main window: every five seconds the selected
// camera is read again, so that changes other programs make show in the
// rows. A failed read (a camera unplugged) rebuilds the camera list
// instead. The rebuild may move the keyboard focus, so it is given back
// afterwards. The window forwards its handlers of the same names here.

#include <QPointer>
#include <QWidget>

class TFormMain;

class TRefreshController {
 public:
  explicit TRefreshController(TFormMain& form) : form_(form) {}
  // The refresh timer's tick and the camera's device watch.
  void Bind();

  void RefreshTimerTimer();
  void FormFocusChanged();
  // Focuses MyControl once the running handler has returned; returns at once.
  void SetTheControl(QWidget* MyControl);
  // The control that held the focus at the last refresh; not owned.
  QWidget* LastFocussedControl() const { return LastFocussedControl_; }

 private:
  TFormMain& form_;
  QPointer<QWidget> LastFocussedControl_;
};
