#pragma once

// The pin property set every source's output pin answers: its one property,
// id 0, is the pin's category, 16 bytes, read-only. Sources answer their
// IKsPropertySet calls on a pin through these, after their own checks.

#include <cstdint>
#include <span>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::kit {

// PropSetUnsupported for another set, PropIdUnsupported for another id or
// any write.
HResult SetPinCategory(const Guid& propSet, std::uint32_t id);
// MoreData with bytesReturned 16 for a short buffer.
HResult GetPinCategory(const Guid& category, const Guid& propSet, std::uint32_t id,
                       std::span<std::uint8_t> data, std::uint32_t& bytesReturned);
HResult QueryPinCategorySupport(const Guid& propSet, std::uint32_t id, std::uint32_t& typeSupport);

// The property set of a capture pin that has no checks of its own.
class CapturePinCategory : public IKsPropertySet {
 public:
  HResult Set(const Guid& propSet, std::uint32_t id, std::span<const std::uint8_t>,
              std::span<const std::uint8_t>) override {
    return SetPinCategory(propSet, id);
  }
  HResult Get(const Guid& propSet, std::uint32_t id, std::span<const std::uint8_t>,
              std::span<std::uint8_t> data, std::uint32_t& bytesReturned) override {
    return GetPinCategory(guids::PinCategoryCapture, propSet, id, data, bytesReturned);
  }
  HResult QuerySupported(const Guid& propSet, std::uint32_t id,
                         std::uint32_t& typeSupport) override {
    return QueryPinCategorySupport(propSet, id, typeSupport);
  }
};

}  // namespace varnholt::platform::kit
