#pragma once

// The sound device behind each audio input of the virtual cameras'
// description: silence with a short loud tone at every whole second of
// stream time from 1 s on, where the picture shows its second mark, so
// that a recording's sound can be checked against its pictures.
//
// What callers may rely on: the microphone's sample clock runs on whole
// samples of the graph's clock (sample k of a run is taken at
// start.at + k / rate, stream time start.time + k / rate), and each chunk is
// stamped with the instant of its first sample; a tone of kToneHz lasting
// kToneSeconds begins at the first sample of each whole second.

#include <memory>

#include "camera/platform/graph/SoundSource.h"

namespace varnholt::platform::virtualcam {

constexpr double kToneHz = 1000.0;
constexpr double kToneSeconds = 0.050;
// Channels of a virtual microphone: the tone sounds on both.
constexpr std::uint16_t kMicrophoneChannels = 2;

std::shared_ptr<graph::SoundDevice> MakeVirtualMicrophone();

}  // namespace varnholt::platform::virtualcam
