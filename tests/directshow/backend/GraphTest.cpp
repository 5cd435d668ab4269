// Graphs of the system's own filters through our objects: the sample
// grabber with the null renderer, run and stopped, and the windowless VMR-9
// set up on a hidden window.

#include <gtest/gtest.h>

#include "camera/platform/directshow/DirectShowPlatform.h"
#include "tests/directshow/backend/BackendTestSupport.h"

namespace varnholt::platform::directshow {
namespace {

using testing::Create;

class CountingCallback final : public ISampleGrabberCB {
 public:
  std::shared_ptr<void> QueryInterface(Iid) override { return nullptr; }
  HResult SampleCB(double, const std::shared_ptr<IMediaSample>&) override { return hr::Ok; }
  HResult BufferCB(double, std::span<const std::uint8_t>) override { return hr::Ok; }
};

// A filter that is not the system's cannot go into a system graph.
class ForeignFilter final : public IBaseFilter {
 public:
  std::shared_ptr<void> QueryInterface(Iid) override { return nullptr; }
  HResult EnumPins(std::shared_ptr<IEnumPins>&) override { return hr::NotImpl; }
  HResult QueryFilterInfo(FilterInfo&) override { return hr::NotImpl; }
};

TEST(Graph, GrabberAndNullRendererRunAndStopWithTheSystemsCodes) {
  DirectShowPlatform platform;
  const auto [graph, builder, grabberFilter, nullRenderer] = testing::GrabberGraphParts(platform);
  ASSERT_TRUE(graph && builder && grabberFilter && nullRenderer);
  ASSERT_EQ(builder->SetFiltergraph(graph), hr::Ok);

  const auto grabber = Query<ISampleGrabber>(grabberFilter);
  ASSERT_NE(grabber, nullptr);
  EXPECT_EQ(grabber->SetBufferSamples(true), hr::Ok);
  // The system's adapter holds our callback until another replaces it.
  const auto callback = std::make_shared<CountingCallback>();
  EXPECT_EQ(grabber->SetCallback(callback, 0), hr::Ok);
  EXPECT_EQ(callback.use_count(), 2);
  EXPECT_EQ(grabber->SetCallback(nullptr, 0), hr::Ok);
  EXPECT_EQ(callback.use_count(), 1);
  AmMediaType connected;
  EXPECT_EQ(grabber->GetConnectedMediaType(connected), MakeHResult(0x80040209));  // not connected

  EXPECT_EQ(graph->AddFilter(grabberFilter, "Sample grabber \xC3\xBC"), hr::Ok);
  EXPECT_EQ(graph->AddFilter(nullRenderer, "Null renderer"), hr::Ok);
  EXPECT_EQ(graph->AddFilter(std::make_shared<ForeignFilter>(), "Foreign"), hr::InvalidArg);
  FilterInfo info;
  ASSERT_EQ(grabberFilter->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.achName, "Sample grabber \xC3\xBC");
  ASSERT_NE(info.pGraph, nullptr);
  EXPECT_EQ(info.pGraph, graph);  // the same system graph is the same object

  // Found through the builder: the grabber itself, as one of ours.
  std::shared_ptr<Unknown> found;
  ASSERT_EQ(builder->FindInterface(nullptr, nullptr, grabberFilter, Iid::SampleGrabber, found),
            hr::Ok);
  EXPECT_EQ(Query<IBaseFilter>(found), grabberFilter);
  EXPECT_EQ(Query<ISampleGrabber>(found), grabber);
  EXPECT_TRUE(
      Failed(builder->FindInterface(nullptr, nullptr, nullRenderer, Iid::AMStreamConfig, found)));
  EXPECT_EQ(builder->FindInterface(nullptr, nullptr, nullRenderer, Iid::ControlList, found),
            hr::NoInterface);
  EXPECT_EQ(found, nullptr);
  // Nothing feeds the grabber: the system refuses, and we pass its refusal on.
  EXPECT_TRUE(Failed(builder->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeVideo,
                                           grabberFilter, nullptr, nullRenderer)));

