#include "camera/platform/directshow/vcam/Registration.h"

#include <dshow.h>

#include "camera/platform/directshow/vcam/CameraTable.h"

namespace varnholt::vcam {
namespace {

// {5B0C4A61-7F2E-4D19-9A3C-8E1D6F2B7000}; the last byte is the camera.
constexpr CLSID kClassIdBase = {
    0x5b0c4a61, 0x7f2e, 0x4d19, {0x9a, 0x3c, 0x8e, 0x1d, 0x6f, 0x2b, 0x70, 0x00}};

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ClassKey(REFCLSID id) {
  return L"CLSID\\" + GuidText(id);
}

std::wstring DeviceEntryKey(std::size_t camera) {
  return L"CLSID\\" + GuidText(CLSID_VideoInputDeviceCategory) + L"\\Instance\\" +
         GuidText(ClassIdOf(camera));
}

HRESULT FromWin32(LSTATUS status) {
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT WriteString(HKEY key, const wchar_t* name, const std::wstring& value) {
  return FromWin32(RegSetValueExW(key, name, 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

// Creates the key and writes its string values, name first and value second.
HRESULT WriteKey(const std::wstring& path,
                 std::initializer_list<std::pair<const wchar_t*, std::wstring>> values) {
  HKEY key = nullptr;
  HRESULT hr = FromWin32(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                         nullptr, &key, nullptr));
  for (const auto& [name, value] : values)
    if (SUCCEEDED(hr))
      hr = WriteString(key, name, value);
  if (key)
    RegCloseKey(key);
  return hr;
}

// A class served by the DLL, in any apartment.
HRESULT WriteClass(REFCLSID id, const std::wstring& name, const std::wstring& dllPath) {
  const HRESULT hr = WriteKey(ClassKey(id), {{nullptr, name}});
  return FAILED(hr) ? hr
                    : WriteKey(ClassKey(id) + L"\\InprocServer32",
                               {{nullptr, dllPath}, {L"ThreadingModel", L"Both"}});
}

HRESULT DeleteKey(const std::wstring& path) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
  return status == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(status);
}

}  // namespace

CLSID PageClassId() {
  // The camera base with 0x71 before the camera byte: no camera's.
  CLSID id = kClassIdBase;
  id.Data4[6] = 0x71;
  return id;
}

CLSID ClassIdOf(std::size_t camera) {
  CLSID id = kClassIdBase;
  id.Data4[7] = static_cast<unsigned char>(camera);
  return id;
}

std::optional<std::size_t> CameraOfClassId(REFCLSID clsid) {
  for (std::size_t i = 0; i < Cameras().size(); ++i)
    if (IsEqualCLSID(clsid, ClassIdOf(i)))
      return i;
  return std::nullopt;
}

std::optional<std::size_t> CameraNamed(const std::wstring& friendlyName) {
  for (std::size_t i = 0; i < Cameras().size(); ++i)
    if (friendlyName == Cameras()[i].friendlyName)
      return i;
  return std::nullopt;
}

HRESULT AddDeviceEntry(std::size_t camera) {
  const CameraRow& row = Cameras()[camera];
  return WriteKey(DeviceEntryKey(camera), {{L"FriendlyName", row.friendlyName},
                                           {L"DevicePath", row.devicePath},
                                           {L"CLSID", GuidText(ClassIdOf(camera))}});
}

HRESULT RemoveDeviceEntry(std::size_t camera) {
  return DeleteKey(DeviceEntryKey(camera));
}

HRESULT RegisterCameras(const std::wstring& dllPath) {
  for (std::size_t i = 0; i < Cameras().size(); ++i) {
    HRESULT hr = WriteClass(ClassIdOf(i), Cameras()[i].friendlyName, dllPath);
    if (SUCCEEDED(hr))
      hr = AddDeviceEntry(i);
    if (FAILED(hr))
      return hr;
  }
  return WriteClass(PageClassId(), L"Varnholt Virtual Camera Page", dllPath);
}

HRESULT UnregisterCameras() {
  HRESULT result = DeleteKey(ClassKey(PageClassId()));
  for (std::size_t i = 0; i < Cameras().size(); ++i)
    for (const HRESULT hr : {RemoveDeviceEntry(i), DeleteKey(ClassKey(ClassIdOf(i)))})
      if (FAILED(hr))
        result = hr;
  return result;
}

}  // namespace varnholt::vcam
