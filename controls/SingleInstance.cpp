#include "controls/SingleInstance.h"

#include <QWidget>

#include "controls/QuitRequest.h"
#include "platform/UserLock.h"

TSingleInstance::TSingleInstance(QObject* AOwner)
    : QObject(AOwner), lock_(std::make_unique<varnholt::UserLock>(varnholt::OwnExecutableName())) {
  if (lock_->Held()) {
    lock_->SetOnCalled([this] { BringForward(); });
    return;
  }
  const bool answered = lock_->CallHolder();
  lock_.reset();
  // A holder that does not answer is stopped or hung: better a second copy
  // than none that the user can reach.
  if (answered)
    varnholt::RequestQuit();
}

TSingleInstance::~TSingleInstance() = default;

void TSingleInstance::BringForward() {
  auto* owner = qobject_cast<QWidget*>(parent());
  if (!owner)
    return;
  QWidget* window = owner->window();
  window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
  window->show();
  window->raise();
  window->activateWindow();
}
