#pragma once

// What the virtual camera tests share: COM for the test's thread, the
// cameras as the device enumerator lists them, and a clean fault state
// before and after every test.

#include <dshow.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/platform/directshow/ComMediaTypeMemory.h"
#include "camera/platform/directshow/vcam/ComSupport.h"

namespace varnholt::vcam::test {

struct ListedCamera {
  std::wstring friendlyName;
  std::wstring devicePath;
  ComRef<IMoniker> moniker;
};

// The video input devices in the enumerator's order.
std::vector<ListedCamera> ListCameras();
// The filter of the listed camera with that name; null (and a test
// failure) when there is none.
ComRef<IBaseFilter> BindCamera(const std::wstring& friendlyName);
// The filter's first output pin.
ComRef<IPin> CapturePin(IBaseFilter* filter);

std::string Narrow(const std::wstring& text);

// A client's own release of media types (the SDK's base classes have these).
using platform::directshow::DeleteComMediaType;
using platform::directshow::FreeComMediaType;

class VcamTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  HRESULT com_ = E_FAIL;
};

inline const std::wstring kHdWebcam = L"Varnholt Virtual HD Webcam";
inline const std::wstring kBasicCamera = L"Varnholt Virtual Basic Camera";
inline const std::wstring kCaptureCard = L"Varnholt Virtual Capture Card";

}  // namespace varnholt::vcam::test
