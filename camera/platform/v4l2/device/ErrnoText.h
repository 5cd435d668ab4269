#pragma once

// The words for a driver's errno. Here in the device layer, which speaks
// only errno, so that its log and the backend above name errors alike.

#include <string>

namespace varnholt::platform::v4l2 {

// "Input/output error (EIO)": the system's text and the errno's symbolic
// name, for messages and the log.
std::string ErrnoText(int negativeErrno);

}  // namespace varnholt::platform::v4l2
