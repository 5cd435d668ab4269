// Sound sources in a graph: the virtual microphone's sound runs on the
// graph's clock without gaps and beeps on whole seconds, and a sound device
// that fails is reported as the video sources report theirs.

#include <condition_variable>
#include <cstdlib>

#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/SoundSource.h"
#include "camera/platform/kit/SingleInterface.h"
#include "tests/camera/graph/GraphTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

struct Chunk {
  double time = 0;
  std::vector<std::uint8_t> bytes;
};

// A sink that keeps every sample with its time.
class SoundSink final : public kit::SingleInterface<IBaseFilter, graph::GraphFilter>,
                        public graph::IFrameReceiver {
 public:
  SoundSink() : SingleInterface("Sound sink", {{PinDirection::Input, "In"}}) {}

  HResult ReceiveConnection(const AmMediaType& mediaType) override {
    connection_->Set(mediaType);
    return hr::Ok;
  }
  void BreakConnection() override { connection_->Clear(); }
  HResult Receive(const std::shared_ptr<IMediaSample>& sample, double time) override {
    {
      std::lock_guard lock(mutex_);
      const auto data = sample->Data();
      chunks_.push_back({time, {data.begin(), data.end()}});
    }
    arrived_.notify_all();
    return hr::Ok;
  }

  std::optional<AmMediaType> Format() const { return connection_->Get(); }
  // Waits until a sample starting at or after streamTime arrived.
  bool WaitForTime(double streamTime) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, kFrameWait,
                             [&] { return !chunks_.empty() && chunks_.back().time >= streamTime; });
  }
  std::vector<Chunk> Chunks() const {
    std::lock_guard lock(mutex_);
    return chunks_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Chunk> chunks_;
};

struct SoundGraph {
  std::shared_ptr<IGraphBuilder> graph;
  std::shared_ptr<IMediaControl> control;
  std::shared_ptr<IMediaEvent> events;
  std::shared_ptr<SoundSink> sink = std::make_shared<SoundSink>();

  // The sound source's capture pin rendered into the sink, as the
  // component renders it into a file.
  static SoundGraph Build(Platform& platform, const std::shared_ptr<IBaseFilter>& source) {
    SoundGraph g;
    g.graph = Create<IGraphBuilder>(platform, ClassId::FilterGraph);
    g.control = Query<IMediaControl>(g.graph);
    g.events = Query<IMediaEvent>(g.graph);
    const auto builder = Create<ICaptureGraphBuilder2>(platform, ClassId::CaptureGraphBuilder2);
    EXPECT_EQ(builder->SetFiltergraph(g.graph), hr::Ok);
    EXPECT_EQ(g.graph->AddFilter(source, "Audio capture"), hr::Ok);
    EXPECT_EQ(g.graph->AddFilter(g.sink, "Sound sink"), hr::Ok);
    EXPECT_EQ(builder->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeAudio, source,
                                    nullptr, g.sink),
              hr::Ok);
    return g;
  }
};

using SoundTest = VirtualPlatformTest;

