#pragma once

// The sample grabber: sits between a source and a renderer, keeps a copy of
// the latest frame when asked to, and hands every frame to the caller's
// callback on the streaming thread before passing it on.
//
// What callers may rely on:
// - SetCallback returns only when no callback is running, and none starts
//   afterwards with the old callback; a callback may itself call the grabber;
// - GetCurrentBuffer answers VFW_E_NOT_CONNECTED before a connection,
//   hr::InvalidArg while samples are not buffered, VFW_E_WRONG_STATE before
//   the first sample and hr::OutOfMemory for a buffer smaller than the sample;
// - during a callback, GetCurrentBuffer answers the frame being delivered.

#include <memory>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::graph {

std::shared_ptr<IBaseFilter> MakeSampleGrabber();

}  // namespace varnholt::platform::graph
