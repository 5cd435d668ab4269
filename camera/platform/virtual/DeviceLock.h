#pragma once

// The lock a virtual camera holds while a graph streams from it, so that a
// second graph or another process finds it busy, as with a real device. It
// is a lock file beside the camera's state file (flock; LockFileEx on
// Windows); the system drops it when the holder ends, however it ends.

#include <memory>

#include "camera/platform/HResult.h"
#include "camera/platform/virtual/VirtualCamera.h"

#ifdef _WIN32
namespace varnholt::win {
class FileLock;
}
#endif

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
#ifdef _WIN32
  explicit DeviceLock(std::unique_ptr<win::FileLock> lock);
  std::unique_ptr<win::FileLock> lock_;
#else
  explicit DeviceLock(int fd) : fd_(fd) {}
  int fd_;
#endif
};

}  // namespace varnholt::platform::virtualcam
