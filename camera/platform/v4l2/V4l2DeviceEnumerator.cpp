#include "camera/platform/v4l2/V4l2DeviceEnumerator.h"

#include <cerrno>
#include <utility>
#include <vector>

#include "camera/platform/DeviceNames.h"
#include "camera/platform/graph/Compressors.h"
#include "camera/platform/graph/SoundSource.h"
#include "camera/platform/kit/DeviceEnumeration.h"
#include "camera/platform/v4l2/AlsaSound.h"
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

// The node is opened again on binding: the camera may have been unplugged
// since it was listed.
HResult BindCamera(NodeDirectory& nodes, const FoundCamera& camera,
                   std::shared_ptr<IBaseFilter>& filter,
                   const std::shared_ptr<ControlWatch>& controlWatch) {
  std::unique_ptr<IoctlDevice> io;
  if (int ret = nodes.Open(camera.node, io); ret < 0)
    return ret == -ENOENT                    ? hr::DeviceNotConnected
           : ret == -EACCES || ret == -EPERM ? hr_v4l2::NodeAccessDenied
                                             : ResultFromErrno(ret);
  return MakeCameraFilter(std::make_shared<V4l2Device>(std::move(io)), camera.friendlyName, filter,
                          controlWatch);
}

std::shared_ptr<IMoniker> CameraMoniker(std::shared_ptr<NodeDirectory> nodes, FoundCamera camera,
                                        std::shared_ptr<ControlWatch> controlWatch) {
  kit::PropertyBag::Values values = {{"FriendlyName", camera.friendlyName},
                                     {"DevicePath", camera.devicePath},
                                     {"Description", camera.description}};
  return std::make_shared<kit::DeviceMoniker>(
      std::move(values),
      [nodes = std::move(nodes), camera = std::move(camera),
       controlWatch = std::move(controlWatch)](std::shared_ptr<IBaseFilter>& filter) {
        return BindCamera(*nodes, camera, filter, controlWatch);
      });
}

std::vector<FoundCamera> FindCameras(NodeDirectory& nodes) {
  std::vector<FoundCamera> found;
  for (const auto& node : nodes.VideoNodes()) {
    std::string path = nodes.ByIdLink(node);
    if (path.empty())
      path = node;
    std::unique_ptr<IoctlDevice> io;
    if (const int ret = nodes.Open(node, io); ret < 0) {
      // A camera this user may not open is still listed, so that choosing
      // it can say why instead of the camera seeming absent. Only a
      // device's first node: the others are not video capture nodes.
      NodeFacts facts;
      if ((ret == -EACCES || ret == -EPERM) && nodes.Facts(node, facts) && facts.index == 0)
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

// The sound cards' capture devices, WaveInID their place in the list.
std::vector<std::shared_ptr<IMoniker>> SoundInputMonikers() {
  std::vector<std::shared_ptr<IMoniker>> monikers;
  std::int32_t waveInId = 0;
  for (auto& device : FindAlsaCaptureDevices()) {
    kit::PropertyBag::Values values = {{"FriendlyName", device.friendlyName},
                                       {"Description", device.description},
                                       {"WaveInID", waveInId++}};
    monikers.push_back(std::make_shared<kit::DeviceMoniker>(
        std::move(values), [device = std::move(device)](std::shared_ptr<IBaseFilter>& filter) {
          // Asked again on binding: the card may have gone since it was listed.
          std::uint16_t channels = 0;
          if (const HResult code = ProbeAlsaChannels(device, channels); code != hr::Ok)
            return code;
          filter = graph::MakeSoundCaptureFilter(device.friendlyName, MakeAlsaSoundDevice(device),
                                                 channels);
          return hr::Ok;
        }));
  }
  return monikers;
}

}  // namespace

std::shared_ptr<Unknown> MakeDeviceEnumerator(std::shared_ptr<NodeDirectory> nodes,
                                              std::shared_ptr<ControlWatch> controlWatch) {
  return kit::MakeDeviceEnumerator(
      [nodes = std::move(nodes), controlWatch = std::move(controlWatch)](DeviceCategory category) {
        std::vector<std::shared_ptr<IMoniker>> monikers;
        if (category == DeviceCategory::AudioInput)
          return SoundInputMonikers();
        if (category == DeviceCategory::VideoInput)
          for (auto& camera : FindCameras(*nodes))
            monikers.push_back(CameraMoniker(nodes, std::move(camera), controlWatch));
        if (category == DeviceCategory::VideoCompressor ||
            category == DeviceCategory::AudioCompressor)
          monikers = graph::CompressorMonikers(category);
        return monikers;
      });
}

}  // namespace varnholt::platform::v4l2
