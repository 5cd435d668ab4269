#pragma once

// The component's two errors and the checks that raise them. Conditions the
// component detects itself raise EFCameraError with a fixed English message;
// a failing platform call raises EOleSysError with the platform's text.

#include <memory>
#include <string>
#include <string_view>

#include "camera/platform/Interfaces.h"
#include "platform/Exception.h"

class EFCameraError : public varnholt::Exception {
 public:
  using Exception::Exception;
};

class EOleSysError : public varnholt::Exception {
 public:
  EOleSysError(std::string message, varnholt::platform::HResult errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  varnholt::platform::HResult ErrorCode() const { return errorCode_; }

 private:
  varnholt::platform::HResult errorCode_;
};

// Raises EFCameraError with message when condition is false.
void CheckCondition(bool condition, const std::string& message);

// Raises "Cannot retrieve '<name>' interface" when the reference is none.
void CheckInterface(bool present, std::string_view name);
template <class T>
void CheckInterface(const std::shared_ptr<T>& reference, std::string_view name) {
  CheckInterface(reference != nullptr, name);
}

// For a failure code: EOleSysError with the capture framework's text for it,
// or the system's message when the framework has none.
void CheckHResult(varnholt::platform::HResult code, varnholt::platform::Platform& platform);
// The same, asking the process-wide platform.
void CheckHResult(varnholt::platform::HResult code);

// The plain platform-error check: EOleSysError with the system's message for
// a failure code, without asking the capture framework.
void CheckPlatformError(varnholt::platform::HResult code);

// True for the platform's two codes that mean "property set / property not
// supported".
bool IsUnsupportedProperty(varnholt::platform::HResult code);
