// The DLL's COM entry points: a class factory for each virtual camera's
// class and for the property page's, the unload check, and registration
// (regsvr32).

#include <olectl.h>
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>

#include "camera/platform/directshow/vcam/CameraFilter.h"
#include "camera/platform/directshow/vcam/ComSupport.h"
#include "camera/platform/directshow/vcam/PropertyPage.h"
#include "camera/platform/directshow/vcam/Registration.h"

namespace varnholt::vcam {
namespace {

HMODULE module = nullptr;
std::atomic<long> inUse{0};

class ClassFactory final : public IClassFactory, private RefCounted {
 public:
  // camera is the filter's; none for the property page.
  explicit ClassFactory(std::optional<std::size_t> camera) : camera_(camera) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out)
      return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory))
      return Answer<IClassFactory>(this, out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddOne(); }
  ULONG STDMETHODCALLTYPE Release() override { return DropOne(); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out)
      return E_POINTER;
    *out = nullptr;
    if (outer)
      return CLASS_E_NOAGGREGATION;
    return camera_ ? CameraFilter::Create(*camera_, iid, out) : CreatePropertyPage(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ModuleAddRef() : ModuleRelease();
    return S_OK;
  }

 private:
  const std::optional<std::size_t> camera_;
};

}  // namespace

void ModuleAddRef() {
  ++inUse;
}

void ModuleRelease() {
  --inUse;
}

bool ModuleInUse() {
  return inUse > 0;
}

HMODULE ThisModule() {
  return module;
}

}  // namespace varnholt::vcam

using namespace varnholt::vcam;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (!out)
    return E_POINTER;
  *out = nullptr;
  const auto camera = CameraOfClassId(clsid);
  if (!camera && !IsEqualCLSID(clsid, PageClassId()))
    return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new ClassFactory(camera);
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

STDAPI DllCanUnloadNow() {
  return ModuleInUse() ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return SELFREG_E_CLASS;
  return RegisterCameras(path);
}

STDAPI DllUnregisterServer() {
  return UnregisterCameras();
}
