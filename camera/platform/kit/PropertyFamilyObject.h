#pragma once

// One property family, IAMVideoProcAmp or IAMCameraControl, over a backend's
// property source. The two interfaces share method names, so each family is
// an object of its own, split off its owner (the filter): any other
// interface is asked of the owner, as Interfaces.h has it.
//
// A source answers GetRange(kFamily, id, PropertyRange&), Get(kFamily, id,
// value, flags) and Set(kFamily, id, value, flags).

#include <cstdint>
#include <memory>

#include "camera/platform/HResult.h"
#include "camera/platform/Interfaces.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::kit {

struct PropertyRange {
  std::int32_t min = 0, max = 0, step = 0, defaultValue = 0, caps = 0;
};

template <class Interface, class Source, PropertyFamilyKind kFamily>
class PropertyFamilyObject final : public SplitInterface<Interface> {
 public:
  explicit PropertyFamilyObject(std::shared_ptr<Source> source, std::weak_ptr<Unknown> owner = {})
      : SplitInterface<Interface>(std::move(owner)), source_(std::move(source)) {}

  HResult GetRange(std::int32_t property, std::int32_t& min, std::int32_t& max,
                   std::int32_t& steppingDelta, std::int32_t& defaultValue,
                   std::int32_t& capsFlags) override {
    PropertyRange range;
    if (const HResult code = source_->GetRange(kFamily, property, range); code != hr::Ok)
      return code;
    min = range.min;
    max = range.max;
    steppingDelta = range.step;
    defaultValue = range.defaultValue;
    capsFlags = range.caps;
    return hr::Ok;
  }

  HResult Set(std::int32_t property, std::int32_t value, std::int32_t flags) override {
    return source_->Set(kFamily, property, value, flags);
  }

  HResult Get(std::int32_t property, std::int32_t& value, std::int32_t& flags) override {
    return source_->Get(kFamily, property, value, flags);
  }

 private:
  std::shared_ptr<Source> source_;
};

}  // namespace varnholt::platform::kit
