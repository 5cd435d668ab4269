// The faults a test can give a camera (FaultControl.h), seen as a client
// sees them: a busy camera that will not connect or start, an unplugged
// one that leaves the device list and fails every call of a filter bound
// to it, and one method failing with a chosen code.

#include <chrono>

#include "camera/platform/directshow/vcam/FaultControl.h"
#include "tests/directshow/vcam/VcamTestSupport.h"

extern "C" const CLSID CLSID_NullRenderer;

namespace varnholt::vcam::test {
namespace {

constexpr HRESULT kBusy = HRESULT_FROM_WIN32(ERROR_BUSY);
constexpr HRESULT kGone = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);

// camera -> null renderer in a graph of its own.
struct RenderGraph {
  ComRef<IGraphBuilder> graph;
  ComRef<IBaseFilter> renderer;
  ComRef<IPin> output, input;
  ComRef<IMediaControl> control;
  ComRef<IMediaEvent> events;

  explicit RenderGraph(IBaseFilter* camera) {
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IGraphBuilder, graph.PutVoid()));
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IBaseFilter, renderer.PutVoid()));
    EXPECT_HRESULT_SUCCEEDED(graph->AddFilter(camera, L"Camera"));
    EXPECT_HRESULT_SUCCEEDED(graph->AddFilter(renderer.Get(), L"Renderer"));
    output = CapturePin(camera);
    ComRef<IEnumPins> pins;
    EXPECT_HRESULT_SUCCEEDED(renderer->EnumPins(pins.Put()));
    EXPECT_EQ(pins->Next(1, input.Put(), nullptr), S_OK);
    EXPECT_HRESULT_SUCCEEDED(graph->QueryInterface(IID_IMediaControl, control.PutVoid()));
    EXPECT_HRESULT_SUCCEEDED(graph->QueryInterface(IID_IMediaEvent, events.PutVoid()));
  }
  ~RenderGraph() {
    if (control)
      control->Stop();
  }
  // Waits up to ten seconds for an event of that code.
  bool WaitForEvent(long wanted) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
      long code = 0;
      LONG_PTR first = 0, second = 0;
      if (events->GetEvent(&code, &first, &second, 100) != S_OK)
        continue;
      events->FreeEventParams(code, first, second);
      if (code == wanted)
        return true;
    }
    return false;
  }
};

using Faults = VcamTest;

TEST_F(Faults, BusyCameraRefusesToConnectAndToStart) {
  ComRef<IBaseFilter> camera = BindCamera(kBasicCamera);
  ASSERT_TRUE(camera);
  RenderGraph graph(camera.Get());
  ASSERT_HRESULT_SUCCEEDED(SetBusy(kBasicCamera, true));
  EXPECT_EQ(graph.graph->ConnectDirect(graph.output.Get(), graph.input.Get(), nullptr), kBusy);
  ComRef<IPin> peer;
  EXPECT_EQ(graph.output->ConnectedTo(peer.Put()), VFW_E_NOT_CONNECTED);

  // Connected while free, then taken by another program before it starts.
  ASSERT_HRESULT_SUCCEEDED(SetBusy(kBasicCamera, false));
  ASSERT_HRESULT_SUCCEEDED(
      graph.graph->ConnectDirect(graph.output.Get(), graph.input.Get(), nullptr));
  ASSERT_HRESULT_SUCCEEDED(SetBusy(kBasicCamera, true));
  // Windows' graph answers the code from Run; Wine's runs in the background
  // and hands it over at the next Stop.
  const HRESULT run = graph.control->Run();
  const HRESULT stop = graph.control->Stop();
  EXPECT_TRUE(run == kBusy || stop == kBusy) << std::hex << run << " " << stop;
  EXPECT_EQ(camera->Pause(), kBusy);
  FILTER_STATE state = State_Running;
  ASSERT_HRESULT_SUCCEEDED(camera->GetState(0, &state));
  EXPECT_EQ(state, State_Stopped);
  // Free again, it starts.
  ASSERT_HRESULT_SUCCEEDED(SetBusy(kBasicCamera, false));
  EXPECT_HRESULT_SUCCEEDED(graph.control->Run());
  OAFilterState running = State_Stopped;
  EXPECT_EQ(graph.control->GetState(5000, &running), S_OK);
  EXPECT_EQ(running, State_Running);
}

