#pragma once

// The capture platform over the kernel's V4L2 devices: finds the cameras,
// answers their property families, formats and streams, and shows the
// generic property frame for them.
//
// What callers may rely on: graphs, renderers and the sample grabber are the
// shared graph objects; ErrorText knows the backend's own codes first, and
// says of hr::Busy that another program uses the camera. The device watch
// also reports a bound camera's controls changed by another program
// (ControlWatch), so that a window re-reads its rows at once.

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/ControlWatch.h"
#include "camera/platform/v4l2/device/NodeDirectory.h"

namespace varnholt::platform::v4l2 {

class V4l2Platform : public Platform {
 public:
  explicit V4l2Platform(std::shared_ptr<NodeDirectory> nodes = nullptr);

  std::string Name() const override { return "v4l2"; }
  HResult CreateInstance(ClassId classId, std::shared_ptr<Unknown>& object) override;
  std::string ErrorText(HResult code) override;
  HResult ShowPropertyFrame(WindowHandle owner, int x, int y, const std::string& caption,
                            const std::vector<std::shared_ptr<Unknown>>& objects,
                            const std::vector<Guid>& pages, std::uint32_t locale) override;
  std::unique_ptr<DeviceWatch> WatchDevices(std::function<void()> changed) override;

 private:
  std::shared_ptr<NodeDirectory> nodes_;
  std::shared_ptr<ControlWatch> controlWatch_ = std::make_shared<ControlWatch>();
};

}  // namespace varnholt::platform::v4l2
