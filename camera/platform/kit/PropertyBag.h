#pragma once

// A device's property bag: the values its backend found, read by name.

#include <string>
#include <utility>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::kit {

class PropertyBag final : public SingleInterface<IPropertyBag> {
 public:
  using Values = std::vector<std::pair<std::string, PropVariant>>;

  explicit PropertyBag(Values values) : values_(std::move(values)) {}

  // The value stored under name (case matters), or E_FAIL without one.
  HResult Read(const std::string& name, PropVariant& value) override;

 private:
  Values values_;
};

}  // namespace varnholt::platform::kit
