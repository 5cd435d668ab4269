#include "tests/camera/graph/GraphTestSupport.h"

#include <thread>

namespace varnholt::test {

using namespace varnholt::platform;

const QByteArray kGraphCameras = R"({"cameras": [
  {"friendlyName": "Desk", "devicePath": "desk",
   "videoProcAmp": {
     "Brightness": {"min": 0, "max": 255, "default": 128},
     "Contrast": {"min": 0, "max": 100, "default": 50},
     "Saturation": {"min": 0, "max": 100, "default": 50},
     "Hue": {"min": -180, "max": 180, "default": 0},
     "ColorEnable": {"min": 0, "max": 1, "default": 1}},
   "formats": [
     {"width": 160, "height": 120, "compression": "YUY2", "fps": 30},
     {"width": 160, "height": 120, "compression": "MJPG", "fps": 30},
     {"width": 320, "height": 240, "compression": "YUY2", "fps": 30}]},
  {"friendlyName": "Studio", "devicePath": "studio",
   "pins": [{"category": "capture"}, {"category": "preview"}],
   "formats": [{"width": 64, "height": 48, "compression": "YUY2"}]},
  {"friendlyName": "Busy", "devicePath": "busy", "fail": {"busy": true},
   "formats": [{"width": 64, "height": 48, "compression": "YUY2"}]},
  {"friendlyName": "No Preview", "devicePath": "no-preview", "fail": {"renderPreview": true},
   "formats": [{"width": 64, "height": 48, "compression": "YUY2"}]},
  {"friendlyName": "Card", "devicePath": "card",
   "formats": [{"width": 64, "height": 48, "compression": "NV12"}]}
]})";

std::shared_ptr<void> FrameCounter::QueryInterface(Iid iid) {
  return iid == kIid ? InterfaceOf<ISampleGrabberCB>(shared_from_this()) : nullptr;
}

HResult FrameCounter::SampleCB(double sampleTime, const std::shared_ptr<IMediaSample>& sample) {
  Record(sampleTime, sample->Data());
  return hr::Ok;
}

HResult FrameCounter::BufferCB(double sampleTime, std::span<const std::uint8_t> buffer) {
  Record(sampleTime, buffer);
  return hr::Ok;
}

void FrameCounter::Record(double sampleTime, std::span<const std::uint8_t> data) {
  running_ = true;
  {
    std::lock_guard lock(mutex_);
    times_.push_back(sampleTime);
    last_.assign(data.begin(), data.end());
  }
  std::this_thread::sleep_for(delay);
  ++count_;
  running_ = false;
}

std::vector<double> FrameCounter::Times() const {
  std::lock_guard lock(mutex_);
  return times_;
}

std::vector<std::uint8_t> FrameCounter::LastFrame() const {
  std::lock_guard lock(mutex_);
  return last_;
}

bool FrameCounter::WaitBeyond(int count) const {
  return WaitUntil([&] { return Count() > count; }, kFrameWaitMs);
}

bool WaitForFrame(const FrameCounter& counter,
                  const std::function<bool(const std::vector<std::uint8_t>&)>& check) {
  const auto deadline = std::chrono::steady_clock::now() + kFrameWait;
  int seen = counter.Count();
  while (std::chrono::steady_clock::now() < deadline) {
    if (!counter.WaitBeyond(seen))
      return false;
    seen = counter.Count();
    if (check(counter.LastFrame()))
      return true;
  }
  return false;
}

void GraphTest::LetFramesPass(int frames) {
  // Found by name: an unplugged camera drops out of the list and moves the
  // others' indexes.
  std::shared_ptr<IBaseFilter> filter;
  for (const auto& moniker : Monikers(*platform_, DeviceCategory::VideoInput)) {
    std::shared_ptr<IPropertyBag> bag;
    if (moniker->BindToStorage(bag) == hr::Ok && ReadString(*bag, "FriendlyName") == "Studio") {
      ASSERT_EQ(moniker->BindToObject(filter), hr::Ok);
    }
  }
  ASSERT_NE(filter, nullptr) << "no Studio camera to count frames on";
  CaptureSession witness = CaptureSession::Open(*platform_, filter);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_EQ(witness.BuildGrabber(*platform_, counter), hr::Ok);
  ASSERT_EQ(witness.control->Run(), hr::Ok);
  EXPECT_TRUE(counter->WaitBeyond(frames - 1)) << "the Studio camera delivered " << counter->Count()
                                               << " of " << frames << " frames in time";
  witness.Release();
}

