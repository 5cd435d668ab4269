#pragma once

// COM on the calling thread. The component calls the platform from its own
// thread and from worker threads (the value writer, the device watch), so
// every entry that reaches system objects first makes sure COM is up there.
// A thread initialised here joins a single-threaded apartment (property
// frames and the renderer need one) and leaves COM again when it ends; a
// thread someone else initialised is left as it is.

#include "camera/platform/HResult.h"

namespace varnholt::platform::directshow {

// S_OK when COM is usable on this thread, else the failure of CoInitializeEx.
HResult EnsureCom();

}  // namespace varnholt::platform::directshow
