#pragma once

// The system device enumerator as every backend offers it: a backend only
// finds its devices, each as a moniker over its property bag's values and a
// way to bind the device's filter.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/kit/PropertyBag.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::kit {

class DeviceMoniker final : public SingleInterface<IMoniker> {
 public:
  using Binder = std::function<HResult(std::shared_ptr<IBaseFilter>&)>;

  // storageFault, when set, is what BindToStorage answers instead of a bag.
  DeviceMoniker(PropertyBag::Values values, Binder bind,
                std::optional<HResult> storageFault = std::nullopt)
      : values_(std::move(values)), bind_(std::move(bind)), storageFault_(storageFault) {}

  HResult BindToStorage(std::shared_ptr<IPropertyBag>& storage) override;
  HResult BindToObject(std::shared_ptr<IBaseFilter>& filter) override { return bind_(filter); }

 private:
  PropertyBag::Values values_;
  Binder bind_;
  std::optional<HResult> storageFault_;
};

// The devices of a category as found now, in the order they are listed.
using DeviceSearch = std::function<std::vector<std::shared_ptr<IMoniker>>(DeviceCategory)>;

// An ICreateDevEnum whose class enumerators list what search finds: S_FALSE
// and no enumerator for an empty category.
std::shared_ptr<Unknown> MakeDeviceEnumerator(DeviceSearch search);

}  // namespace varnholt::platform::kit
