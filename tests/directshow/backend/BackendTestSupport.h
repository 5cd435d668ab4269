#pragma once

// What the backend's tests share: a capture source registered in the video
// input category for the length of a test, and the renderer's need of a
// display.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "camera/platform/Interfaces.h"
#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/ComThread.h"
#include "camera/platform/directshow/Utf8.h"
#include "camera/platform/directshow/WinHeaders.h"

namespace varnholt::platform::directshow::testing {

// A filter class entered in the video input category under a name of its
// own, as a driver or a virtual camera enters itself; its moniker carries a
// device path and a wave-in id like a real device's. Gone again at the end.
class RegisteredDevice {
 public:
  RegisteredDevice(const CLSID& filterClass, const std::string& name)
      : filterClass_(filterClass), name_(ToUtf16(name)) {
    EXPECT_EQ(EnsureCom(), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IFilterMapper2, mapper_.ReceiveVoid()),
              S_OK);
    if (!mapper_)
      return;
    REGFILTER2 filter{};
    filter.dwVersion = 1;
    filter.dwMerit = MERIT_DO_NOT_USE;
    ComPtr<::IMoniker> moniker;
    const HRESULT code =
        mapper_->RegisterFilter(filterClass_, name_.c_str(), moniker.Receive(),
                                &CLSID_VideoInputDeviceCategory, name_.c_str(), &filter);
    EXPECT_EQ(code, S_OK);
    registered_ = SUCCEEDED(code);
    ComPtr<::IPropertyBag> bag;
    if (moniker)
      moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReceiveVoid());
    if (!bag)
      return;
    VARIANT path;
    VariantInit(&path);
    path.vt = VT_BSTR;
    path.bstrVal = SysAllocString((L"\\\\?\\varnholt#" + name_).c_str());
    EXPECT_EQ(bag->Write(L"DevicePath", &path), S_OK);
    VariantClear(&path);
    VARIANT waveIn;
    VariantInit(&waveIn);
    waveIn.vt = VT_I4;
    waveIn.lVal = 7;
    EXPECT_EQ(bag->Write(L"WaveInID", &waveIn), S_OK);
  }
  ~RegisteredDevice() { Remove(); }

  void Remove() {
    if (registered_) {
      EXPECT_EQ(
          mapper_->UnregisterFilter(&CLSID_VideoInputDeviceCategory, name_.c_str(), filterClass_),
          S_OK);
    }
    registered_ = false;
  }
  bool registered() const { return registered_; }

 private:
  CLSID filterClass_;
  std::wstring name_;
  ComPtr<::IFilterMapper2> mapper_;
  bool registered_ = false;
};

// The renderer draws through the display's GL: under Wine it needs an X
// server (run the tests under xvfb-run).
inline bool HaveDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

// Waits for condition, looking again every few milliseconds until the deadline.
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A platform object of the class as T; failing to make it fails the test.
template <class T>
std::shared_ptr<T> Create(Platform& platform, ClassId classId) {
  std::shared_ptr<Unknown> object;
  EXPECT_EQ(platform.CreateInstance(classId, object), hr::Ok);
  return Query<T>(object);
}

// What a grabbing graph is made of: the system's graph, the capture graph
// builder, a sample grabber and a null renderer, each made through the
// platform.
struct GrabberGraphParts {
  explicit GrabberGraphParts(Platform& platform)
      : graph(Create<IGraphBuilder>(platform, ClassId::FilterGraph)),
        builder(Create<ICaptureGraphBuilder2>(platform, ClassId::CaptureGraphBuilder2)),
        grabberFilter(Create<IBaseFilter>(platform, ClassId::SampleGrabber)),
        nullRenderer(Create<IBaseFilter>(platform, ClassId::NullRenderer)) {}
  std::shared_ptr<IGraphBuilder> graph;
  std::shared_ptr<ICaptureGraphBuilder2> builder;
  std::shared_ptr<IBaseFilter> grabberFilter;
  std::shared_ptr<IBaseFilter> nullRenderer;
};

}  // namespace varnholt::platform::directshow::testing
