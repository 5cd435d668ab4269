#pragma once

// The device enumerator, its monikers and their property bags, over the
// system's. An empty category answers S_FALSE without an enumerator, as the
// system does; a moniker binds to the device's own filter.

#include "camera/platform/Interfaces.h"
#include "camera/platform/directshow/ComFacet.h"

namespace varnholt::platform::directshow {

class DeviceEnumFacet : public ICreateDevEnum, protected ComFacet<::ICreateDevEnum> {
 public:
  HResult CreateClassEnumerator(DeviceCategory category, std::shared_ptr<IEnumMoniker>& enumerator,
                                std::uint32_t flags) override;
};

class MonikerFacet : public IMoniker, protected ComFacet<::IMoniker> {
 public:
  HResult BindToStorage(std::shared_ptr<IPropertyBag>& storage) override;
  HResult BindToObject(std::shared_ptr<IBaseFilter>& filter) override;
};

// Strings come as UTF-8, integers (WaveInID) as integers; a value of any
// other kind is offered as its text where the system can make one.
class PropertyBagFacet : public IPropertyBag, protected ComFacet<::IPropertyBag> {
 public:
  HResult Read(const std::string& name, PropVariant& value) override;
};

}  // namespace varnholt::platform::directshow
