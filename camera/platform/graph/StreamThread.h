#pragma once

// How a source ends its streaming thread once it told it to stop: it waits
// for it, unless the stop comes from that thread itself (a frame callback
// stopping its own graph); then the thread, which holds everything it uses,
// ends on its own once the callback returns.

#include <thread>

namespace varnholt::platform::graph {

inline void EndStreamThread(std::thread thread) {
  if (!thread.joinable())
    return;
  if (thread.get_id() == std::this_thread::get_id())
    thread.detach();
  else
    thread.join();
}

}  // namespace varnholt::platform::graph
