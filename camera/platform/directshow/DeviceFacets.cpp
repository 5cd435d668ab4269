#include "camera/platform/directshow/DeviceFacets.h"

#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/ComThread.h"
#include "camera/platform/directshow/Enumerators.h"
#include "camera/platform/directshow/Identifiers.h"
#include "camera/platform/directshow/Utf8.h"

namespace varnholt::platform::directshow {

HResult DeviceEnumFacet::CreateClassEnumerator(DeviceCategory category,
                                               std::shared_ptr<IEnumMoniker>& enumerator,
                                               std::uint32_t flags) {
  enumerator.reset();
  if (const HResult code = EnsureCom(); Failed(code))
    return code;
  ComPtr<::IEnumMoniker> found;
  const HRESULT code = com->CreateClassEnumerator(ComCategory(category), found.Receive(), flags);
  if (code == S_OK && found)
    enumerator = MakeMonikerEnumerator(std::move(found));
  return code;
}

HResult MonikerFacet::BindToStorage(std::shared_ptr<IPropertyBag>& storage) {
  storage.reset();
  if (const HResult code = EnsureCom(); Failed(code))
    return code;
  ComPtr<::IPropertyBag> bag;
  const HRESULT code = com->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReceiveVoid());
  if (SUCCEEDED(code) && bag)
    storage = Wrap<IPropertyBag>(bag.get());
  return code;
}

HResult MonikerFacet::BindToObject(std::shared_ptr<IBaseFilter>& filter) {
  filter.reset();
  if (const HResult code = EnsureCom(); Failed(code))
    return code;
  ComPtr<::IBaseFilter> object;
  const HRESULT code = com->BindToObject(nullptr, nullptr, IID_IBaseFilter, object.ReceiveVoid());
  if (SUCCEEDED(code) && object)
    filter = Wrap<IBaseFilter>(object.get());
  return code;
}

HResult PropertyBagFacet::Read(const std::string& name, PropVariant& value) {
  value = std::monostate{};
  const std::wstring wideName = ToUtf16(name);
  VARIANT variant;
  VariantInit(&variant);
  const HRESULT code = com->Read(wideName.c_str(), &variant, nullptr);
  if (FAILED(code))
    return code;
  switch (variant.vt) {
    case VT_BSTR:
      value = ToUtf8(std::wstring_view(variant.bstrVal, SysStringLen(variant.bstrVal)));
      break;
    case VT_I4:
    case VT_INT:
      value = static_cast<std::int32_t>(variant.lVal);
      break;
    case VT_UI4:
    case VT_UINT:
      value = static_cast<std::int32_t>(variant.ulVal);
      break;
    case VT_I2:
      value = static_cast<std::int32_t>(variant.iVal);
      break;
    case VT_UI2:
      value = static_cast<std::int32_t>(variant.uiVal);
      break;
    default: {
      VARIANT text;
      VariantInit(&text);
      if (SUCCEEDED(VariantChangeType(&text, &variant, 0, VT_BSTR)))
        value = ToUtf8(std::wstring_view(text.bstrVal, SysStringLen(text.bstrVal)));
      VariantClear(&text);
    }
  }
  VariantClear(&variant);
  return code;
}

}  // namespace varnholt::platform::directshow
