#include "camera/platform/v4l2/V4l2Platform.h"

#include "camera/platform/PropertyFrame.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/GraphObjects.h"
#include "camera/platform/v4l2/V4l2DeviceEnumerator.h"
#include "camera/platform/v4l2/V4l2Errors.h"

namespace varnholt::platform::v4l2 {

V4l2Platform::V4l2Platform(std::shared_ptr<NodeDirectory> nodes)
    : nodes_(nodes ? std::move(nodes) : std::make_shared<SystemNodeDirectory>()) {}

HResult V4l2Platform::CreateInstance(ClassId classId, std::shared_ptr<Unknown>& object) {
  if (classId != ClassId::SystemDeviceEnum)
    return graph::CreateGraphObject(classId, object);
  object = MakeDeviceEnumerator(nodes_, controlWatch_);
  return hr::Ok;
}

std::string V4l2Platform::ErrorText(HResult code) {
  const std::string text = V4l2ErrorText(code);
  return text.empty() ? graph::ErrorText(code) : text;
}

HResult V4l2Platform::ShowPropertyFrame(WindowHandle owner, int x, int y,
                                        const std::string& caption,
                                        const std::vector<std::shared_ptr<Unknown>>& objects,
                                        const std::vector<Guid>& pages, std::uint32_t) {
  // Drivers bring no dialogs here: the generic frame shows the device's own
  // controls and the capture pin's formats.
  return ShowGenericPropertyFrame(*this, owner, x, y, caption, objects, pages);
}

namespace {

// Nodes coming and going, and controls changing: one report for the caller.
struct NodesAndControls final : DeviceWatch {
  std::unique_ptr<DeviceWatch> nodes, controls;
};

}  // namespace

std::unique_ptr<DeviceWatch> V4l2Platform::WatchDevices(std::function<void()> changed) {
  auto watch = std::make_unique<NodesAndControls>();
  watch->nodes = nodes_->Watch(changed);
  watch->controls = controlWatch_->Watch(std::move(changed));
  if (!watch->nodes && !watch->controls)
    return nullptr;
  return watch;
}

}  // namespace varnholt::platform::v4l2
