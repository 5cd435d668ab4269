#include "camera/platform/directshow/vcam/FaultControl.h"

#include "camera/platform/directshow/vcam/CameraTable.h"
#include "camera/platform/directshow/vcam/Registration.h"

namespace varnholt::vcam {
namespace {

const std::wstring kRoot = L"Software\\Varnholt\\VirtualCamera";

std::optional<DWORD> ReadWord(const wchar_t* camera, const std::wstring& name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  const std::wstring key = kRoot + L"\\" + camera;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                   &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

HRESULT WriteWord(const std::wstring& camera, const std::wstring& name, DWORD value) {
  const std::wstring key = kRoot + L"\\" + camera;
  const LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_DWORD,
                                         &value, sizeof value);
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT DeleteWord(const std::wstring& camera, const std::wstring& name) {
  const std::wstring key = kRoot + L"\\" + camera;
  const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK
                                                                   : HRESULT_FROM_WIN32(status);
}

}  // namespace

bool IsBusy(const wchar_t* camera) {
  return ReadWord(camera, L"Busy").value_or(0) != 0;
}

bool IsUnplugged(const wchar_t* camera) {
  return ReadWord(camera, L"Unplugged").value_or(0) != 0;
}

DWORD PlugCount(const wchar_t* camera) {
  return ReadWord(camera, L"Plugs").value_or(0);
}

std::optional<HRESULT> ArmedFailure(const wchar_t* camera, const wchar_t* point) {
  if (const auto code = ReadWord(camera, std::wstring(L"Fail.") + point))
    return static_cast<HRESULT>(*code);
  return std::nullopt;
}

HRESULT SetBusy(const std::wstring& camera, bool busy) {
  return busy ? WriteWord(camera, L"Busy", 1) : DeleteWord(camera, L"Busy");
}

HRESULT SetUnplugged(const std::wstring& camera, bool unplugged) {
  const auto index = CameraNamed(camera);
  if (!index)
    return E_INVALIDARG;
  if (unplugged) {
    HRESULT hr = WriteWord(camera, L"Unplugged", 1);
    if (SUCCEEDED(hr))
      hr = WriteWord(camera, L"Plugs", PlugCount(camera.c_str()) + 1);
    return FAILED(hr) ? hr : RemoveDeviceEntry(*index);
  }
  const HRESULT hr = AddDeviceEntry(*index);
  return FAILED(hr) ? hr : DeleteWord(camera, L"Unplugged");
}

HRESULT FailCall(const std::wstring& camera, const std::wstring& point, HRESULT code) {
  return WriteWord(camera, L"Fail." + point, static_cast<DWORD>(code));
}

HRESULT ClearCall(const std::wstring& camera, const std::wstring& point) {
  return DeleteWord(camera, L"Fail." + point);
}

HRESULT ResetAllFaults() {
  HRESULT result = S_OK;
  for (std::size_t i = 0; i < Cameras().size(); ++i) {
    // An entry is only put back for a camera that was unplugged: the others
    // may not be registered in this prefix at all.
    if (IsUnplugged(Cameras()[i].friendlyName)) {
      if (const HRESULT hr = AddDeviceEntry(i); FAILED(hr))
        result = hr;
    }
  }
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, kRoot.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    result = HRESULT_FROM_WIN32(status);
  return result;
}

}  // namespace varnholt::vcam
