#pragma once

// The capture platform over Windows' own DirectShow: the system device
// enumerator with its monikers and property bags, the cameras' filters and
// pins, the system's filter graph, capture graph builder, sample grabber,
// null renderer, VMR-9 and file writer, the drivers' property pages and the
// system's error texts.
//
// What callers may rely on: every code the system answers reaches them
// unchanged; objects answer queries as Interfaces.h says, over the real
// COM QueryInterface; COM is initialised on a thread that creates objects,
// lists or binds devices, or reaches a camera's properties (the value
// writer's thread does). Objects handed back to the platform (a filter to a
// graph, the objects of a property frame) must be this platform's: anything
// else is hr::InvalidArg. The VMR-9 hands out pictures only through
// GetCurrentImage (no ICurrentPicture, no IPreparedPicture): the component
// converts them itself.

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::directshow {

class DirectShowPlatform : public Platform {
 public:
  std::string Name() const override { return "directshow"; }
  HResult CreateInstance(ClassId classId, std::shared_ptr<Unknown>& object) override;
  // AMGetErrorText's text, else the system message table's, without the
  // line break the system ends it with; empty when neither has one.
  std::string ErrorText(HResult code) override;
  HResult ShowPropertyFrame(WindowHandle owner, int x, int y, const std::string& caption,
                            const std::vector<std::shared_ptr<Unknown>>& objects,
                            const std::vector<Guid>& pages, std::uint32_t locale) override;
  // Device arrival and removal notices, and a look at the video input
  // category every kDevicePollInterval for what they miss (a camera that is
  // a registered filter rather than a device).
  std::unique_ptr<DeviceWatch> WatchDevices(std::function<void()> changed) override;
};

}  // namespace varnholt::platform::directshow
