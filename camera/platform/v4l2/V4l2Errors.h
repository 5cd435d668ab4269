#pragma once

// How the V4L2 backend turns the driver's negative errno values into the
// platform's result codes, and the texts of the codes only it produces.
//
// What callers may rely on: a control the device lacks is PropIdUnsupported;
// a write the driver refuses because the automatic mode owns the value is
// UnderAutomaticControl, never a bare "access denied".

#include <string>

#include "camera/platform/HResult.h"

namespace varnholt::platform::v4l2 {

namespace hr_v4l2 {
// Codes of the backend's own, in the interface facility, away from the
// graph's codes.
constexpr HResult UnderAutomaticControl = MakeHResult(0x80047A01);
constexpr HResult DeviceIoError = MakeHResult(0x80047A02);
// The device node exists but this user may not open it.
constexpr HResult NodeAccessDenied = MakeHResult(0x80047A10);
}  // namespace hr_v4l2

// For any call: ENOTTY → NotImpl, EINVAL/ERANGE → InvalidArg, ENODEV/ENXIO →
// DeviceNotConnected, EBUSY → Busy, EACCES/EPERM → AccessDenied, EIO and the
// USB transfer errors (EPROTO, ETIMEDOUT, EPIPE, ...) → DeviceIoError, ENOMEM
// → OutOfMemory, anything else → Fail; 0 → Ok.
HResult ResultFromErrno(int negativeErrno);

// For a write to a value that has an automatic mode which is on: the
// driver's EACCES (current kernels) or EBUSY (some drivers) means the mode
// holds the value.
HResult ResultFromValueWrite(int negativeErrno, bool automaticOn);

// The text for the backend's own codes and for hr::Busy (the camera is in
// use by another program); empty for any other.
std::string V4l2ErrorText(HResult code);

}  // namespace varnholt::platform::v4l2
