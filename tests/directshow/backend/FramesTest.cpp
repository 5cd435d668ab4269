// Frames through the system's sample grabber into our callback: a short
// uncompressed video file stands in for a camera, played by the system's
// own file source into the grabber and the null renderer.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "camera/platform/directshow/DirectShowPlatform.h"
#include "camera/platform/directshow/Identifiers.h"
#include "tests/directshow/backend/BackendTestSupport.h"

namespace varnholt::platform::directshow {
namespace {

constexpr int kWidth = 8, kHeight = 4, kFrames = 3;
constexpr std::uint32_t kFrameBytes = kWidth * kHeight * 3;

// RIFF chunks of little-endian words; Begin/End fill in each chunk's size.
class Riff {
 public:
  void Words(std::initializer_list<std::uint32_t> words, int bytes = 4) {
    for (std::uint32_t v : words)
      for (int i = 0; i < bytes; ++i)
        data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Code(const char* code) { data.insert(data.end(), code, code + 4); }
  void Begin(const char* code, const char* listType = nullptr) {
    Code(code);
    open_.push_back(data.size());
    Words({0});
    if (listType)
      Code(listType);
  }
  void End() {
    const std::size_t at = open_.back();
    open_.pop_back();
    const auto size = static_cast<std::uint32_t>(data.size() - at - 4);
    std::memcpy(data.data() + at, &size, 4);
  }
  std::vector<std::uint8_t> data;

 private:
  std::vector<std::size_t> open_;
};

// An uncompressed 24-bit AVI at 25 frames a second whose frame n has every
// byte n + 1.
std::vector<std::uint8_t> SmallVideo() {
  constexpr std::uint32_t w = kWidth, h = kHeight, frames = kFrames;
  Riff avi;
  avi.Begin("RIFF", "AVI ");
  avi.Begin("LIST", "hdrl");
  avi.Begin("avih");  // frame time, rate, padding, has-index, frames, ..., size
  avi.Words({40000, kFrameBytes * 25, 0, 0x10, frames, 0, 1, kFrameBytes, w, h, 0, 0, 0, 0});
  avi.End();
  avi.Begin("LIST", "strl");
  avi.Begin("strh");
  avi.Code("vids");
  avi.Words({0, 0, 0, 0, 1, 25, 0, frames, kFrameBytes, 0xFFFFFFFF, 0});
  avi.Words({0, 0, w, h}, 2);
  avi.End();
  avi.Begin("strf");  // the bitmap header
  avi.Words({40, w, h});
  avi.Words({1, 24}, 2);
  avi.Words({0, kFrameBytes, 0, 0, 0, 0});
  avi.End();
  avi.End();
  avi.End();
  avi.Begin("LIST", "movi");
  const std::size_t movi = avi.data.size() - 4;
  std::vector<std::uint32_t> offsets;
  for (std::uint32_t frame = 0; frame < frames; ++frame) {
    offsets.push_back(static_cast<std::uint32_t>(avi.data.size() - movi));
    avi.Begin("00db");
    avi.data.insert(avi.data.end(), kFrameBytes, static_cast<std::uint8_t>(frame + 1));
    avi.End();
  }
  avi.End();
  avi.Begin("idx1");
  for (std::uint32_t offset : offsets) {
    avi.Code("00db");
    avi.Words({0x10, offset, kFrameBytes});  // key frame
  }
  avi.End();
  avi.End();
  return avi.data;
}

// Keeps what the streaming thread delivers.
class Collector final : public ISampleGrabberCB {
 public:
  std::shared_ptr<void> QueryInterface(Iid) override { return nullptr; }
  HResult SampleCB(double time, const std::shared_ptr<IMediaSample>& sample) override {
    std::lock_guard lock(mutex);
    times.push_back(time);
    const auto data = sample->Data();
    frames.emplace_back(data.begin(), data.end());
    return hr::Ok;
  }
  HResult BufferCB(double, std::span<const std::uint8_t>) override { return hr::Fail; }

