#include "camera/platform/kit/PropertyBag.h"

namespace varnholt::platform::kit {

HResult PropertyBag::Read(const std::string& name, PropVariant& value) {
  for (const auto& [key, stored] : values_) {
    if (key == name) {
      value = stored;
      return hr::Ok;
    }
  }
  return hr::Fail;
}

}  // namespace varnholt::platform::kit
