#include "camera/platform/directshow/FilterFacets.h"

#include <algorithm>
#include <vector>

#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/ComThread.h"
#include "camera/platform/directshow/Enumerators.h"
#include "camera/platform/directshow/Identifiers.h"
#include "camera/platform/directshow/MediaTypes.h"
#include "camera/platform/directshow/Utf8.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::directshow {
namespace {

void* Bytes(std::span<const std::uint8_t> data) {
  // The system's signature takes writable memory for data it only reads.
  return data.empty() ? nullptr : const_cast<std::uint8_t*>(data.data());
}

// A media type the system allocated as a whole, as ours; the system's freed.
void TakeMediaType(AM_MEDIA_TYPE* type, std::unique_ptr<AmMediaType>& out) {
  out = type ? std::make_unique<AmMediaType>(FromComMediaType(*type)) : nullptr;
  DeleteComMediaType(type);
}

}  // namespace

HResult FilterFacet::EnumPins(std::shared_ptr<IEnumPins>& enumerator) {
  enumerator.reset();
  ComPtr<::IEnumPins> pins;
  const HRESULT code = com->EnumPins(pins.Receive());
  if (SUCCEEDED(code) && pins)
    enumerator = MakePinEnumerator(std::move(pins));
  return code;
}

HResult FilterFacet::QueryFilterInfo(FilterInfo& info) {
  FILTER_INFO system{};
  const HRESULT code = com->QueryFilterInfo(&system);
  if (FAILED(code))
    return code;
  // The name may fill the whole array without an ending.
  const std::size_t capacity = sizeof system.achName / sizeof system.achName[0];
  std::size_t length = 0;
  while (length < capacity && system.achName[length] != L'\0')
    ++length;
  info.achName = ToUtf8(std::wstring_view(system.achName, length));
  const auto graph = ComPtr<::IFilterGraph>::Adopt(system.pGraph);
  info.pGraph = graph ? Wrap<IGraphBuilder>(graph.get()) : nullptr;
  return code;
}

HResult PinFacet::QueryDirection(PinDirection& direction) {
  PIN_DIRECTION system = PINDIR_INPUT;
  const HRESULT code = com->QueryDirection(&system);
  if (SUCCEEDED(code))
    direction = system == PINDIR_OUTPUT ? PinDirection::Output : PinDirection::Input;
  return code;
}

HResult PinFacet::QueryId(std::string& id) {
  LPWSTR system = nullptr;
  const HRESULT code = com->QueryId(&system);
  if (SUCCEEDED(code))
    id = ToUtf8(system);
  CoTaskMemFree(system);
  return code;
}

HResult PinFacet::EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& enumerator) {
  enumerator.reset();
  ComPtr<::IEnumMediaTypes> types;
  const HRESULT code = com->EnumMediaTypes(types.Receive());
  if (SUCCEEDED(code) && types)
    enumerator = MakeMediaTypeEnumerator(std::move(types));
  return code;
}

HResult KsPropertySetFacet::Set(const Guid& propSet, std::uint32_t id,
                                std::span<const std::uint8_t> instanceData,
                                std::span<const std::uint8_t> propertyData) {
  if (const HResult code = EnsureCom(); Failed(code))
    return code;
  return com->Set(ToGuid(propSet), id, Bytes(instanceData), static_cast<DWORD>(instanceData.size()),
                  Bytes(propertyData), static_cast<DWORD>(propertyData.size()));
}

HResult KsPropertySetFacet::Get(const Guid& propSet, std::uint32_t id,
                                std::span<const std::uint8_t> instanceData,
                                std::span<std::uint8_t> propertyData,
                                std::uint32_t& bytesReturned) {
  if (const HResult code = EnsureCom(); Failed(code))
    return code;
  DWORD returned = 0;
  const HRESULT code =
      com->Get(ToGuid(propSet), id, Bytes(instanceData), static_cast<DWORD>(instanceData.size()),
               propertyData.empty() ? nullptr : propertyData.data(),
               static_cast<DWORD>(propertyData.size()), &returned);
  bytesReturned = returned;
  return code;
}

HResult KsPropertySetFacet::QuerySupported(const Guid& propSet, std::uint32_t id,
                                           std::uint32_t& typeSupport) {
  if (const HResult code = EnsureCom(); Failed(code))
    return code;
  DWORD support = 0;
  const HRESULT code = com->QuerySupported(ToGuid(propSet), id, &support);
  typeSupport = support;
  return code;
}

HResult StreamConfigFacet::GetFormat(std::unique_ptr<AmMediaType>& mediaType) {
  AM_MEDIA_TYPE* type = nullptr;
  const HRESULT code = com->GetFormat(&type);
  TakeMediaType(SUCCEEDED(code) ? type : nullptr, mediaType);
  return code;
}

HResult StreamConfigFacet::SetFormat(const AmMediaType& mediaType) {
  AM_MEDIA_TYPE type = BorrowComMediaType(mediaType);
  return com->SetFormat(&type);
}

