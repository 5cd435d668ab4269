#pragma once

// The sound capture filter every backend binds its audio inputs to: one
// output pin ("Capture", capture category) whose only media type is 16-bit
// interleaved PCM, streaming on a thread of its own. A backend supplies only
// the device underneath, as a SoundDevice.
//
// What callers may rely on:
// - the device is opened when the graph runs and closed when it stops, so an
//   idle graph holds no sound card; a device that cannot open fails Run with
//   its code;
// - each delivered sample holds whole audio frames, and its time is the
//   stream time of its first frame on the graph's shared clock, so sound and
//   pictures of one graph keep together;
// - a device that goes away while streaming posts kEventDeviceLost, one that
//   fails otherwise kEventErrorAbort; either ends the stream.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/graph/StreamInterfaces.h"

namespace varnholt::platform::graph {

// The rate sound sources deliver; the device (or the system's converter)
// resamples to it.
constexpr std::uint32_t kSoundRate = 48000;

// One open capture of a sound device; destroying it closes the device.
// Used only from the source's streaming thread once opened.
class SoundCapture {
 public:
  enum class ReadResult { Chunk, Nothing, Lost, Failed };

  virtual ~SoundCapture() = default;
  // Waits for the next chunk, but no longer than about one chunk's time, so
  // that the source can stop promptly. Chunk fills `samples` with whole
  // interleaved frames and `captured` with the instant its first frame was
  // taken; Nothing means none was ready yet; Lost, the device is gone.
  virtual ReadResult Read(std::vector<std::int16_t>& samples,
                          std::chrono::steady_clock::time_point& captured) = 0;
};

// A sound input device, as a backend finds it.
class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  // Opens the device for a run that began at `start`, delivering 16-bit
  // frames of `channels` at `rate`.
  virtual HResult Open(std::uint32_t rate, std::uint16_t channels, const StreamStart& start,
                       std::unique_ptr<SoundCapture>& capture) = 0;
};

// The filter over a device: name is its default filter name.
std::shared_ptr<IBaseFilter> MakeSoundCaptureFilter(std::string name,
                                                    std::shared_ptr<SoundDevice> device,
                                                    std::uint16_t channels,
                                                    std::uint32_t rate = kSoundRate);

}  // namespace varnholt::platform::graph
