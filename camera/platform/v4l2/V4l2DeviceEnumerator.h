#pragma once

// The system device enumerator of the V4L2 platform: one moniker per video
// capture node, found afresh on every enumeration.
//
// What callers may rely on: monikers come in node-number order; a node that
// cannot be opened or is not a video capture node (metadata, output) is left
// out; the property bag has FriendlyName (the card), DevicePath (the by-id
// link, else the node) and Description (driver and bus); categories other
// than video input are empty.

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/NodeDirectory.h"

namespace varnholt::platform::v4l2 {

std::shared_ptr<Unknown> MakeDeviceEnumerator(std::shared_ptr<NodeDirectory> nodes);

}  // namespace varnholt::platform::v4l2