HResult StreamConfigFacet::GetNumberOfCapabilities(std::int32_t& count) {
  int number = 0, size = 0;
  const HRESULT code = com->GetNumberOfCapabilities(&number, &size);
  count = number;
  return code;
}

HResult StreamConfigFacet::GetStreamCaps(std::int32_t index,
                                         std::unique_ptr<AmMediaType>& mediaType) {
  // The capabilities structure is not ours to hand out, but the call writes
  // one of the size the stream names (video and audio ones differ); never
  // less than a video one, for a driver that names too little.
  int number = 0, size = 0;
  if (const HRESULT code = com->GetNumberOfCapabilities(&number, &size); FAILED(code))
    return code;
  std::vector<BYTE> caps(std::max<std::size_t>(size > 0 ? static_cast<std::size_t>(size) : 0,
                                               sizeof(VIDEO_STREAM_CONFIG_CAPS)));
  AM_MEDIA_TYPE* type = nullptr;
  const HRESULT code = com->GetStreamCaps(index, &type, caps.data());
  TakeMediaType(SUCCEEDED(code) ? type : nullptr, mediaType);
  return code;
}

HResult VideoControlFacet::GetCaps(const std::shared_ptr<IPin>& pin, std::int32_t& capsFlags) {
  LONG flags = 0;
  const HRESULT code = com->GetCaps(ComAs<::IPin>(pin, IID_IPin).get(), &flags);
  capsFlags = flags;
  return code;
}

HResult VideoControlFacet::SetMode(const std::shared_ptr<IPin>& pin, std::int32_t mode) {
  return com->SetMode(ComAs<::IPin>(pin, IID_IPin).get(), mode);
}

HResult VideoControlFacet::GetMode(const std::shared_ptr<IPin>& pin, std::int32_t& mode) {
  LONG value = 0;
  const HRESULT code = com->GetMode(ComAs<::IPin>(pin, IID_IPin).get(), &value);
  mode = value;
  return code;
}

HResult PropertyPagesFacet::GetPages(std::vector<Guid>& pages) {
  CAUUID system{};
  const HRESULT code = com->GetPages(&system);
  if (SUCCEEDED(code)) {
    pages.clear();
    for (ULONG i = 0; i < system.cElems; ++i)
      pages.push_back(FromGuid(system.pElems[i]));
  }
  CoTaskMemFree(system.pElems);
  return code;
}

namespace {

// Both families have the same shape on the system side too.
template <class Interface, class Com>
class PropertyFamily final : public kit::SplitInterface<Interface>, public ComBacked {
 public:
  PropertyFamily(ComPtr<Com> family, std::weak_ptr<Unknown> owner)
      : kit::SplitInterface<Interface>(std::move(owner)), family_(std::move(family)) {}

  ::IUnknown* ComObject() const override { return family_.get(); }

  HResult GetRange(std::int32_t property, std::int32_t& min, std::int32_t& max,
                   std::int32_t& steppingDelta, std::int32_t& defaultValue,
                   std::int32_t& capsFlags) override {
    if (const HResult code = EnsureCom(); Failed(code))
      return code;
    LONG low = 0, high = 0, step = 0, initial = 0, caps = 0;
    const HRESULT code = family_->GetRange(property, &low, &high, &step, &initial, &caps);
    if (SUCCEEDED(code)) {
      min = low;
      max = high;
      steppingDelta = step;
      defaultValue = initial;
      capsFlags = caps;
    }
    return code;
  }

  HResult Set(std::int32_t property, std::int32_t value, std::int32_t flags) override {
    if (const HResult code = EnsureCom(); Failed(code))
      return code;
    return family_->Set(property, value, flags);
  }

  HResult Get(std::int32_t property, std::int32_t& value, std::int32_t& flags) override {
    if (const HResult code = EnsureCom(); Failed(code))
      return code;
    LONG current = 0, currentFlags = 0;
    const HRESULT code = family_->Get(property, &current, &currentFlags);
    if (SUCCEEDED(code)) {
      value = current;
      flags = currentFlags;
    }
    return code;
  }

 private:
  ComPtr<Com> family_;
};

}  // namespace

std::shared_ptr<void> MakeVideoProcAmp(ComPtr<::IAMVideoProcAmp> family,
                                       std::weak_ptr<Unknown> owner) {
  auto object = std::make_shared<PropertyFamily<IAMVideoProcAmp, ::IAMVideoProcAmp>>(
      std::move(family), std::move(owner));
  return InterfaceOf<IAMVideoProcAmp>(object);
}

std::shared_ptr<void> MakeCameraControl(ComPtr<::IAMCameraControl> family,
                                        std::weak_ptr<Unknown> owner) {
  auto object = std::make_shared<PropertyFamily<IAMCameraControl, ::IAMCameraControl>>(
      std::move(family), std::move(owner));
  return InterfaceOf<IAMCameraControl>(object);
}

}  // namespace varnholt::platform::directshow
