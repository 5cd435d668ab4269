#pragma once

// The events a graph's sources post while they stream, and the wait for the
// one that ends a stream.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "camera/platform/HResult.h"
#include "camera/platform/graph/StreamInterfaces.h"

namespace varnholt::platform::graph {

class StreamEventQueue final : public IStreamEvents {
 public:
  void Notify(std::int32_t eventCode) override;

  // Waits up to timeoutMs (negative: without limit) for an event that ends
  // the stream (completion, an abort, the device lost) and answers it; hr::Abort when the time runs
  // out or Wake is called first. Other events are dropped.
  HResult WaitForCompletion(std::int32_t timeoutMs, std::int32_t& eventCode);

  // Ends every wait, as when the graph stops.
  void Wake();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::int32_t> events_;
  std::uint64_t wakes_ = 0;
};

}  // namespace varnholt::platform::graph
