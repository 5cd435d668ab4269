#pragma once

// The debug channel's account of a V4L2 request that failed: the request by
// its name, what it asked about (controls, format, index) and the driver's
// errno, so that an error a user reports can be traced to the answer behind
// it.
//
// What callers may rely on: one line per call, built only then, that is on
// failure; a control is named by the lookup when it knows the id.

#include <cstdint>
#include <functional>
#include <string>

namespace varnholt::platform::v4l2 {

// A control's name by its id; empty when unknown.
using ControlNames = std::function<std::string(std::uint32_t id)>;

// Whether the request only reads what the device holds, so sending it again
// cannot change the device.
bool IsReadRequest(unsigned long request);

// Writes "v4l2: VIDIOC_S_EXT_CTRLS failed for Brightness (0x00980900) = 10:
// Input/output error (EIO)" and the note, if any, to the debug channel.
void LogFailedRequest(unsigned long request, const void* arg, int negativeErrno,
                      const ControlNames& names, const char* note = nullptr);

}  // namespace varnholt::platform::v4l2
