#include "camera/platform/virtual/VirtualMicrophone.h"

#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

namespace varnholt::platform::virtualcam {
namespace {

using Clock = std::chrono::steady_clock;

// 10 ms chunks: a rate of 48000 gives 480 frames each.
constexpr std::uint32_t kChunksPerSecond = 100;
constexpr double kToneAmplitude = 0.8 * 32767;
// Sound a reader could not take for this long is lost, as a real device's
// buffer overruns; shorter delays are caught up so the sound stays whole.
constexpr auto kBacklogLimit = std::chrono::seconds(1);

class MicrophoneCapture final : public graph::SoundCapture {
 public:
  MicrophoneCapture(std::uint32_t rate, std::uint16_t channels, const graph::StreamStart& start)
      : rate_(rate),
        channels_(channels),
        chunk_(std::max<std::uint32_t>(1, rate / kChunksPerSecond)),
        start_(start) {
    // The first whole sample at or after now, as the camera takes its
    // first whole frame period.
    next_ = SampleAtOrAfter(Clock::now());
  }

  ReadResult Read(std::vector<std::int16_t>& samples, Clock::time_point& captured) override {
    // A chunk is ready once its last sample has been taken.
    const Clock::time_point due = InstantOf(next_ + chunk_);
    std::this_thread::sleep_until(due);  // at most one chunk's time
    const auto now = Clock::now();
    if (now - due > kBacklogLimit)
      next_ = SampleAtOrAfter(now - std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(chunk_ / double(rate_))));
    samples.resize(std::size_t{chunk_} * channels_);
    for (std::uint32_t i = 0; i < chunk_; ++i) {
      const auto value = Sound(next_ + i);
      for (std::uint16_t c = 0; c < channels_; ++c)
        samples[std::size_t{i} * channels_ + c] = value;
    }
    captured = InstantOf(next_);
    next_ += chunk_;
    return ReadResult::Chunk;
  }

 private:
  // Whole seconds and the remainder in integers, so that late samples of a
  // long run keep their nanosecond.
  Clock::time_point InstantOf(std::uint64_t sample) const {
    const auto seconds = std::chrono::seconds(sample / rate_);
    const auto rest = std::chrono::nanoseconds((sample % rate_) * 1'000'000'000ull / rate_);
    return start_.at + std::chrono::duration_cast<Clock::duration>(seconds + rest);
  }

  std::uint64_t SampleAtOrAfter(Clock::time_point instant) const {
    const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(instant - start_.at);
    if (since.count() <= 0)
      return 0;
    const auto ns = static_cast<std::uint64_t>(since.count());
    const std::uint64_t whole = ns / 1'000'000'000ull;
    const std::uint64_t rest = ns % 1'000'000'000ull;
    return whole * rate_ + (rest * rate_ + 999'999'999ull) / 1'000'000'000ull;
  }

  std::int16_t Sound(std::uint64_t sample) const {
    const double time = start_.time + static_cast<double>(sample) / rate_;
    // Rounding may leave a whole second's sample a hair below it.
    const double intoSecond = std::max(0.0, time - std::floor(time + 1e-9));
    // From the first second on, as the picture marks its seconds.
    if (intoSecond >= kToneSeconds || time + 1e-9 < 1.0)
      return 0;
    return static_cast<std::int16_t>(
        std::lround(kToneAmplitude * std::sin(2 * std::numbers::pi * kToneHz * intoSecond)));
  }

  const std::uint32_t rate_;
  const std::uint16_t channels_;
  const std::uint32_t chunk_;
  const graph::StreamStart start_;
  std::uint64_t next_ = 0;
};

class VirtualMicrophone final : public graph::SoundDevice {
 public:
  HResult Open(std::uint32_t rate, std::uint16_t channels, const graph::StreamStart& start,
               std::unique_ptr<graph::SoundCapture>& capture) override {
    if (rate == 0 || channels == 0)
      return hr::InvalidArg;
    capture = std::make_unique<MicrophoneCapture>(rate, channels, start);
    return hr::Ok;
  }
};

}  // namespace

std::shared_ptr<graph::SoundDevice> MakeVirtualMicrophone() {
  return std::make_shared<VirtualMicrophone>();
}

}  // namespace varnholt::platform::virtualcam