TEST_F(SoundTest, TheVirtualMicrophoneRunsWithoutGapsAndBeepsOnWholeSeconds) {
  const auto platform = Load(VirtualPlatform::BuiltinCamerasJson());
  const auto microphones = Monikers(*platform, DeviceCategory::AudioInput);
  ASSERT_FALSE(microphones.empty());
  std::shared_ptr<IBaseFilter> microphone;
  ASSERT_EQ(microphones[0]->BindToObject(microphone), hr::Ok);
  SoundGraph g = SoundGraph::Build(*platform, microphone);
  const auto format = g.sink->Format();
  ASSERT_TRUE(format);
  const auto wave = WaveFormatEx::FromBytes(format->pbFormat);
  ASSERT_TRUE(wave);
  const std::size_t channels = wave->nChannels;
  const double rate = wave->nSamplesPerSec;
  ASSERT_GT(channels, 0u);

  ASSERT_EQ(g.control->Run(), hr::Ok);
  // Past the beep at one second.
  ASSERT_TRUE(g.sink->WaitForTime(1.1));
  ASSERT_EQ(g.control->Stop(), hr::Ok);

  const auto chunks = g.sink->Chunks();
  ASSERT_GE(chunks.size(), 2u);
  EXPECT_GE(chunks.front().time, 0.0);
  // Each sample begins where the one before ended, and the first channel's
  // values follow one another on one time line.
  std::vector<std::int16_t> sound;
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const auto& bytes = chunks[i].bytes;
    ASSERT_EQ(bytes.size() % (2 * channels), 0u);
    if (i > 0) {
      EXPECT_NEAR(chunks[i].time,
                  chunks[i - 1].time + chunks[i - 1].bytes.size() / (2 * channels) / rate, 1e-6)
          << "sample " << i;
    }
    for (std::size_t at = 0; at < bytes.size(); at += 2 * channels)
      sound.push_back(static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8));
  }

  // A beep begins where sound follows at least 100 ms of silence.
  const auto silence = static_cast<std::size_t>(rate / 10);
  const int loud = 1000;
  std::vector<double> beeps;
  std::vector<double> lengths;
  std::size_t quiet = 0;
  for (std::size_t i = 0; i < sound.size(); ++i) {
    if (std::abs(sound[i]) < loud) {
      ++quiet;
      continue;
    }
    if (quiet >= silence) {
      beeps.push_back(chunks.front().time + i / rate);
      std::size_t end = i;
      for (std::size_t j = i; j < sound.size() && j < i + silence; ++j)
        if (sound[j] != 0)
          end = j;
      lengths.push_back((end - i) / rate);
    }
    quiet = 0;
  }
  ASSERT_FALSE(beeps.empty());
  for (std::size_t i = 0; i < beeps.size(); ++i) {
    EXPECT_NEAR(beeps[i], std::round(beeps[i]), 0.001) << "beep at " << beeps[i];
    EXPECT_GE(std::round(beeps[i]), 1.0);
    EXPECT_NEAR(lengths[i], 0.050, 0.002);
  }
}

// A device whose run delivers one chunk and then ends as told.
class ScriptedDevice final : public graph::SoundDevice {
 public:
  using Result = graph::SoundCapture::ReadResult;
  ScriptedDevice(HResult open, Result end) : open_(open), end_(end) {}

  HResult Open(std::uint32_t, std::uint16_t, const graph::StreamStart& start,
               std::unique_ptr<graph::SoundCapture>& capture) override {
    if (Failed(open_))
      return open_;
    capture = std::make_unique<Capture>(start.at + 250ms, end_);
    return hr::Ok;
  }

 private:
  class Capture final : public graph::SoundCapture {
   public:
    Capture(std::chrono::steady_clock::time_point at, Result end) : at_(at), end_(end) {}
    Result Read(std::vector<std::int16_t>& samples,
                std::chrono::steady_clock::time_point& captured) override {
      if (done_)
        return end_;
      done_ = true;
      samples = {1, -2, 300, -32768};
      captured = at_;
      return Result::Chunk;
    }

   private:
    std::chrono::steady_clock::time_point at_;
    Result end_;
    bool done_ = false;
  };

  HResult open_;
  Result end_;
};

TEST_F(SoundTest, ASoundDeviceIsStampedOnTheGraphClockAndItsFailuresReported) {
  const auto platform = Load(VirtualPlatform::BuiltinCamerasJson());
  {
    SoundGraph busy = SoundGraph::Build(
        *platform,
        graph::MakeSoundCaptureFilter(
            "Busy", std::make_shared<ScriptedDevice>(hr::Busy, ScriptedDevice::Result::Lost), 2));
    EXPECT_EQ(busy.control->Run(), hr::Busy);
  }
  const std::pair<ScriptedDevice::Result, std::int32_t> ends[] = {
      {ScriptedDevice::Result::Lost, graph::kEventDeviceLost},
      {ScriptedDevice::Result::Failed, graph::kEventErrorAbort},
  };
  for (const auto& [end, event] : ends) {
    SCOPED_TRACE(event);
    SoundGraph g = SoundGraph::Build(
        *platform,
        graph::MakeSoundCaptureFilter("Mono", std::make_shared<ScriptedDevice>(hr::Ok, end), 1));
    ASSERT_EQ(g.control->Run(), hr::Ok);
    std::int32_t code = 0;
    ASSERT_EQ(g.events->WaitForCompletion(kFrameWaitMs, code), hr::Ok);
    EXPECT_EQ(code, event);
    g.control->Stop();
    const auto chunks = g.sink->Chunks();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_NEAR(chunks[0].time, 0.25, 1e-6);
    // 16-bit little-endian, as the PCM type says.
    EXPECT_EQ(chunks[0].bytes,
              (std::vector<std::uint8_t>{0x01, 0x00, 0xFE, 0xFF, 0x2C, 0x01, 0x00, 0x80}));
  }
}

}  // namespace
}  // namespace varnholt::test
