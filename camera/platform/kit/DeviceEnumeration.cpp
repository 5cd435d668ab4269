#include "camera/platform/kit/DeviceEnumeration.h"
#include "camera/platform/FaultProbe.h"

#include "camera/platform/kit/ListEnumerator.h"

namespace varnholt::platform::kit {
namespace {

class DeviceEnumerator final : public SingleInterface<ICreateDevEnum> {
 public:
  explicit DeviceEnumerator(DeviceSearch search) : search_(std::move(search)) {}

  HResult CreateClassEnumerator(DeviceCategory category, std::shared_ptr<IEnumMoniker>& enumerator,
                                std::uint32_t) override {
    if (const auto fault = ProbeFault("ICreateDevEnum.CreateClassEnumerator"))
      return *fault;
    auto monikers = search_(category);
    if (monikers.empty()) {
      enumerator.reset();
      return hr::False;
    }
    enumerator = std::make_shared<MonikerList>(std::move(monikers));
    return hr::Ok;
  }

 private:
  DeviceSearch search_;
};

}  // namespace

HResult DeviceMoniker::BindToStorage(std::shared_ptr<IPropertyBag>& storage) {
  if (const auto fault = ProbeFault("IMoniker.BindToStorage"))
    return *fault;
  if (storageFault_)
    return *storageFault_;
  storage = std::make_shared<PropertyBag>(values_);
  return hr::Ok;
}

std::shared_ptr<Unknown> MakeDeviceEnumerator(DeviceSearch search) {
  return std::make_shared<DeviceEnumerator>(std::move(search));
}

}  // namespace varnholt::platform::kit
