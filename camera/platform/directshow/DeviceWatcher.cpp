#include "camera/platform/directshow/DeviceWatcher.h"

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "camera/platform/directshow/ComPtr.h"
#include "camera/platform/directshow/ComThread.h"
#include "camera/platform/directshow/WinHeaders.h"

namespace varnholt::platform::directshow {
namespace {

constexpr wchar_t kWindowClass[] = L"VarnholtDeviceWatch";
constexpr UINT_PTR kPollTimer = 1;

// The interface classes a camera arrives under: kernel-streaming capture,
// video, and the newer camera class.
constexpr GUID kCameraInterfaceClasses[] = {
    {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}},
    {0x6994AD05, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}},
    {0xE5323777, 0xF976, 0x4F5B, {0x9B, 0x55, 0xB9, 0x46, 0x99, 0xC4, 0x6E, 0x44}},
};

// The video input category as the device enumerator lists it, one display
// name per device: the names identify devices, not only their models.
std::vector<std::wstring> VideoInputDevices() {
  std::vector<std::wstring> names;
  ComPtr<::ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICreateDevEnum, devices.ReceiveVoid())))
    return names;
  ComPtr<::IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Receive(), 0) !=
          S_OK ||
      !monikers)
    return names;
  ComPtr<::IBindCtx> context;
  CreateBindCtx(0, context.Receive());
  ComPtr<::IMoniker> moniker;
  while (monikers->Next(1, moniker.Receive(), nullptr) == S_OK && moniker) {
    LPOLESTR name = nullptr;
    if (SUCCEEDED(moniker->GetDisplayName(context.get(), nullptr, &name)) && name)
      names.emplace_back(name);
    CoTaskMemFree(name);
  }
  return names;
}

class DeviceWatcher final : public DeviceWatch {
 public:
  DeviceWatcher(std::function<void()> changed, std::chrono::milliseconds pollInterval)
      : changed_(std::move(changed)), pollInterval_(pollInterval) {}

  ~DeviceWatcher() override {
    if (window_)
      PostMessageW(window_, WM_CLOSE, 0, 0);
    if (thread_.joinable())
      thread_.join();
  }

  // Starts the thread and waits until its window stands (or could not).
  bool Start() {
    std::promise<HWND> ready;
    auto window = ready.get_future();
    thread_ = std::thread([this, &ready] { Run(ready); });
    window_ = window.get();
    return window_ != nullptr;
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DeviceWatcher*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
      case WM_DEVICECHANGE:
        if (self && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE))
          self->Look(true);
        return TRUE;
      case WM_TIMER:
        if (self && wParam == kPollTimer)
          self->Look(false);
        return 0;
      case WM_CLOSE:
        DestroyWindow(window);
        return 0;
      case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
      default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
  }

  static bool RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }

  void Run(std::promise<HWND>& ready) {
    EnsureCom();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window = nullptr;
    if (RegisterWindowClass(instance))
      window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                               nullptr);
    if (!window) {
      ready.set_value(nullptr);
      return;
    }
    known_ = VideoInputDevices();
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    std::vector<HDEVNOTIFY> notices;
    for (const GUID& interfaceClass : kCameraInterfaceClasses) {
      DEV_BROADCAST_DEVICEINTERFACE_W filter{};
      filter.dbcc_size = sizeof filter;
      filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
      filter.dbcc_classguid = interfaceClass;
      if (HDEVNOTIFY notice =
              RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE))
        notices.push_back(notice);
    }
    SetTimer(window, kPollTimer, static_cast<UINT>(pollInterval_.count()), nullptr);
    ready.set_value(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    for (HDEVNOTIFY notice : notices)
      UnregisterDeviceNotification(notice);
  }

  // A notice always reports; a poll only when the list changed.
  void Look(bool noticed) {
    auto now = VideoInputDevices();
    const bool different = now != known_;
    known_ = std::move(now);
    if (!noticed && !different)
      return;
    try {
      changed_();
    } catch (...) {
      // The caller's failure must not end the watch.
    }
  }

  std::function<void()> changed_;
  std::chrono::milliseconds pollInterval_;
  std::vector<std::wstring> known_;
  std::thread thread_;
  HWND window_ = nullptr;
};

}  // namespace

std::unique_ptr<DeviceWatch> StartDeviceWatcher(std::function<void()> changed,
                                                std::chrono::milliseconds pollInterval) {
  auto watcher = std::make_unique<DeviceWatcher>(std::move(changed), pollInterval);
  if (!watcher->Start())
    return nullptr;
  return watcher;
}

}  // namespace varnholt::platform::directshow
