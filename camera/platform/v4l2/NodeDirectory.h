#pragma once

// Where the V4L2 device nodes are: the /dev/video* nodes in a stable order,
// the persistent by-id names udev gives them, and opening one.
//
// What callers may rely on: VideoNodes is ordered by node number (video2
// before video10); ByIdLink answers an empty string when no link points at
// the node; Open answers 0 or a negative errno.

#include <memory>
#include <string>
#include <vector>

#include "camera/platform/v4l2/IoctlDevice.h"

namespace varnholt::platform::v4l2 {

class NodeDirectory {
 public:
  virtual ~NodeDirectory() = default;
  virtual std::vector<std::string> VideoNodes() = 0;
  virtual std::string ByIdLink(const std::string& node) = 0;
  virtual int Open(const std::string& node, std::unique_ptr<IoctlDevice>& device) = 0;
};

// Orders node paths by the number after "video"; other names go last.
void SortByNodeNumber(std::vector<std::string>& nodes);

// The system's /dev and /dev/v4l/by-id.
class SystemNodeDirectory : public NodeDirectory {
 public:
  explicit SystemNodeDirectory(std::string devDir = "/dev") : devDir_(std::move(devDir)) {}
  std::vector<std::string> VideoNodes() override;
  std::string ByIdLink(const std::string& node) override;
  int Open(const std::string& node, std::unique_ptr<IoctlDevice>& device) override;

 private:
  std::string devDir_;
};

}  // namespace varnholt::platform::v4l2
