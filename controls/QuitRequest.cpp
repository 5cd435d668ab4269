#include "controls/QuitRequest.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace varnholt {
namespace {

void PostQuit() {
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(
        app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}

QuitHandler& CurrentQuitHandler() {
  static QuitHandler handler = PostQuit;
  return handler;
}

}  // namespace

void RequestQuit() {
  CurrentQuitHandler()();
}

QuitHandler SetQuitHandler(QuitHandler handler) {
  QuitHandler previous = std::move(CurrentQuitHandler());
  CurrentQuitHandler() = handler ? std::move(handler) : QuitHandler(PostQuit);
  return previous;
}

}  // namespace varnholt
