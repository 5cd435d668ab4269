#include "controls/GeneralErrorHandler.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "platform/Exception.h"

namespace varnholt {
namespace {

void ShowErrorBox(const QString& message) {
  const QString text = ErrorBoxText(message);
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    return;
  QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                  QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

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

void HandleCurrentException() noexcept {
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
