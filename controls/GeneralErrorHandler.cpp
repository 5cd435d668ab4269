#include "controls/GeneralErrorHandler.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <utility>

#include "platform/Exception.h"

namespace varnholt {
namespace {

// The box opens over the program's window, not at the screen's centre: the
// active one, else (an error met before the window was activated) the
// first one showing.
QWidget* OwnerWindow() {
  if (QWidget* active = QApplication::activeWindow())
    return active;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && top->isWindow() && !(top->windowType() == Qt::Popup))
      return top;
  return nullptr;
}

void ShowErrorBox(const QString& message) {
  const QString text = ErrorBoxText(message);
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    return;
  QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                  QMessageBox::Ok, OwnerWindow());
  // Errors quote device names and paths: shown as written, never as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

// Open scopes of RaisingHandlerErrors on this thread, and the error kept.
thread_local int t_scopes = 0;
thread_local std::exception_ptr t_kept;

ErrorHandler& Handler() {
  static ErrorHandler handler = ShowErrorBox;
  return handler;
}

}  // namespace

QString ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.')
    return message + u'.';
  return message;
}

QString CurrentExceptionMessage() {
  try {
    throw;
  } catch (const Exception& e) {
    return QString::fromStdString(e.Message());
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QStringLiteral("Unknown error");
  }
}

ErrorHandler SetGeneralErrorHandler(ErrorHandler handler) {
  ErrorHandler previous = std::move(Handler());
  Handler() = handler ? std::move(handler) : ErrorHandler(ShowErrorBox);
  return previous;
}

HandlerErrorScope::HandlerErrorScope() : outer_(std::exchange(t_kept, nullptr)) {
  ++t_scopes;
}

HandlerErrorScope::~HandlerErrorScope() {
  --t_scopes;
  t_kept = std::exchange(outer_, nullptr);
}

void HandlerErrorScope::Rethrow() {
  if (std::exception_ptr kept = std::exchange(t_kept, nullptr))
    std::rethrow_exception(kept);
}

void HandleCurrentException() noexcept {
  if (t_scopes > 0) {
    if (!t_kept)
      t_kept = std::current_exception();
    return;
  }
  try {
    const QString message = CurrentExceptionMessage();
    Handler()(message);
  } catch (...) {
    // The handler itself failed (out of memory, a failing dialog): the
    // message can at least reach the terminal.
    std::fputs("Varnholt: an error could not be shown\n", stderr);
  }
}

}  // namespace varnholt
