#include "camera/platform/v4l2/device/NodeDirectory.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "camera/platform/DirectoryWatch.h"

namespace varnholt::platform::v4l2 {
namespace {

namespace fs = std::filesystem;

// The node number, or INT_MAX for a name without one.
long NodeNumber(const std::string& path) {
  const std::string name = fs::path(path).filename().string();
  constexpr std::string_view kPrefix = "video";
  if (name.rfind(kPrefix, 0) != 0 || name.size() == kPrefix.size())
    return LONG_MAX;
  const std::string digits = name.substr(kPrefix.size());
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
      digits.size() > 9)
    return LONG_MAX;
  return std::stol(digits);
}

}  // namespace

void SortByNodeNumber(std::vector<std::string>& nodes) {
  std::stable_sort(nodes.begin(), nodes.end(), [](const std::string& a, const std::string& b) {
    return NodeNumber(a) < NodeNumber(b);
  });
}

std::vector<std::string> SystemNodeDirectory::VideoNodes() {
  std::vector<std::string> nodes;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(devDir_, ec)) {
    const std::string path = entry.path().string();
    if (NodeNumber(path) != LONG_MAX)
      nodes.push_back(path);
  }
  SortByNodeNumber(nodes);
  return nodes;
}

std::string SystemNodeDirectory::ByIdLink(const std::string& node) {
  std::error_code ec;
  const fs::path target = fs::canonical(node, ec);
  if (ec)
    return {};
  std::vector<std::string> links;
  for (const auto& entry : fs::directory_iterator(fs::path(devDir_) / "v4l" / "by-id", ec)) {
    std::error_code linkEc;
    if (entry.is_symlink(linkEc) && fs::canonical(entry.path(), linkEc) == target && !linkEc)
      links.push_back(entry.path().string());
  }
  // A camera may have several links (one per interface); the first by name
  // is the same every time.
  std::sort(links.begin(), links.end());
  return links.empty() ? std::string() : links.front();
}

int SystemNodeDirectory::Open(const std::string& node, std::unique_ptr<IoctlDevice>& device) {
  std::unique_ptr<NodeIoctlDevice> opened;
  if (int ret = NodeIoctlDevice::Open(node, opened); ret < 0)
    return ret;
  device = std::move(opened);
  return 0;
}

bool SystemNodeDirectory::Facts(const std::string& node, NodeFacts& facts) {
  const fs::path entry = fs::path(classDir_) / fs::path(node).filename();
  const auto firstLine = [&](const char* file, std::string& line) {
    std::ifstream in(entry / file);
    return static_cast<bool>(std::getline(in, line));
  };
  std::string index;
  if (!firstLine("name", facts.name) || !firstLine("index", index))
    return false;
  facts.index = std::atoi(index.c_str());
  std::error_code ec;
  facts.position = fs::canonical(entry / "device", ec).string();
  return true;
}

std::unique_ptr<DeviceWatch> SystemNodeDirectory::Watch(std::function<void()> changed) {
  // udev and devtmpfs create and remove the nodes here, then set their
  // group and mode: each of those steps may decide whether we can open one.
  // Closing a node changes none of that; counted, the listing that follows
  // each change would close the nodes it opened and report itself again.
  // udev makes a node's by-id link after the node, at times much later (a
  // busy udev): the link's arrival is a change of its own, since a camera
  // may be known by it.
  return DirectoryWatch::Start(
      devDir_, [](const std::string& name) { return name.rfind("video", 0) == 0; },
      std::move(changed), "v4l/by-id", DirectoryWatch::Writes::Ignore);
}

}  // namespace varnholt::platform::v4l2
