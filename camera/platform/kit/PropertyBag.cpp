#include "camera/platform/kit/PropertyBag.h"

#include "camera/platform/FaultProbe.h"

namespace varnholt::platform::kit {

HResult PropertyBag::Read(const std::string& name, PropVariant& value) {
  if (const auto fault = ProbeFault("IPropertyBag.Read"))
    return *fault;
  for (const auto& [key, stored] : values_) {
    if (key == name) {
      value = stored;
      return hr::Ok;
    }
  }
  return hr::Fail;
}

}  // namespace varnholt::platform::kit