CaptureSession CaptureSession::Open(Platform& platform, std::shared_ptr<IBaseFilter> capture) {
  CaptureSession s;
  s.capture = std::move(capture);
  s.graph = Create<IGraphBuilder>(platform, ClassId::FilterGraph);
  s.builder = Create<ICaptureGraphBuilder2>(platform, ClassId::CaptureGraphBuilder2);
  EXPECT_EQ(s.builder->SetFiltergraph(s.graph), hr::Ok);
  s.control = Query<IMediaControl>(s.graph);
  s.events = Query<IMediaEvent>(s.graph);
  return s;
}

HResult CaptureSession::BuildGrabber(Platform& platform,
                                     std::shared_ptr<ISampleGrabberCB> callback) {
  nullRenderer = Create<IBaseFilter>(platform, ClassId::NullRenderer);
  grabberFilter = Create<IBaseFilter>(platform, ClassId::SampleGrabber);
  grabber = Query<ISampleGrabber>(grabberFilter);
  EXPECT_EQ(grabber->SetBufferSamples(true), hr::Ok);
  if (callback) {
    EXPECT_EQ(grabber->SetCallback(callback, 0), hr::Ok);
  }
  EXPECT_EQ(graph->AddFilter(capture, "Video capture"), hr::Ok);
  EXPECT_EQ(graph->AddFilter(grabberFilter, "Sample grabber"), hr::Ok);
  EXPECT_EQ(graph->AddFilter(nullRenderer, "Null renderer"), hr::Ok);
  return builder->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeVideo, capture,
                               grabberFilter, nullRenderer);
}

HResult CaptureSession::BuildRenderer(Platform& platform) {
  vmr = Create<IBaseFilter>(platform, ClassId::VideoMixingRenderer9);
  const auto config = Query<IVMRFilterConfig9>(vmr);
  EXPECT_EQ(config->SetRenderingMode(IVMRFilterConfig9::kModeWindowless), hr::Ok);
  windowless = Query<IVMRWindowlessControl9>(vmr);
  EXPECT_EQ(windowless->SetVideoClippingWindow(0x4711), hr::Ok);
  const Rect32 target{0, 0, 320, 240};
  EXPECT_EQ(windowless->SetVideoPosition(nullptr, &target), hr::Ok);
  windowless->SetAspectRatioMode(1);
  windowless->SetBorderColor(0xFF000000);
  EXPECT_EQ(graph->AddFilter(capture, "Video capture"), hr::Ok);
  EXPECT_EQ(graph->AddFilter(vmr, "VMR-9"), hr::Ok);
  return builder->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeVideo, capture, nullptr,
                               vmr);
}

HResult CaptureSession::BuildAuto(Platform& platform, std::shared_ptr<ISampleGrabberCB> callback) {
  const HResult rendered = BuildRenderer(platform);
  if (Succeeded(rendered))
    return rendered;
  EXPECT_EQ(graph->RemoveFilter(capture), hr::Ok);
  EXPECT_EQ(graph->RemoveFilter(vmr), hr::Ok);
  return BuildGrabber(platform, std::move(callback));
}

void CaptureSession::Release() {
  if (grabber)
    grabber->SetCallback(nullptr, 0);
  if (control)
    control->StopWhenReady();
  vmr.reset();
  windowless.reset();
  nullRenderer.reset();
  grabber.reset();
  grabberFilter.reset();
  control.reset();
  events.reset();
  builder.reset();
  graph.reset();
  capture.reset();
}

std::shared_ptr<IAMStreamConfig> StreamConfig(IBaseFilter& filter) {
  return Query<IAMStreamConfig>(CapturePin(filter));
}

void SelectFormat(IBaseFilter& filter, int index) {
  const auto config = StreamConfig(filter);
  ASSERT_NE(config, nullptr);
  std::unique_ptr<AmMediaType> type;
  ASSERT_EQ(config->GetStreamCaps(index, type), hr::Ok);
  ASSERT_EQ(config->SetFormat(*type), hr::Ok);
}

double MeanLuma(const std::vector<std::uint8_t>& yuy2) {
  double sum = 0;
  for (std::size_t i = 0; i < yuy2.size(); i += 2)
    sum += yuy2[i];
  return yuy2.empty() ? 0 : sum / static_cast<double>(yuy2.size() / 2);
}

bool ChromaIsNeutral(const std::vector<std::uint8_t>& yuy2) {
  for (std::size_t i = 1; i < yuy2.size(); i += 2)
    if (yuy2[i] != 128)
      return false;
  return !yuy2.empty();
}

}  // namespace varnholt::test
