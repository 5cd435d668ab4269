#include "camera/platform/directshow/DirectShowPlatform.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>

#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/ComThread.h"
#include "camera/platform/directshow/DeviceWatcher.h"
#include "camera/platform/directshow/Identifiers.h"
#include "camera/platform/directshow/Utf8.h"

namespace varnholt::platform::directshow {
namespace {

std::wstring TrimEnd(std::wstring text) {
  while (!text.empty() && std::iswspace(text.back()))
    text.pop_back();
  return text;
}

// Wine's AMGetErrorText answers every code with this placeholder; it is
// no text of the code's, so the message table is asked instead.
bool IsPlaceholder(const std::wstring& text, HResult code) {
  char placeholder[32];
  std::snprintf(placeholder, sizeof placeholder, "Error: 0x%x", static_cast<unsigned>(code));
  return ToUtf8(text) == placeholder;
}

std::wstring FilterText(HResult code) {
  wchar_t text[MAX_ERROR_TEXT_LEN] = {};
  const DWORD length = AMGetErrorTextW(code, text, MAX_ERROR_TEXT_LEN);
  if (length == 0)
    return {};
  std::wstring out = TrimEnd(std::wstring(text, std::min<DWORD>(length, MAX_ERROR_TEXT_LEN)));
  return IsPlaceholder(out, code) ? std::wstring() : out;
}

std::wstring SystemText(HResult code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring out = length > 0 && text ? TrimEnd(std::wstring(text, length)) : std::wstring();
  LocalFree(text);
  return out;
}

}  // namespace

HResult DirectShowPlatform::CreateInstance(ClassId classId, std::shared_ptr<Unknown>& object) {
  object.reset();
  if (const HResult code = EnsureCom(); Failed(code))
    return code;
  ComPtr<::IUnknown> created;
  const HRESULT code = CoCreateInstance(ComClassId(classId), nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IUnknown, created.ReceiveVoid());
  if (SUCCEEDED(code))
    object = WrapObject(created.get());
  return code;
}

std::string DirectShowPlatform::ErrorText(HResult code) {
  std::wstring text = FilterText(code);
  if (text.empty())
    text = SystemText(code);
  return ToUtf8(text);
}

HResult DirectShowPlatform::ShowPropertyFrame(WindowHandle owner, int x, int y,
                                              const std::string& caption,
                                              const std::vector<std::shared_ptr<Unknown>>& objects,
                                              const std::vector<Guid>& pages,
                                              std::uint32_t locale) {
  if (const HResult code = EnsureCom(); Failed(code))
    return code;
  std::vector<ComPtr<::IUnknown>> held;
  std::vector<::IUnknown*> systemObjects;
  for (const auto& object : objects) {
    ::IUnknown* com = ComOf(object);
    if (!com)
      return hr::InvalidArg;
    held.push_back(ComPtr<::IUnknown>::Share(com));
    systemObjects.push_back(com);
  }
  std::vector<CLSID> systemPages;
  for (const Guid& page : pages)
    systemPages.push_back(ToGuid(page));
  const std::wstring wideCaption = ToUtf16(caption);
  return OleCreatePropertyFrame(
      reinterpret_cast<HWND>(owner), static_cast<UINT>(x), static_cast<UINT>(y),
      wideCaption.c_str(), static_cast<ULONG>(systemObjects.size()), systemObjects.data(),
      static_cast<ULONG>(systemPages.size()), systemPages.data(), locale, 0, nullptr);
}

std::unique_ptr<DeviceWatch> DirectShowPlatform::WatchDevices(std::function<void()> changed) {
  return StartDeviceWatcher(std::move(changed), kDevicePollInterval);
}

}  // namespace varnholt::platform::directshow
