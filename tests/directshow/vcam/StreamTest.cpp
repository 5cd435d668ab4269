// Streaming as a client captures: a graph of camera, sample grabber and
// null renderer built by the capture graph builder, run, frames counted in
// the grabber's callback; and the format set beforehand is what arrives.

#include <d3d9.h>  // before vmr9.h, which needs it
#include <qedit.h>
#include <vmr9.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "tests/directshow/vcam/VcamTestSupport.h"

// Declared by no mingw-w64 header; the ids are in libstrmiids.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;

namespace varnholt::vcam::test {
namespace {

// Keeps what the grabber hands over: the count and the last two frames.
class FrameSink final : public ISampleGrabberCB {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
      *out = static_cast<ISampleGrabberCB*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the test's stack, longer than the graph.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample* sample) override {
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)))
      return S_OK;
    const long length = sample->GetActualDataLength();
    {
      std::lock_guard lock(mutex_);
      previous_ = std::move(last_);
      last_.assign(data, data + length);
      ++frames_;
    }
    arrived_.notify_all();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

  // Waits until count frames have arrived, for up to ten seconds.
  bool WaitFor(int count) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(10), [&] { return frames_ >= count; });
  }
  int Frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  std::vector<std::uint8_t> Last() {
    std::lock_guard lock(mutex_);
    return last_;
  }
  std::vector<std::uint8_t> Previous() {
    std::lock_guard lock(mutex_);
    return previous_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  int frames_ = 0;
  std::vector<std::uint8_t> last_, previous_;
};

struct CaptureGraph {
  ComRef<IGraphBuilder> graph;
  ComRef<ICaptureGraphBuilder2> builder;
  ComRef<IBaseFilter> grabberFilter, renderer;
  ComRef<ISampleGrabber> grabber;
  ComRef<IMediaControl> control;

  // camera -> grabber (taking subtype, if given) -> null renderer, built by
  // the capture graph builder; with direct, the camera's pin is connected
  // to the grabber by the graph, since Wine's builder puts a Smart Tee
  // after a camera without a preview pin, which passes on only the first
  // format the camera offers.
  HRESULT Build(IBaseFilter* camera, const GUID* subtype, ISampleGrabberCB* sink,
                bool direct = false) {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IGraphBuilder, graph.PutVoid());
    if (SUCCEEDED(hr))
      hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                            IID_ICaptureGraphBuilder2, builder.PutVoid());
    if (SUCCEEDED(hr))
      hr = builder->SetFiltergraph(graph.Get());
    if (SUCCEEDED(hr))
      hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            grabberFilter.PutVoid());
    if (SUCCEEDED(hr))
      hr = grabberFilter->QueryInterface(IID_ISampleGrabber, grabber.PutVoid());
    if (SUCCEEDED(hr) && subtype) {
      AM_MEDIA_TYPE wanted{};
      wanted.majortype = MEDIATYPE_Video;
      wanted.subtype = *subtype;
      hr = grabber->SetMediaType(&wanted);
    }
    if (SUCCEEDED(hr))
      hr = grabber->SetCallback(sink, 0);
    if (SUCCEEDED(hr))
      hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            renderer.PutVoid());
    for (auto [filter, name] : {std::pair{camera, L"Camera"},
                                {grabberFilter.Get(), L"Grabber"},
                                {renderer.Get(), L"Renderer"}})
      if (SUCCEEDED(hr))
        hr = graph->AddFilter(filter, name);
    if (SUCCEEDED(hr) && direct) {
      ComRef<IPin> grabberInput, grabberOutput, rendererInput;
      hr = builder->FindPin(grabberFilter.Get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0,
                            grabberInput.Put());
      if (SUCCEEDED(hr))
        hr = builder->FindPin(grabberFilter.Get(), PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0,
                              grabberOutput.Put());
      if (SUCCEEDED(hr))
        hr = builder->FindPin(renderer.Get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0,
                              rendererInput.Put());
      if (SUCCEEDED(hr))
        hr = graph->Connect(CapturePin(camera).Get(), grabberInput.Get());
      if (SUCCEEDED(hr))
        hr = graph->Connect(grabberOutput.Get(), rendererInput.Get());
    } else if (SUCCEEDED(hr)) {
      hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera,
                                 grabberFilter.Get(), renderer.Get());
    }
    if (SUCCEEDED(hr))
      hr = graph->QueryInterface(IID_IMediaControl, control.PutVoid());
    return hr;
  }

  ~CaptureGraph() {
    if (control)
      control->Stop();
  }
};

VIDEOINFOHEADER VideoInfoOf(const AM_MEDIA_TYPE& type) {
  VIDEOINFOHEADER info{};
  if (IsEqualGUID(type.formattype, FORMAT_VideoInfo) && type.cbFormat >= sizeof info)
    info = *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
  return info;
}

using Streaming = VcamTest;

