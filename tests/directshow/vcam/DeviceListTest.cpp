// The cameras as a client finds them: listed by the system device
// enumerator with the names and paths of the built-in description, and
// bound to their filters through the monikers.

#include <algorithm>

#include "camera/platform/directshow/vcam/CameraTable.h"
#include "camera/platform/directshow/vcam/Registration.h"
#include "tests/directshow/vcam/VcamTestSupport.h"

namespace varnholt::vcam::test {
namespace {

using DeviceList = VcamTest;

TEST_F(DeviceList, ListsEveryDescribedCameraWithNameAndPath) {
  const std::vector<ListedCamera> listed = ListCameras();
  for (const CameraRow& row : Cameras()) {
    const auto found = std::find_if(listed.begin(), listed.end(), [&](const ListedCamera& c) {
      return c.friendlyName == row.friendlyName;
    });
    ASSERT_NE(found, listed.end()) << Narrow(row.friendlyName);
    EXPECT_EQ(found->devicePath, row.devicePath) << Narrow(row.friendlyName);
  }
  // The table is the description's: its first camera and the count.
  ASSERT_EQ(Cameras().size(), 5u);
  EXPECT_EQ(std::wstring(Cameras()[0].friendlyName), kHdWebcam);
  EXPECT_EQ(std::wstring(Cameras()[0].devicePath),
            L"\\\\?\\usb#vid_1d6b&pid_0c01&mi_00#6&2f1a7b3c&0&0000#"
            L"{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
}

TEST_F(DeviceList, MonikerBindsToTheNamedCamerasFilter) {
  ComRef<IBaseFilter> filter = BindCamera(kBasicCamera);
  ASSERT_TRUE(filter);
  FILTER_INFO info{};
  ASSERT_HRESULT_SUCCEEDED(filter->QueryFilterInfo(&info));
  EXPECT_EQ(info.pGraph, nullptr);
  // Each camera is its own class, so a second binding is the same camera.
  CLSID first{}, second{};
  ASSERT_HRESULT_SUCCEEDED(filter->GetClassID(&first));
  ComRef<IBaseFilter> again = BindCamera(kBasicCamera);
  ASSERT_TRUE(again);
  ASSERT_HRESULT_SUCCEEDED(again->GetClassID(&second));
  EXPECT_TRUE(IsEqualCLSID(first, second));
  ComRef<IBaseFilter> other = BindCamera(kHdWebcam);
  ASSERT_TRUE(other);
  ASSERT_HRESULT_SUCCEEDED(other->GetClassID(&second));
  EXPECT_FALSE(IsEqualCLSID(first, second));
}

// The DLL's own entry points, as regsvr32 and COM call them.
struct CameraDll {
  HMODULE module = nullptr;
  HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
  HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;

  CameraDll() {
    // Beside the test program (windows/CMakeLists.txt puts both in bin/).
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll = path;
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"varnholt-vcam.dll";
    module = LoadLibraryW(dll.c_str());
    if (!module)
      return;
    registerServer = reinterpret_cast<decltype(registerServer)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    unregisterServer = reinterpret_cast<decltype(unregisterServer)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
    canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  }
  ~CameraDll() {
    if (registerServer)
      registerServer();  // whatever the test did, the cameras stay for the others
    if (module)
      FreeLibrary(module);
  }
};

TEST_F(DeviceList, RegistrationAddsAndRemovesTheCamerasAndUnloadWaitsForObjects) {
  CameraDll dll;
  ASSERT_TRUE(dll.registerServer && dll.unregisterServer && dll.canUnloadNow);

  ASSERT_HRESULT_SUCCEEDED(dll.unregisterServer());
  for (const ListedCamera& listed : ListCameras())
    for (const CameraRow& row : Cameras())
      EXPECT_NE(listed.friendlyName, row.friendlyName);
  ComRef<IBaseFilter> filter;
  EXPECT_EQ(CoCreateInstance(ClassIdOf(0), nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             filter.PutVoid()),
            REGDB_E_CLASSNOTREG);

  ASSERT_HRESULT_SUCCEEDED(dll.registerServer());
  std::size_t ours = 0;
  for (const ListedCamera& listed : ListCameras())
    for (const CameraRow& row : Cameras())
      ours += listed.friendlyName == row.friendlyName;
  EXPECT_EQ(ours, Cameras().size());
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(ClassIdOf(0), nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IBaseFilter, filter.PutVoid()));
  EXPECT_EQ(dll.canUnloadNow(), S_FALSE);  // a filter is alive
  filter = ComRef<IBaseFilter>();
  EXPECT_EQ(dll.canUnloadNow(), S_OK);
}

// Run with --gtest_also_run_disabled_tests: the harness checks that a failing
// case fails its CTest test through Wine.
TEST(Harness, DISABLED_FailureReachesCTest) {
  EXPECT_EQ(1, 2) << "a failure on purpose";
}

}  // namespace
}  // namespace varnholt::vcam::test
