#pragma once

// The application's general error handler and the guard every handler bound
// to a signal or a timer runs through, so that no exception ever crosses a
// Qt frame. The handler shows the error's message in a modal box with one OK
// button and returns to the event loop.

#include <QString>
#include <functional>

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

// Hands the exception being handled to the general error handler.
void HandleCurrentException() noexcept;

// Runs body; an exception escaping it goes to the general error handler.
template <class F>
void Guarded(F&& body) noexcept {
  try {
    body();
  } catch (...) {
    HandleCurrentException();
  }
}

}  // namespace varnholt
