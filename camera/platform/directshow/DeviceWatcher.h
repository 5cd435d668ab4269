#pragma once

// Watches the video input devices from a thread of its own with a hidden
// message window: the system's device-interface notices say at once when a
// camera comes or goes, and a look at the video input category at every
// poll interval catches what sends no notice (a capture source that is a
// registered filter, as virtual cameras are). The look reports only a
// change of the category's list.

#include <chrono>
#include <functional>
#include <memory>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::directshow {

inline constexpr std::chrono::milliseconds kDevicePollInterval{2000};

// nullptr when the watch cannot start (no window, no thread).
std::unique_ptr<DeviceWatch> StartDeviceWatcher(std::function<void()> changed,
                                                std::chrono::milliseconds pollInterval);

}  // namespace varnholt::platform::directshow
