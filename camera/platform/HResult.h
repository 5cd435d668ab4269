#pragma once

// Result codes of the capture platform. The component's rules (supported
// tests, error reporting) depend on the exact 32-bit values, so every backend
// maps its native errors onto these and nothing else.
//
// The names avoid the Windows macros (S_OK, E_FAIL, ...) so that this header
// can sit beside <windows.h> in the DirectShow backend.

#include <cstdint>
#include <string>

namespace varnholt::platform {

using HResult = std::int32_t;

constexpr HResult MakeHResult(std::uint32_t bits) {
  return static_cast<HResult>(bits);
}

namespace hr {
constexpr HResult Ok = 0;     // S_OK
constexpr HResult False = 1;  // S_FALSE: success, but "no more" / "nothing"
constexpr HResult NotImpl = MakeHResult(0x80004001);
constexpr HResult NoInterface = MakeHResult(0x80004002);
constexpr HResult Pointer = MakeHResult(0x80004003);
constexpr HResult Abort = MakeHResult(0x80004004);
constexpr HResult Fail = MakeHResult(0x80004005);
constexpr HResult Unexpected = MakeHResult(0x8000FFFF);
constexpr HResult ClassNotRegistered = MakeHResult(0x80040154);
constexpr HResult PathNotFound = MakeHResult(0x80070003);
constexpr HResult AccessDenied = MakeHResult(0x80070005);
constexpr HResult WriteFault = MakeHResult(0x8007001D);
constexpr HResult DiskFull = MakeHResult(0x80070070);
constexpr HResult OutOfMemory = MakeHResult(0x8007000E);
constexpr HResult InvalidArg = MakeHResult(0x80070057);
constexpr HResult InsufficientBuffer = MakeHResult(0x8007007A);
constexpr HResult Busy = MakeHResult(0x800700AA);
constexpr HResult MoreData = MakeHResult(0x800700EA);
constexpr HResult DeviceNotConnected = MakeHResult(0x8007048F);
constexpr HResult Timeout = MakeHResult(0x800705B4);  // ERROR_TIMEOUT
// The two codes that mean "this device does not have that property".
constexpr HResult PropIdUnsupported = MakeHResult(0x80070490);   // ERROR_NOT_FOUND
constexpr HResult PropSetUnsupported = MakeHResult(0x80070492);  // ERROR_SET_NOT_FOUND
}  // namespace hr

constexpr bool Succeeded(HResult code) {
  return code >= 0;
}
constexpr bool Failed(HResult code) {
  return code < 0;
}

// The operating system's own message for a code, as the system message table
// would give it; "OLE error XXXXXXXX" for a code it has no text for.
std::string SystemMessage(HResult code);

// "80004005": eight upper-case hexadecimal digits.
std::string HexCode(HResult code);

}  // namespace varnholt::platform
