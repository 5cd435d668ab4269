#pragma once

// The sound cards' capture devices through ALSA, for the V4L2 platform's
// audio inputs: listing them and capturing from them as graph::SoundDevice.
// Standard library and libasound only, so that it can be driven on its own
// (a machine with snd-aloop, for one).
//
// What callers may rely on:
// - every capture PCM of every card is listed, in card then device order,
//   then the sound servers' PCMs ALSA's configuration names ("pipewire",
//   "pulse"), through which a card another program holds is shared, and
//   "default"; a machine without any lists nothing and listing never fails;
// - a card's capture opens "plughw:C,D", so ALSA converts rate, channels
//   and format to what the graph asked for (a server's PCM converts anyway);
// - each chunk is stamped with its first frame's CLOCK_MONOTONIC instant,
//   from the driver's timestamps where it gives them, else from the instant
//   it was read less what was waiting; an overrun restarts the device and
//   streaming goes on; a device that is gone reads as Lost.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/platform/HResult.h"
#include "camera/platform/graph/SoundSource.h"

namespace varnholt::platform::v4l2 {

struct AlsaCaptureDevice {
  int card = 0;
  int device = 0;
  std::string pcm;           // a named PCM instead of a card's device ("pipewire")
  std::string friendlyName;  // "<card name>: <pcm name> (hw:C,D)" or "<what> (pcm)", unique
  std::string description;   // the card's long name, or ALSA's description of the PCM

  std::string HwName() const;    // hw:C,D, or the named PCM
  std::string PlugName() const;  // plughw:C,D, or the named PCM
};

std::vector<AlsaCaptureDevice> FindAlsaCaptureDevices();

// The channels a capture asks for: two where the device gives two or more,
// one for a mono-only device. DeviceNotConnected when the device is gone.
HResult ProbeAlsaChannels(const AlsaCaptureDevice& device, std::uint16_t& channels);

// Negative ALSA (errno) codes as result codes: EBUSY Busy, ENOENT/ENODEV
// DeviceNotConnected, EACCES/EPERM AccessDenied, anything else Fail.
HResult ResultFromAlsaError(int negativeErrno);

std::shared_ptr<graph::SoundDevice> MakeAlsaSoundDevice(AlsaCaptureDevice device);

}  // namespace varnholt::platform::v4l2
