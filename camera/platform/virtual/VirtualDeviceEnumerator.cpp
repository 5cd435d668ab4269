#include "camera/platform/virtual/VirtualDeviceEnumerator.h"
#include "camera/platform/FaultProbe.h"

#include <functional>
#include <utility>

#include "camera/platform/DeviceNames.h"
#include "camera/platform/graph/Compressors.h"
#include "camera/platform/graph/SoundSource.h"
#include "camera/platform/kit/DeviceEnumeration.h"
#include "camera/platform/kit/ListEnumerator.h"
#include "camera/platform/virtual/VirtualCameraFilter.h"
#include "camera/platform/virtual/VirtualMicrophone.h"

namespace varnholt::platform::virtualcam {
namespace {

using BagValues = kit::PropertyBag::Values;

// What compressors bind to: a name and no pins.
class NamedFilter final : public kit::SingleInterface<IBaseFilter> {
 public:
  explicit NamedFilter(std::string name) : name_(std::move(name)) {}

  HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) override {
    enumerator = std::make_shared<kit::PinList>(std::vector<std::shared_ptr<IPin>>());
    return hr::Ok;
  }
  HResult QueryFilterInfo(FilterInfo& info) override {
    info.achName = name_;
    info.pGraph.reset();
    return hr::Ok;
  }

 private:
  std::string name_;
};

std::shared_ptr<IMoniker> NamedMoniker(BagValues values, const std::string& name) {
  return std::make_shared<kit::DeviceMoniker>(std::move(values),
                                              [name](std::shared_ptr<IBaseFilter>& filter) {
                                                filter = std::make_shared<NamedFilter>(name);
                                                return hr::Ok;
                                              });
}

// Each audio input is a microphone of its own that beeps on whole seconds.
std::shared_ptr<IMoniker> MicrophoneMoniker(BagValues values, const std::string& name) {
  return std::make_shared<kit::DeviceMoniker>(
      std::move(values), [name](std::shared_ptr<IBaseFilter>& filter) {
        filter = graph::MakeSoundCaptureFilter(name, MakeVirtualMicrophone(), kMicrophoneChannels);
        return hr::Ok;
      });
}

std::shared_ptr<IMoniker> CameraMoniker(const std::shared_ptr<VirtualCamera>& camera,
                                        const std::string& name) {
  const CameraDescription& d = camera->Description();
  BagValues values = {{"FriendlyName", name}, {"DevicePath", d.devicePath}};
  if (d.description)
    values.emplace_back("Description", *d.description);
  return std::make_shared<kit::DeviceMoniker>(
      std::move(values),
      [camera](std::shared_ptr<IBaseFilter>& filter) {
        if (const auto fault =
                ProbeFault("IMoniker.BindToObject", camera->Description().devicePath))
          return *fault;
        if (const Fault& fault = camera->Description().failBindFilter)
          return *fault;
        if (const HResult code = camera->CheckConnected(); code != hr::Ok)
          return code;
        filter = MakeCameraFilter(camera->Bind());
        return hr::Ok;
      },
      d.failBindStorage);
}

std::vector<std::shared_ptr<IMoniker>> MonikersOf(const VirtualCameraSet& set,
                                                  DeviceCategory category) {
  std::vector<std::shared_ptr<IMoniker>> monikers;
  const CameraSetDescription& d = set.Description();
  switch (category) {
    case DeviceCategory::VideoInput: {
      // Cameras of one name are numbered in the order the description
      // places them, which stands for their bus position.
      std::vector<std::shared_ptr<VirtualCamera>> present;
      std::vector<NamedDevice> named;
      for (std::size_t i = 0; i < set.Cameras().size(); ++i) {
        const auto& camera = set.Cameras()[i];
        if (!camera->IsConnected())
          continue;
        present.push_back(camera);
        named.push_back({camera->Description().friendlyName, std::to_string(i)});
      }
      const std::vector<std::string> names = DistinctNames(named);
      for (std::size_t i = 0; i < present.size(); ++i)
        monikers.push_back(CameraMoniker(present[i], names[i]));
      break;
    }
    case DeviceCategory::AudioInput:
      for (const auto& input : d.audioInputs) {
        BagValues values = {{"FriendlyName", input.friendlyName}, {"WaveInID", input.waveInId}};
        if (input.description)
          values.emplace_back("Description", *input.description);
        monikers.push_back(MicrophoneMoniker(std::move(values), input.friendlyName));
      }
      break;
    case DeviceCategory::VideoCompressor:
    case DeviceCategory::AudioCompressor: {
      // The encoders every platform lists, unless the description names
      // compressors of its own: those bind to filters that connect to nothing.
      const auto& names =
          category == DeviceCategory::VideoCompressor ? d.videoCompressors : d.audioCompressors;
      if (names.empty())
        return graph::CompressorMonikers(category);
      for (const auto& name : names)
        monikers.push_back(NamedMoniker({{"FriendlyName", name}}, name));
      break;
    }
  }
  return monikers;
}

}  // namespace

std::shared_ptr<Unknown> MakeDeviceEnumerator(std::shared_ptr<VirtualCameraSet> cameras) {
  return kit::MakeDeviceEnumerator([cameras = std::move(cameras)](DeviceCategory category) {
    return MonikersOf(*cameras, category);
  });
}

}  // namespace varnholt::platform::virtualcam