  std::mutex mutex;
  std::vector<double> times;
  std::vector<std::vector<std::uint8_t>> frames;
};

using testing::Create;

TEST(Frames, GrabberHandsEachFrameToOurCallbackAndKeepsTheLast) {
  wchar_t folder[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
  const std::wstring path =
      std::wstring(folder) + L"varnholt-frames-" + std::to_wstring(GetCurrentProcessId()) + L".avi";
  {
    const auto video = SmallVideo();
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(video.data(), 1, video.size(), file), video.size());
    std::fclose(file);
  }
  struct Removal {
    std::wstring path;
    ~Removal() { DeleteFileW(path.c_str()); }
  } removal{path};

  DirectShowPlatform platform;
  const auto [graph, builder, grabberFilter, nullRenderer] = testing::GrabberGraphParts(platform);
  ASSERT_TRUE(graph && builder && grabberFilter && nullRenderer);
  ASSERT_EQ(builder->SetFiltergraph(graph), hr::Ok);
  // The file source comes from the system graph itself: ours has no call for it.
  ComPtr<::IBaseFilter> systemSource;
  ASSERT_EQ(ComAs<::IGraphBuilder>(graph, IID_IGraphBuilder)
                ->AddSourceFilter(path.c_str(), L"Video file", systemSource.Receive()),
            S_OK);
  const auto source = Wrap<IBaseFilter>(systemSource.get());

  const auto grabber = Query<ISampleGrabber>(grabberFilter);
  // Only video, or the grabber would take the file's bytes unsplit.
  AM_MEDIA_TYPE video{};
  video.majortype = MEDIATYPE_Video;
  ASSERT_EQ(ComAs<::ISampleGrabber>(grabberFilter, IID_ISampleGrabber)->SetMediaType(&video), S_OK);
  const auto collector = std::make_shared<Collector>();
  ASSERT_EQ(grabber->SetBufferSamples(true), hr::Ok);
  ASSERT_EQ(grabber->SetCallback(collector, 0), hr::Ok);
  ASSERT_EQ(graph->AddFilter(grabberFilter, "Sample grabber"), hr::Ok);
  ASSERT_EQ(graph->AddFilter(nullRenderer, "Null renderer"), hr::Ok);
  ASSERT_EQ(builder->RenderStream(nullptr, nullptr, source, grabberFilter, nullRenderer), hr::Ok);

  AmMediaType connected;
  ASSERT_EQ(grabber->GetConnectedMediaType(connected), hr::Ok);
  EXPECT_EQ(connected.majortype, guids::MediaTypeVideo);
  EXPECT_EQ(connected.subtype, FromGuid(MEDIASUBTYPE_RGB24));
  ASSERT_EQ(connected.formattype, guids::FormatVideoInfo);
  const auto info = VideoInfoHeader::FromBytes(connected.pbFormat);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->bmiHeader.biWidth, kWidth);
  EXPECT_EQ(std::abs(info->bmiHeader.biHeight), kHeight);

  const auto control = Query<IMediaControl>(graph);
  const auto events = Query<IMediaEvent>(graph);
  ASSERT_TRUE(Succeeded(control->Run()));
  std::int32_t event = 0;
  ASSERT_EQ(events->WaitForCompletion(10000, event), hr::Ok);
  EXPECT_EQ(event, EC_COMPLETE);
  ASSERT_EQ(control->Stop(), hr::Ok);

  {
    std::lock_guard lock(collector->mutex);
    ASSERT_EQ(collector->frames.size(), static_cast<std::size_t>(kFrames));
    for (std::size_t n = 1; n < collector->times.size(); ++n)
      EXPECT_GT(collector->times[n], collector->times[n - 1]);
    for (int frame = 0; frame < kFrames; ++frame)
      EXPECT_EQ(collector->frames[frame],
                std::vector<std::uint8_t>(kFrameBytes, static_cast<std::uint8_t>(frame + 1)));
  }
  // The grabber kept the last one: asked for its size, then copied.
  std::int32_t size = 0;
  ASSERT_EQ(grabber->GetCurrentBuffer(size, nullptr), hr::Ok);
  ASSERT_EQ(static_cast<std::size_t>(size), collector->frames.back().size());
  std::vector<std::uint8_t> last(static_cast<std::size_t>(size));
  ASSERT_EQ(grabber->GetCurrentBuffer(size, last.data()), hr::Ok);
  EXPECT_EQ(last, collector->frames.back());
  std::int32_t tooSmall = size - 1;
  EXPECT_EQ(grabber->GetCurrentBuffer(tooSmall, last.data()), hr::OutOfMemory);

  EXPECT_EQ(grabber->SetCallback(nullptr, 0), hr::Ok);
  EXPECT_EQ(collector.use_count(), 1);
}

}  // namespace
}  // namespace varnholt::platform::directshow
