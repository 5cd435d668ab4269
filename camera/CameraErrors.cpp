#include "camera/CameraErrors.h"

#include "camera/platform/PlatformFactory.h"

using namespace varnholt::platform;

void CheckCondition(bool condition, const std::string& message) {
  if (!condition)
    throw EFCameraError(message);
}

void CheckInterface(bool present, std::string_view name) {
  CheckCondition(present, "Cannot retrieve '" + std::string(name) + "' interface");
}

void CheckHResult(HResult code, Platform& platform) {
  if (Succeeded(code))
    return;
  throw EOleSysError(ErrorMessage(platform, code), code);
}

void CheckHResult(HResult code) {
  if (Succeeded(code))
    return;
  CheckHResult(code, *ActivePlatform());
}

void CheckPlatformError(HResult code) {
  if (Succeeded(code))
    return;
  throw EOleSysError(SystemMessage(code), code);
}

bool IsUnsupportedProperty(HResult code) {
  return code == hr::PropSetUnsupported || code == hr::PropIdUnsupported;
}
