#include "camera/platform/graph/StreamEventQueue.h"

#include <chrono>

namespace varnholt::platform::graph {
namespace {

constexpr std::int32_t kEventComplete = 0x01;
constexpr std::int32_t kEventUserAbort = 0x02;

// A camera that went away ends its stream as surely as an error does: who
// waits for the end must hear of it rather than wait for frames that never
// come.
bool EndsStream(std::int32_t code) {
  return code == kEventComplete || code == kEventUserAbort || code == kEventErrorAbort ||
         code == kEventDeviceLost;
}

}  // namespace

void StreamEventQueue::Notify(std::int32_t eventCode) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back(eventCode);
  }
  changed_.notify_all();
}

void StreamEventQueue::Wake() {
  {
    std::lock_guard lock(mutex_);
    ++wakes_;
  }
  changed_.notify_all();
}

HResult StreamEventQueue::WaitForCompletion(std::int32_t timeoutMs, std::int32_t& eventCode) {
  std::unique_lock lock(mutex_);
  const std::uint64_t wakes = wakes_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    while (!events_.empty()) {
      const std::int32_t code = events_.front();
      events_.pop_front();
      if (EndsStream(code)) {
        eventCode = code;
        return hr::Ok;
      }
    }
    if (wakes_ != wakes)
      return hr::Abort;
    if (timeoutMs < 0) {
      changed_.wait(lock);
    } else if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && events_.empty()) {
      return hr::Abort;
    }
  }
}

}  // namespace varnholt::platform::graph
