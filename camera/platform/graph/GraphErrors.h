#pragma once

// The capture framework's graph codes that the shared graph objects answer,
// and their texts as the framework gives them.

#include <string>

#include "camera/platform/HResult.h"

namespace varnholt::platform::graph {

namespace vfw {
constexpr HResult AlreadyConnected = MakeHResult(0x80040204);   // VFW_E_ALREADY_CONNECTED
constexpr HResult NoAcceptableTypes = MakeHResult(0x80040207);  // VFW_E_NO_ACCEPTABLE_TYPES
constexpr HResult NotConnected = MakeHResult(0x80040209);       // VFW_E_NOT_CONNECTED
constexpr HResult CannotConnect = MakeHResult(0x80040217);      // VFW_E_CANNOT_CONNECT
constexpr HResult NotStopped = MakeHResult(0x80040224);         // VFW_E_NOT_STOPPED
constexpr HResult WrongState = MakeHResult(0x80040227);         // VFW_E_WRONG_STATE
constexpr HResult TypeNotAccepted = MakeHResult(0x8004022A);    // VFW_E_TYPE_NOT_ACCEPTED
constexpr HResult NotInGraph = MakeHResult(0x8004025F);         // VFW_E_NOT_IN_GRAPH
// Success codes.
constexpr HResult DuplicateName = MakeHResult(0x0004022D);  // VFW_S_DUPLICATE_NAME
constexpr HResult NoPreviewPin = MakeHResult(0x0004027E);   // VFW_S_NOPREVIEWPIN
}  // namespace vfw

// The framework's text for one of the codes above, empty for any other.
std::string ErrorText(HResult code);

}  // namespace varnholt::platform::graph