TEST_F(Faults, UnpluggedCameraLeavesTheListAndItsFilterFails) {
  ComRef<IBaseFilter> camera = BindCamera(kBasicCamera);
  ASSERT_TRUE(camera);
  ComRef<IAMVideoProcAmp> procAmp;
  ASSERT_HRESULT_SUCCEEDED(camera->QueryInterface(IID_IAMVideoProcAmp, procAmp.PutVoid()));
  ComRef<IPin> pin = CapturePin(camera.Get());
  ComRef<IAMStreamConfig> config;
  ASSERT_HRESULT_SUCCEEDED(pin->QueryInterface(IID_IAMStreamConfig, config.PutVoid()));

  ASSERT_HRESULT_SUCCEEDED(SetUnplugged(kBasicCamera, true));
  for (const ListedCamera& listed : ListCameras())
    EXPECT_NE(listed.friendlyName, kBasicCamera);
  EXPECT_FALSE(ListCameras().empty()) << "the other cameras stay";

  LONG value = 0, flags = 0;
  EXPECT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), kGone);
  EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 1, VideoProcAmp_Flags_Manual), kGone);
  ComRef<IEnumMediaTypes> types;
  EXPECT_EQ(pin->EnumMediaTypes(types.Put()), kGone);
  AM_MEDIA_TYPE* type = nullptr;
  EXPECT_EQ(config->GetFormat(&type), kGone);
  EXPECT_EQ(camera->Pause(), kGone);
  // What a client needs to let go still works.
  EXPECT_EQ(camera->Stop(), S_OK);
  FILTER_INFO info{};
  EXPECT_EQ(camera->QueryFilterInfo(&info), S_OK);

  // Plugged in again: listed, and a new binding works; the old one stays dead.
  ASSERT_HRESULT_SUCCEEDED(SetUnplugged(kBasicCamera, false));
  ComRef<IBaseFilter> again = BindCamera(kBasicCamera);
  ASSERT_TRUE(again);
  ComRef<IAMVideoProcAmp> procAmp2;
  ASSERT_HRESULT_SUCCEEDED(again->QueryInterface(IID_IAMVideoProcAmp, procAmp2.PutVoid()));
  EXPECT_EQ(procAmp2->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
  EXPECT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), kGone);
}

TEST_F(Faults, UnpluggingARunningCameraEndsItsStreamWithDeviceLost) {
  ComRef<IBaseFilter> camera = BindCamera(kBasicCamera);
  ASSERT_TRUE(camera);
  RenderGraph graph(camera.Get());
  ASSERT_HRESULT_SUCCEEDED(
      graph.graph->ConnectDirect(graph.output.Get(), graph.input.Get(), nullptr));
  ASSERT_HRESULT_SUCCEEDED(graph.control->Run());
  OAFilterState state = State_Stopped;
  ASSERT_EQ(graph.control->GetState(5000, &state), S_OK);
  ASSERT_EQ(state, State_Running);
  ASSERT_HRESULT_SUCCEEDED(SetUnplugged(kBasicCamera, true));
  EXPECT_TRUE(graph.WaitForEvent(EC_DEVICE_LOST));
  EXPECT_EQ(graph.control->Stop(), S_OK);
}

TEST_F(Faults, ArmedMethodFailsWithItsCodeUntilCleared) {
  ComRef<IBaseFilter> camera = BindCamera(kHdWebcam);
  ASSERT_TRUE(camera);
  ComRef<IAMCameraControl> control;
  ASSERT_HRESULT_SUCCEEDED(camera->QueryInterface(IID_IAMCameraControl, control.PutVoid()));
  ASSERT_HRESULT_SUCCEEDED(FailCall(kHdWebcam, L"IAMCameraControl.Set", E_ACCESSDENIED));
  EXPECT_EQ(control->Set(CameraControl_Zoom, 200, CameraControl_Flags_Manual), E_ACCESSDENIED);
  LONG value = 0, flags = 0;
  ASSERT_EQ(control->Get(CameraControl_Zoom, &value, &flags), S_OK);  // only Set fails
  EXPECT_NE(value, 200);
  // Only that camera.
  ComRef<IBaseFilter> other = BindCamera(kCaptureCard);
  ComRef<IPin> otherPin = CapturePin(other.Get());
  ASSERT_HRESULT_SUCCEEDED(FailCall(kHdWebcam, L"IPin.EnumMediaTypes", VFW_E_NO_TYPES));
  ComRef<IEnumMediaTypes> types;
  EXPECT_EQ(CapturePin(camera.Get())->EnumMediaTypes(types.Put()), VFW_E_NO_TYPES);
  EXPECT_EQ(otherPin->EnumMediaTypes(types.Put()), S_OK);

  ASSERT_HRESULT_SUCCEEDED(ClearCall(kHdWebcam, L"IAMCameraControl.Set"));
  EXPECT_EQ(control->Set(CameraControl_Zoom, 200, CameraControl_Flags_Manual), S_OK);
}

}  // namespace
}  // namespace varnholt::vcam::test