TEST_F(Streaming, DeliversMovingFramesOfTheSetFormatThroughAGrabber) {
  ComRef<IBaseFilter> camera = BindCamera(kBasicCamera);
  ASSERT_TRUE(camera);
  ComRef<IPin> pin = CapturePin(camera.Get());
  ComRef<IAMStreamConfig> config;
  ASSERT_HRESULT_SUCCEEDED(pin->QueryInterface(IID_IAMStreamConfig, config.PutVoid()));
  // The second format: 320 x 240 YUY2.
  AM_MEDIA_TYPE* second = nullptr;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  ASSERT_EQ(config->GetStreamCaps(1, &second, reinterpret_cast<BYTE*>(&caps)), S_OK);
  ASSERT_HRESULT_SUCCEEDED(config->SetFormat(second));
  DeleteComMediaType(second);

  FrameSink sink;
  CaptureGraph capture;
  ASSERT_HRESULT_SUCCEEDED(capture.Build(camera.Get(), &MEDIASUBTYPE_YUY2, &sink));
  AM_MEDIA_TYPE connected{};
  ASSERT_HRESULT_SUCCEEDED(capture.grabber->GetConnectedMediaType(&connected));
  const VIDEOINFOHEADER info = VideoInfoOf(connected);
  EXPECT_TRUE(IsEqualGUID(connected.subtype, MEDIASUBTYPE_YUY2));
  FreeComMediaType(connected);
  EXPECT_EQ(info.bmiHeader.biWidth, 320);
  EXPECT_EQ(info.bmiHeader.biHeight, 240);
  EXPECT_EQ(sink.Frames(), 0);  // nothing before Run

  ASSERT_HRESULT_SUCCEEDED(capture.control->Run());
  OAFilterState state = State_Stopped;
  EXPECT_HRESULT_SUCCEEDED(capture.control->GetState(2000, &state));
  EXPECT_EQ(state, State_Running);
  ASSERT_TRUE(sink.WaitFor(3)) << sink.Frames() << " frames";
  const std::vector<std::uint8_t> last = sink.Last();
  EXPECT_EQ(last.size(), 320u * 240u * 2u);
  EXPECT_NE(last, sink.Previous()) << "the picture does not move";

  // Stopped, it delivers no more.
  ASSERT_HRESULT_SUCCEEDED(capture.control->Stop());
  const int atStop = sink.Frames();
  state = State_Running;
  ASSERT_EQ(capture.control->GetState(1000, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(sink.Frames(), atStop);
}

TEST_F(Streaming, GrabberAskingForRgb24GetsTheCurrentSizeInRgb24) {
  ComRef<IBaseFilter> camera = BindCamera(kHdWebcam);
  ASSERT_TRUE(camera);
  FrameSink sink;
  CaptureGraph capture;
  ASSERT_HRESULT_SUCCEEDED(capture.Build(camera.Get(), &MEDIASUBTYPE_RGB24, &sink, true));
  AM_MEDIA_TYPE connected{};
  ASSERT_HRESULT_SUCCEEDED(capture.grabber->GetConnectedMediaType(&connected));
  const VIDEOINFOHEADER info = VideoInfoOf(connected);
  EXPECT_TRUE(IsEqualGUID(connected.subtype, MEDIASUBTYPE_RGB24));
  FreeComMediaType(connected);
  EXPECT_EQ(info.bmiHeader.biWidth, 640);
  EXPECT_EQ(info.bmiHeader.biHeight, 480);
  ASSERT_HRESULT_SUCCEEDED(capture.control->Run());
  ASSERT_TRUE(sink.WaitFor(2)) << sink.Frames() << " frames";
  EXPECT_EQ(sink.Last().size(), 640u * 480u * 3u);
}

// The windowless video renderer takes the camera's stream as it is.
TEST_F(Streaming, RunsIntoTheWindowlessVideoMixingRenderer) {
  ComRef<IBaseFilter> camera = BindCamera(kBasicCamera);
  ASSERT_TRUE(camera);
  ComRef<IGraphBuilder> graph;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IGraphBuilder, graph.PutVoid()));
  ComRef<IBaseFilter> renderer;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr,
                                            CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                            renderer.PutVoid()));
  ASSERT_HRESULT_SUCCEEDED(graph->AddFilter(camera.Get(), L"Camera"));
  ASSERT_HRESULT_SUCCEEDED(graph->AddFilter(renderer.Get(), L"Renderer"));
  ComRef<IVMRFilterConfig9> config;
  ASSERT_HRESULT_SUCCEEDED(renderer->QueryInterface(IID_IVMRFilterConfig9, config.PutVoid()));
  ASSERT_HRESULT_SUCCEEDED(config->SetRenderingMode(VMR9Mode_Windowless));
  // Without a clipping window Wine's renderer divides by its size, zero.
  HWND window = CreateWindowExW(0, L"STATIC", L"camera", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ComRef<IVMRWindowlessControl9> windowless;
  ASSERT_HRESULT_SUCCEEDED(
      renderer->QueryInterface(IID_IVMRWindowlessControl9, windowless.PutVoid()));
  ASSERT_HRESULT_SUCCEEDED(windowless->SetVideoClippingWindow(window));

  ComRef<IPin> input;
  ComRef<IEnumPins> pins;
  ASSERT_HRESULT_SUCCEEDED(renderer->EnumPins(pins.Put()));
  ASSERT_EQ(pins->Next(1, input.Put(), nullptr), S_OK);
  ASSERT_HRESULT_SUCCEEDED(
      graph->ConnectDirect(CapturePin(camera.Get()).Get(), input.Get(), nullptr));
  LONG width = 0, height = 0, aspectX = 0, aspectY = 0;
  ASSERT_HRESULT_SUCCEEDED(windowless->GetNativeVideoSize(&width, &height, &aspectX, &aspectY));
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  ComRef<IMediaControl> control;
  ASSERT_HRESULT_SUCCEEDED(graph->QueryInterface(IID_IMediaControl, control.PutVoid()));
  ASSERT_HRESULT_SUCCEEDED(control->Run());
  OAFilterState state = State_Stopped;
  EXPECT_HRESULT_SUCCEEDED(control->GetState(2000, &state));
  EXPECT_EQ(state, State_Running);
  EXPECT_HRESULT_SUCCEEDED(control->Stop());
  DestroyWindow(window);
}

}  // namespace
}  // namespace varnholt::vcam::test
