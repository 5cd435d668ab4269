// One capture pin feeding several streams at once: preview and capture in
// either build order, the same frames on every branch, and a branch that
// leaves while the others stream on.

#include "camera/platform/graph/GraphErrors.h"
#include "tests/camera/graph/GraphTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
namespace vfw = platform::graph::vfw;

using TeeTest = GraphTest;

// A sample grabber counting into `counter`, in front of a sink of the graph.
struct Branch {
  std::shared_ptr<IBaseFilter> grabberFilter;
  std::shared_ptr<IBaseFilter> sink;
  std::shared_ptr<FrameCounter> counter = std::make_shared<FrameCounter>();

  Branch(Platform& platform, IGraphBuilder& graph, std::shared_ptr<IBaseFilter> end)
      : grabberFilter(Create<IBaseFilter>(platform, ClassId::SampleGrabber)),
        sink(end ? std::move(end) : Create<IBaseFilter>(platform, ClassId::NullRenderer)) {
    EXPECT_EQ(Query<ISampleGrabber>(grabberFilter)->SetCallback(counter, 0), hr::Ok);
    EXPECT_TRUE(Succeeded(graph.AddFilter(grabberFilter, "Sample grabber")));
    EXPECT_TRUE(Succeeded(graph.AddFilter(sink, "Sink")));
  }
  HResult Render(ICaptureGraphBuilder2& builder, const Guid& category,
                 const std::shared_ptr<IBaseFilter>& capture) const {
    return builder.RenderStream(&category, &guids::MediaTypeVideo, capture, grabberFilter, sink);
  }
};

std::shared_ptr<IBaseFilter> WindowlessRenderer(Platform& platform) {
  auto vmr = Create<IBaseFilter>(platform, ClassId::VideoMixingRenderer9);
  EXPECT_EQ(Query<IVMRFilterConfig9>(vmr)->SetRenderingMode(IVMRFilterConfig9::kModeWindowless),
            hr::Ok);
  return vmr;
}

TEST_F(TeeTest, PreviewAndCaptureShareTheCapturePinInEitherOrder) {
  for (const bool previewFirst : {true, false}) {
    SCOPED_TRACE(previewFirst ? "preview first" : "capture first");
    CaptureSession s = Open(kDesk);
    ASSERT_EQ(s.graph->AddFilter(s.capture, "Video capture"), hr::Ok);
    const auto vmr = WindowlessRenderer(*platform_);
    Branch preview(*platform_, *s.graph, vmr);
    Branch capture(*platform_, *s.graph, nullptr);
    // A slow branch holds up delivery, never another branch's frame.
    preview.counter->delay = 5ms;
    if (previewFirst) {
      EXPECT_EQ(preview.Render(*s.builder, guids::PinCategoryPreview, s.capture),
                vfw::NoPreviewPin);
      EXPECT_EQ(capture.Render(*s.builder, guids::PinCategoryCapture, s.capture), hr::Ok);
    } else {
      EXPECT_EQ(capture.Render(*s.builder, guids::PinCategoryCapture, s.capture), hr::Ok);
      EXPECT_EQ(preview.Render(*s.builder, guids::PinCategoryPreview, s.capture),
                vfw::NoPreviewPin);
    }

    ASSERT_EQ(s.control->Run(), hr::Ok);
    ASSERT_TRUE(preview.counter->WaitBeyond(4));
    ASSERT_TRUE(capture.counter->WaitBeyond(4));
    std::vector<std::uint8_t> image;
    EXPECT_EQ(Query<IVMRWindowlessControl9>(vmr)->GetCurrentImage(image), hr::Ok);
    ASSERT_EQ(s.control->Stop(), hr::Ok);

    // Both branches saw every frame, with the same time and bytes.
    EXPECT_EQ(preview.counter->Times(), capture.counter->Times());
    EXPECT_EQ(preview.counter->LastFrame(), capture.counter->LastFrame());
    EXPECT_EQ(capture.counter->LastFrame().size(), std::size_t{kDeskWidth * kDeskHeight * 2});
    const int stoppedAt = capture.counter->Count();
    LetFramesPass();
    EXPECT_EQ(capture.counter->Count(), stoppedAt);
    EXPECT_EQ(preview.counter->Count(), stoppedAt);
  }
}

TEST_F(TeeTest, ABranchLeavesWhileTheOthersStream) {
  CaptureSession s = Open(kDesk);
  ASSERT_EQ(s.graph->AddFilter(s.capture, "Video capture"), hr::Ok);
  Branch kept(*platform_, *s.graph, nullptr);
  Branch leaving(*platform_, *s.graph, nullptr);
  ASSERT_EQ(kept.Render(*s.builder, guids::PinCategoryCapture, s.capture), hr::Ok);
  ASSERT_EQ(leaving.Render(*s.builder, guids::PinCategoryCapture, s.capture), hr::Ok);
  // A sink still takes one stream.
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeVideo, s.capture,
                                    nullptr, kept.sink),
            vfw::AlreadyConnected);

  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_TRUE(leaving.counter->WaitBeyond(2));
  ASSERT_EQ(s.graph->RemoveFilter(leaving.grabberFilter), hr::Ok);
  AmMediaType type;
  EXPECT_EQ(Query<ISampleGrabber>(leaving.grabberFilter)->GetConnectedMediaType(type),
            vfw::NotConnected);
  const int leftAt = leaving.counter->Count();
  ASSERT_TRUE(kept.counter->WaitBeyond(kept.counter->Count() + 4));
  EXPECT_EQ(leaving.counter->Count(), leftAt);

  // The last branch, like the source, would end the stream: not while running.
  EXPECT_EQ(s.graph->RemoveFilter(kept.grabberFilter), vfw::NotStopped);
  EXPECT_EQ(s.graph->RemoveFilter(s.capture), vfw::NotStopped);
  ASSERT_EQ(s.control->Stop(), hr::Ok);
  ASSERT_EQ(s.graph->RemoveFilter(kept.grabberFilter), hr::Ok);
  EXPECT_EQ(Query<ISampleGrabber>(kept.grabberFilter)->GetConnectedMediaType(type),
            vfw::NotConnected);
  // With its last branch gone the pin let the camera go: another graph takes it.
  CaptureSession other = Open(kDesk);
  EXPECT_TRUE(Succeeded(other.BuildGrabber(*platform_)));
}

}  // namespace
}  // namespace varnholt::test