  const auto control = Query<IMediaControl>(graph);
  const auto events = Query<IMediaEvent>(graph);
  ASSERT_TRUE(control && events);
  EXPECT_EQ(Query<IGraphBuilder>(control), graph);
  std::int32_t state = -1;
  ASSERT_EQ(control->GetState(100, state), hr::Ok);
  EXPECT_EQ(state, kStateStopped);
  ASSERT_TRUE(Succeeded(control->Run()));
  ASSERT_EQ(control->GetState(1000, state), hr::Ok);
  EXPECT_EQ(state, kStateRunning);
  // Either nothing has ended yet, or the system says the empty streams did.
  std::int32_t event = 0;
  const HResult waited = events->WaitForCompletion(10, event);
  EXPECT_TRUE(waited == hr::Abort || (waited == hr::Ok && event == EC_COMPLETE)) << waited;
  ASSERT_TRUE(Succeeded(control->Pause()));
  ASSERT_EQ(control->GetState(1000, state), hr::Ok);
  EXPECT_EQ(state, kStatePaused);
  ASSERT_EQ(control->Stop(), hr::Ok);
  ASSERT_EQ(control->GetState(1000, state), hr::Ok);
  EXPECT_EQ(state, kStateStopped);

  EXPECT_EQ(graph->RemoveFilter(nullRenderer), hr::Ok);
  EXPECT_TRUE(Failed(graph->RemoveFilter(nullRenderer)));
}

class HiddenWindow {
 public:
  HiddenWindow() {
    window_ = CreateWindowExW(0, L"STATIC", L"Preview", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~HiddenWindow() {
    if (window_)
      DestroyWindow(window_);
  }
  WindowHandle handle() const { return reinterpret_cast<WindowHandle>(window_); }

 private:
  HWND window_ = nullptr;
};

TEST(Graph, WindowlessVmr9IsSetUpOnAHiddenWindow) {
  if (!testing::HaveDisplay())
    GTEST_SKIP() << "the VMR-9 needs an X display: run the tests under xvfb-run";
  DirectShowPlatform platform;
  HiddenWindow window;
  ASSERT_NE(window.handle(), 0u);
  const auto graph = Create<IGraphBuilder>(platform, ClassId::FilterGraph);
  const auto renderer = Create<IBaseFilter>(platform, ClassId::VideoMixingRenderer9);
  ASSERT_TRUE(graph && renderer);
  ASSERT_EQ(graph->AddFilter(renderer, "VMR-9"), hr::Ok);

  const auto config = Query<IVMRFilterConfig9>(renderer);
  ASSERT_NE(config, nullptr);
  ASSERT_EQ(config->SetRenderingMode(IVMRFilterConfig9::kModeWindowless), hr::Ok);
  const auto windowless = Query<IVMRWindowlessControl9>(renderer);
  ASSERT_NE(windowless, nullptr);
  EXPECT_EQ(Query<IBaseFilter>(windowless), renderer);
  EXPECT_EQ(Query<IVMRFilterConfig9>(windowless), config);

  ASSERT_EQ(windowless->SetVideoClippingWindow(window.handle()), hr::Ok);
  const Rect32 target{10, 20, 170, 140};
  ASSERT_EQ(windowless->SetVideoPosition(nullptr, &target), hr::Ok);
  Rect32 source, placed;
  ASSERT_EQ(windowless->GetVideoPosition(source, placed), hr::Ok);
  EXPECT_EQ(placed, target);
  std::uint32_t mode = 99;
  ASSERT_EQ(windowless->SetAspectRatioMode(1), hr::Ok);
  ASSERT_EQ(windowless->GetAspectRatioMode(mode), hr::Ok);
  EXPECT_EQ(mode, 1u);
  std::int32_t width = -1, height = -1, aspectX = -1, aspectY = -1;
  EXPECT_EQ(windowless->GetNativeVideoSize(width, height, aspectX, aspectY), hr::Ok);
  EXPECT_EQ(width, 0);  // nothing connected
  EXPECT_EQ(height, 0);
  // No frame yet: a failure, and no image.
  std::vector<std::uint8_t> image;
  EXPECT_TRUE(Failed(windowless->GetCurrentImage(image)));
  EXPECT_TRUE(image.empty());
  ASSERT_EQ(graph->RemoveFilter(renderer), hr::Ok);
}

}  // namespace
}  // namespace varnholt::platform::directshow
