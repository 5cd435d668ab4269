#pragma once

// Where the V4L2 device nodes are: the /dev/video* nodes in a stable order,
// the persistent by-id names udev gives them, and opening one.
//
// What callers may rely on: VideoNodes is ordered by node number (video2
// before video10); ByIdLink answers an empty string when no link points at
// the node; Open answers 0 or a negative errno.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/device/IoctlDevice.h"

namespace varnholt::platform::v4l2 {

// What the system tells of a node without opening it, for nodes this user
// may not open.
struct NodeFacts {
  std::string name;      // the card name, as the driver registered it
  int index = 0;         // 0 for a device's first node (its video capture one)
  std::string position;  // where the device sits on its bus, for ordering
};

class NodeDirectory {
 public:
  virtual ~NodeDirectory() = default;
  virtual std::vector<std::string> VideoNodes() = 0;
  virtual std::string ByIdLink(const std::string& node) = 0;
  virtual int Open(const std::string& node, std::unique_ptr<IoctlDevice>& device) = 0;
  // False when the system has nothing to tell of the node.
  virtual bool Facts(const std::string& node, NodeFacts& facts) {
    (void)node;
    (void)facts;
    return false;
  }
  // Calls `changed` when video nodes come or go; nullptr when it cannot.
  virtual std::unique_ptr<DeviceWatch> Watch(std::function<void()> changed) {
    (void)changed;
    return nullptr;
  }
};

// Orders node paths by the number after "video"; other names go last.
void SortByNodeNumber(std::vector<std::string>& nodes);

// The system's /dev and /dev/v4l/by-id, and sysfs for the facts.
class SystemNodeDirectory : public NodeDirectory {
 public:
  explicit SystemNodeDirectory(std::string devDir = "/dev",
                               std::string classDir = "/sys/class/video4linux")
      : devDir_(std::move(devDir)), classDir_(std::move(classDir)) {}
  std::vector<std::string> VideoNodes() override;
  std::string ByIdLink(const std::string& node) override;
  int Open(const std::string& node, std::unique_ptr<IoctlDevice>& device) override;
  bool Facts(const std::string& node, NodeFacts& facts) override;
  std::unique_ptr<DeviceWatch> Watch(std::function<void()> changed) override;

 private:
  std::string devDir_;
  std::string classDir_;
};

}  // namespace varnholt::platform::v4l2
