#pragma once

// The lock a virtual camera holds while a graph streams from it, so that a
// second graph or another process finds it busy, as with a real device. It
// is a lock file beside the camera's state file; the system drops it when
// the holder ends, however it ends.

#include <memory>

#include "camera/platform/HResult.h"
#include "camera/platform/virtual/VirtualCamera.h"

namespace varnholt::platform::virtualcam {

class DeviceLock {
 public:
  // Takes the lock without waiting: hr::Busy when anyone else holds it, in
  // this process or another; hr::AccessDenied when the state folder cannot
  // be written.
  static HResult Acquire(const VirtualCamera& camera, std::unique_ptr<DeviceLock>& lock);

  ~DeviceLock();
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

 private:
  explicit DeviceLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace varnholt::platform::virtualcam
