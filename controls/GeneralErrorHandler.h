#pragma once

// The application's general error handler and the guard every handler bound
// to a signal or a timer runs through, so that no exception ever crosses a
// Qt frame. The handler shows the error's message in a modal box with one OK
// button and returns to the event loop.

#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace varnholt {

// The text the error box shows: a full stop is appended when the message's
// last character has a code above 46 (the full stop's own).
QString ErrorBoxText(const QString& message);

// The message of the exception being handled; call only inside a catch.
QString CurrentExceptionMessage();

using ErrorHandler = std::function<void(const QString& message)>;

// Replaces the general error handler (the modal box by default); answers the
// previous one. Tests install their own to see what would be shown.
ErrorHandler SetGeneralErrorHandler(ErrorHandler handler);

// Hands the exception being handled to the general error handler, or, inside
// RaisingHandlerErrors, keeps it for the program that made the change.
void HandleCurrentException() noexcept;

// Keeps the first error a guarded handler meets while a scope is open.
class HandlerErrorScope {
 public:
  HandlerErrorScope();
  ~HandlerErrorScope();
  HandlerErrorScope(const HandlerErrorScope&) = delete;
  HandlerErrorScope& operator=(const HandlerErrorScope&) = delete;
  // Raises the kept error, if any, and forgets it.
  void Rethrow();

 private:
  std::exception_ptr outer_;
};

// Runs a change the program makes to a control (a selection, a value) whose
// notification handlers run at once. An error such a handler raises comes
// back out of here to the program, as if it had called the handler itself,
// instead of going to the general error handler: the handler's guard only
// keeps it from crossing the toolkit's frames.
template <class F>
void RaisingHandlerErrors(F&& change) {
  HandlerErrorScope scope;
  change();
  scope.Rethrow();
}

// Runs body; an exception escaping it goes to the general error handler.
template <class F>
void Guarded(F&& body) noexcept {
  try {
    body();
  } catch (...) {
    HandleCurrentException();
  }
}

// A handler that runs through the guard. It takes as many of a signal's
// arguments as its handler does, so that Qt passes only those.
template <class F>
class GuardedHandler {
 public:
  explicit GuardedHandler(F handler) : handler_(std::move(handler)) {}
  template <class... Args>
  requires std::is_invocable_v<const F&, Args...>
  void operator()(Args&&... args) const {
    Guarded([&] { handler_(std::forward<Args>(args)...); });
  }

 private:
  F handler_;
};

// Connects signal to handler through the guard, with receiver as the
// connection's context. The handler takes the signal's first arguments, or none.
template <class Sender, class Signal, class F>
QMetaObject::Connection ConnectGuarded(Sender* sender, Signal signal, const QObject* receiver,
                                       F handler) {
  return QObject::connect(sender, signal, receiver, GuardedHandler<F>(std::move(handler)));
}

}  // namespace varnholt
