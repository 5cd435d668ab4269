#include "camera/platform/virtual/VirtualDeviceEnumerator.h"

#include <functional>
#include <utility>

#include "camera/platform/DeviceNames.h"
#include "camera/platform/MonikerList.h"
#include "camera/platform/virtual/VirtualCameraFilter.h"

namespace varnholt::platform::virtualcam {
namespace {

using BagValues = std::vector<std::pair<std::string, PropVariant>>;
using Binder = std::function<HResult(std::shared_ptr<IBaseFilter>&)>;

class PropertyBag final : public IPropertyBag, public std::enable_shared_from_this<PropertyBag> {
 public:
  explicit PropertyBag(BagValues values) : values_(std::move(values)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IPropertyBag>(shared_from_this()) : nullptr;
  }

  HResult Read(const std::string& name, PropVariant& value) override {
    for (const auto& [key, stored] : values_) {
      if (key == name) {
        value = stored;
        return hr::Ok;
      }
    }
    return hr::Fail;
  }

 private:
  BagValues values_;
};

class DeviceMoniker final : public IMoniker, public std::enable_shared_from_this<DeviceMoniker> {
 public:
  DeviceMoniker(BagValues values, Fault storageFault, Binder bind)
      : values_(std::move(values)), storageFault_(storageFault), bind_(std::move(bind)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IMoniker>(shared_from_this()) : nullptr;
  }

  HResult BindToStorage(std::shared_ptr<IPropertyBag>& storage) override {
    if (storageFault_)
      return *storageFault_;
    storage = std::make_shared<PropertyBag>(values_);
    return hr::Ok;
  }

  HResult BindToObject(std::shared_ptr<IBaseFilter>& filter) override { return bind_(filter); }

 private:
  BagValues values_;
  Fault storageFault_;
  Binder bind_;
};

class EmptyPinList final : public IEnumPins, public std::enable_shared_from_this<EmptyPinList> {
 public:
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IEnumPins>(shared_from_this()) : nullptr;
  }
  HResult Next(std::shared_ptr<IPin>& pin) override {
    pin.reset();
    return hr::False;
  }
};

// What audio inputs and compressors bind to: a name and no pins.
class NamedFilter final : public IBaseFilter, public std::enable_shared_from_this<NamedFilter> {
 public:
  explicit NamedFilter(std::string name) : name_(std::move(name)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IBaseFilter>(shared_from_this()) : nullptr;
  }
  HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) override {
    enumerator = std::make_shared<EmptyPinList>();
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
  return std::make_shared<DeviceMoniker>(std::move(values), std::nullopt,
                                         [name](std::shared_ptr<IBaseFilter>& filter) {
                                           filter = std::make_shared<NamedFilter>(name);
                                           return hr::Ok;
                                         });
}

std::shared_ptr<IMoniker> CameraMoniker(const std::shared_ptr<VirtualCamera>& camera,
                                        const std::string& name) {
  const CameraDescription& d = camera->Description();
  BagValues values = {{"FriendlyName", name}, {"DevicePath", d.devicePath}};
  if (d.description)
    values.emplace_back("Description", *d.description);
  return std::make_shared<DeviceMoniker>(
      std::move(values), d.failBindStorage, [camera](std::shared_ptr<IBaseFilter>& filter) {
        if (const Fault& fault = camera->Description().failBindFilter)
          return *fault;
        if (const HResult code = camera->CheckConnected(); code != hr::Ok)
          return code;
        filter = MakeCameraFilter(camera->Bind());
        return hr::Ok;
      });
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
        monikers.push_back(NamedMoniker(std::move(values), input.friendlyName));
      }
      break;
    case DeviceCategory::VideoCompressor:
    case DeviceCategory::AudioCompressor: {
      const auto& names =
          category == DeviceCategory::VideoCompressor ? d.videoCompressors : d.audioCompressors;
      for (const auto& name : names)
        monikers.push_back(NamedMoniker({{"FriendlyName", name}}, name));
      break;
    }
  }
  return monikers;
}

class DeviceEnumerator final : public ICreateDevEnum,
                               public std::enable_shared_from_this<DeviceEnumerator> {
 public:
  explicit DeviceEnumerator(std::shared_ptr<VirtualCameraSet> cameras)
      : cameras_(std::move(cameras)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<ICreateDevEnum>(shared_from_this()) : nullptr;
  }

  HResult CreateClassEnumerator(DeviceCategory category, std::shared_ptr<IEnumMoniker>& enumerator,
                                std::uint32_t) override {
    auto monikers = MonikersOf(*cameras_, category);
    if (monikers.empty()) {
      enumerator.reset();
      return hr::False;
    }
    enumerator = MakeMonikerList(std::move(monikers));
    return hr::Ok;
  }

 private:
  std::shared_ptr<VirtualCameraSet> cameras_;
};

}  // namespace

std::shared_ptr<Unknown> MakeDeviceEnumerator(std::shared_ptr<VirtualCameraSet> cameras) {
  return std::make_shared<DeviceEnumerator>(std::move(cameras));
}

}  // namespace varnholt::platform::virtualcam
