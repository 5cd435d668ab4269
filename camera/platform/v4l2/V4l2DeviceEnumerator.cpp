#include "camera/platform/v4l2/V4l2DeviceEnumerator.h"

#include <cerrno>
#include <utility>
#include <vector>

#include "camera/platform/DeviceNames.h"
#include "camera/platform/MonikerList.h"
#include "camera/platform/v4l2/V4l2CameraFilter.h"
#include "camera/platform/v4l2/V4l2Errors.h"
#include "camera/platform/v4l2/device/V4l2Device.h"

namespace varnholt::platform::v4l2 {
namespace {

struct FoundCamera {
  std::string node;
  std::string friendlyName;
  std::string devicePath;
  std::string description;
  std::string position;  // bus position, orders cameras of one name
};

class PropertyBag final : public IPropertyBag, public std::enable_shared_from_this<PropertyBag> {
 public:
  explicit PropertyBag(FoundCamera camera) : camera_(std::move(camera)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IPropertyBag>(shared_from_this()) : nullptr;
  }

  HResult Read(const std::string& name, PropVariant& value) override {
    if (name == "FriendlyName")
      value = camera_.friendlyName;
    else if (name == "DevicePath")
      value = camera_.devicePath;
    else if (name == "Description")
      value = camera_.description;
    else
      return hr::Fail;
    return hr::Ok;
  }

 private:
  FoundCamera camera_;
};

class CameraMoniker final : public IMoniker, public std::enable_shared_from_this<CameraMoniker> {
 public:
  CameraMoniker(std::shared_ptr<NodeDirectory> nodes, FoundCamera camera)
      : nodes_(std::move(nodes)), camera_(std::move(camera)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IMoniker>(shared_from_this()) : nullptr;
  }

  HResult BindToStorage(std::shared_ptr<IPropertyBag>& storage) override {
    storage = std::make_shared<PropertyBag>(camera_);
    return hr::Ok;
  }

  HResult BindToObject(std::shared_ptr<IBaseFilter>& filter) override {
    // The node is opened again: the camera may have been unplugged since.
    std::unique_ptr<IoctlDevice> io;
    if (int ret = nodes_->Open(camera_.node, io); ret < 0)
      return ret == -ENOENT                    ? hr::DeviceNotConnected
             : ret == -EACCES || ret == -EPERM ? hr_v4l2::NodeAccessDenied
                                               : ResultFromErrno(ret);
    return MakeCameraFilter(std::make_shared<V4l2Device>(std::move(io)), camera_.friendlyName,
                            filter);
  }

 private:
  std::shared_ptr<NodeDirectory> nodes_;
  FoundCamera camera_;
};

class DeviceEnumerator final : public ICreateDevEnum,
                               public std::enable_shared_from_this<DeviceEnumerator> {
 public:
  explicit DeviceEnumerator(std::shared_ptr<NodeDirectory> nodes) : nodes_(std::move(nodes)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<ICreateDevEnum>(shared_from_this()) : nullptr;
  }

  HResult CreateClassEnumerator(DeviceCategory category, std::shared_ptr<IEnumMoniker>& enumerator,
                                std::uint32_t) override {
    std::vector<std::shared_ptr<IMoniker>> monikers;
    if (category == DeviceCategory::VideoInput)
      for (auto& camera : FindCameras())
        monikers.push_back(std::make_shared<CameraMoniker>(nodes_, std::move(camera)));
    if (monikers.empty()) {
      enumerator.reset();
      return hr::False;
    }
    enumerator = MakeMonikerList(std::move(monikers));
    return hr::Ok;
  }

 private:
  std::vector<FoundCamera> FindCameras() {
    std::vector<FoundCamera> found;
    for (const auto& node : nodes_->VideoNodes()) {
      std::string path = nodes_->ByIdLink(node);
      if (path.empty())
        path = node;
      std::unique_ptr<IoctlDevice> io;
      if (const int ret = nodes_->Open(node, io); ret < 0) {
        // A camera this user may not open is still listed, so that choosing
        // it can say why instead of the camera seeming absent. Only a
        // device's first node: the others are not video capture nodes.
        NodeFacts facts;
        if ((ret == -EACCES || ret == -EPERM) && nodes_->Facts(node, facts) && facts.index == 0)
          found.push_back({node, facts.name, path, node + ": permission denied", facts.position});
        continue;  // gone, or busy for another user
      }
      V4l2Capabilities caps;
      if (V4l2Device(std::move(io)).QueryCapabilities(caps) < 0 || !caps.IsVideoCapture())
        continue;
      found.push_back({node, caps.card, path, caps.driver + " " + caps.busInfo, caps.busInfo});
    }
    std::vector<NamedDevice> named;
    for (const auto& camera : found)
      named.push_back({camera.friendlyName, camera.position});
    const std::vector<std::string> names = DistinctNames(named);
    for (std::size_t i = 0; i < found.size(); ++i)
      found[i].friendlyName = names[i];
    return found;
  }

  std::shared_ptr<NodeDirectory> nodes_;
};

}  // namespace

std::shared_ptr<Unknown> MakeDeviceEnumerator(std::shared_ptr<NodeDirectory> nodes) {
  return std::make_shared<DeviceEnumerator>(std::move(nodes));
}

}  // namespace varnholt::platform::v4l2
