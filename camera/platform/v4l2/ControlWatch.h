#pragma once

// The control events of the cameras a V4L2 platform has bound, watched on a
// thread of their own: when another program changes a control of a bound
// camera, the camera's cached values and ranges take the change at once and
// whoever watches the platform's devices hears of it, so that the window's
// rows need not wait for its next re-read.
//
// What callers may rely on: cameras are held weakly, and a released camera
// wakes the watch, whose poll would otherwise hold its node open; `changed` runs on the watch's
// thread, once for each burst of events, never two at once; destroying the watch stops the thread
// and waits for a running call.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/ControlProperties.h"

namespace varnholt::platform::v4l2 {

class ControlWatch : public std::enable_shared_from_this<ControlWatch> {
 public:
  // A bound camera whose events count from now on.
  void Add(std::weak_ptr<ControlProperties> properties);
  // nullptr when the system gives no thread or descriptor for it.
  std::unique_ptr<DeviceWatch> Watch(std::function<void()> changed);

 private:
  class Running;
  // The cameras with their event descriptors, dropping released ones.
  std::vector<std::pair<std::shared_ptr<ControlProperties>, EventPoll>> Live();
  void Forget(Running* running);
  // Makes every running watch take the list anew, after change.
  // With await, returns once every watch has left the poll it was in (a
  // released camera's node is closed for good then).
  void WakeAll(const std::function<void()>& change = nullptr, bool await = false);

  std::mutex mutex_;
  std::vector<std::weak_ptr<ControlProperties>> cameras_;
  std::vector<Running*> running_;  // woken to poll the new list on Add
};

}  // namespace varnholt::platform::v4l2
