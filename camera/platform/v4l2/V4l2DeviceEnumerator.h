#pragma once

// The system device enumerator of the V4L2 platform: one moniker per video
// capture node and per sound capture device, found afresh on every
// enumeration.
//
// What callers may rely on: monikers come in node-number order; a node that
// is gone, busy or not a video capture node (metadata, output) is left out;
// a device's first node that this user may not open is listed, and binding
// it answers hr_v4l2::NodeAccessDenied. The property bag has FriendlyName
// (the card; cameras of one card numbered "#2", "#3"... by bus position),
// DevicePath (the by-id link, else the node) and Description (driver and
// bus). Audio inputs are the sound cards' capture devices (AlsaSound.h), with
// FriendlyName, Description and WaveInID (their place in the list), binding
// to graph sound capture filters; the compressor categories are empty.

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/device/NodeDirectory.h"

namespace varnholt::platform::v4l2 {

class ControlWatch;

// Cameras bound through it report their control events to controlWatch.
std::shared_ptr<Unknown> MakeDeviceEnumerator(std::shared_ptr<NodeDirectory> nodes,
                                              std::shared_ptr<ControlWatch> controlWatch = nullptr);

}  // namespace varnholt::platform::v4l2
