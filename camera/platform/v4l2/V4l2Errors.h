#pragma once

// How the V4L2 backend turns the driver's negative errno values into the
// platform's result codes, and the texts of the codes only it produces.
//
// What callers may rely on: a control the device lacks is PropIdUnsupported;
// a write the driver refuses because the automatic mode owns the value is
// UnderAutomaticControl, never a bare "access denied"; an errno without a
// code of its own becomes DriverError(errno), whose text names it, never
// the bare "Unspecified error".

#include <cstdint>
#include <string>

#include "camera/platform/HResult.h"
#include "camera/platform/v4l2/device/ErrnoText.h"  // ErrnoText, which this header's users call

namespace varnholt::platform::v4l2 {

namespace hr_v4l2 {
// Codes of the backend's own, in the interface facility, away from the
// graph's codes.
constexpr HResult UnderAutomaticControl = MakeHResult(0x80047A01);
constexpr HResult DeviceIoError = MakeHResult(0x80047A02);
// The device node exists but this user may not open it.
constexpr HResult NodeAccessDenied = MakeHResult(0x80047A10);
// The driver chose fields (interlaced or alternate) for a format; the graph
// carries whole frames only.
constexpr HResult InterlacedFormat = MakeHResult(0x80047A03);

// One code per errno that has no platform code: the errno in the low byte,
// so the text can name it.
constexpr std::uint32_t kDriverErrorBase = 0x80047B00;
constexpr HResult DriverError(int errnoValue) {
  return MakeHResult(kDriverErrorBase | (static_cast<std::uint32_t>(errnoValue) & 0xFF));
}
}  // namespace hr_v4l2

// For any call: ENOTTY → NotImpl, EINVAL/ERANGE → InvalidArg, ENODEV/ENXIO →
// DeviceNotConnected, EBUSY → Busy, EACCES/EPERM → AccessDenied, EIO and the
// USB transfer errors (EPROTO, ETIMEDOUT, EPIPE, ...) → DeviceIoError, ENOMEM
// → OutOfMemory, any other errno below 256 → DriverError(errno), anything
// else → Fail; 0 → Ok.
HResult ResultFromErrno(int negativeErrno);

// For a write to a value that has an automatic mode which is on: the
// driver's EACCES (current kernels) or EBUSY (some drivers) means the mode
// holds the value.
HResult ResultFromValueWrite(int negativeErrno, bool automaticOn);

// The text for the backend's own codes (DriverError: "The camera driver
// answered: Operation not supported (EOPNOTSUPP)") and for hr::Busy (the
// camera is in use by another program); empty for any other.
std::string V4l2ErrorText(HResult code);

}  // namespace varnholt::platform::v4l2
