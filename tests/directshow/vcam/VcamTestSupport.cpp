#include "tests/directshow/vcam/VcamTestSupport.h"

#include "camera/platform/directshow/vcam/FaultControl.h"

namespace varnholt::vcam::test {
namespace {

std::wstring ReadString(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::wstring text;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR)
    text = value.bstrVal;
  VariantClear(&value);
  return text;
}

}  // namespace

std::vector<ListedCamera> ListCameras() {
  std::vector<ListedCamera> cameras;
  ComRef<ICreateDevEnum> devices;
  EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_ICreateDevEnum, devices.PutVoid()));
  if (!devices)
    return cameras;
  ComRef<IEnumMoniker> monikers;
  const HRESULT hr =
      devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0);
  EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
  if (hr != S_OK)
    return cameras;
  ComRef<IMoniker> moniker;
  while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
    ComRef<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())))
      continue;
    cameras.push_back(
        {ReadString(bag.Get(), L"FriendlyName"), ReadString(bag.Get(), L"DevicePath"), moniker});
  }
  return cameras;
}

ComRef<IBaseFilter> BindCamera(const std::wstring& friendlyName) {
  for (const ListedCamera& camera : ListCameras())
    if (camera.friendlyName == friendlyName) {
      ComRef<IBaseFilter> filter;
      EXPECT_HRESULT_SUCCEEDED(
          camera.moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid()));
      return filter;
    }
  ADD_FAILURE() << "no camera named " << Narrow(friendlyName);
  return {};
}

ComRef<IPin> CapturePin(IBaseFilter* filter) {
  ComRef<IEnumPins> pins;
  EXPECT_HRESULT_SUCCEEDED(filter->EnumPins(pins.Put()));
  ComRef<IPin> pin;
  while (pins && pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION direction = PINDIR_INPUT;
    if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT)
      return pin;
  }
  ADD_FAILURE() << "no output pin";
  return {};
}

std::string Narrow(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1)
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  return out;
}

void VcamTest::SetUp() {
  com_ = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ASSERT_HRESULT_SUCCEEDED(com_);
  ASSERT_HRESULT_SUCCEEDED(ResetAllFaults());
}

void VcamTest::TearDown() {
  EXPECT_HRESULT_SUCCEEDED(ResetAllFaults());
  if (SUCCEEDED(com_))
    CoUninitialize();
}

}  // namespace varnholt::vcam::test
