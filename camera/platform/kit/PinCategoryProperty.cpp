#include "camera/platform/kit/PinCategoryProperty.h"

#include <algorithm>

namespace varnholt::platform::kit {
namespace {

constexpr std::uint32_t kSupportGet = 1;  // KSPROPERTY_SUPPORT_GET

HResult Check(const Guid& propSet, std::uint32_t id, HResult known) {
  if (propSet != guids::AmPropSetIdPin)
    return hr::PropSetUnsupported;
  return id == 0 ? known : hr::PropIdUnsupported;
}

}  // namespace

HResult SetPinCategory(const Guid& propSet, std::uint32_t id) {
  return Check(propSet, id, hr::PropIdUnsupported);
}

HResult GetPinCategory(const Guid& category, const Guid& propSet, std::uint32_t id,
                       std::span<std::uint8_t> data, std::uint32_t& bytesReturned) {
  if (const HResult code = Check(propSet, id, hr::Ok); code != hr::Ok)
    return code;
  const auto bytes = category.ToBytes();
  bytesReturned = static_cast<std::uint32_t>(bytes.size());
  if (data.size() < bytes.size())
    return hr::MoreData;
  std::copy(bytes.begin(), bytes.end(), data.begin());
  return hr::Ok;
}

HResult QueryPinCategorySupport(const Guid& propSet, std::uint32_t id, std::uint32_t& typeSupport) {
  if (const HResult code = Check(propSet, id, hr::Ok); code != hr::Ok)
    return code;
  typeSupport = kSupportGet;
  return hr::Ok;
}

}  // namespace varnholt::platform::kit
