#include "camera/platform/v4l2/IoctlDevice.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace varnholt::platform::v4l2 {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0)
    ::close(fd_);
}

int UniqueFd::Release() {
  return std::exchange(fd_, -1);
}

int NodeIoctlDevice::Open(const std::string& path, std::unique_ptr<NodeIoctlDevice>& device) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return -errno;
  device.reset(new NodeIoctlDevice(UniqueFd(fd)));
  return 0;
}

int NodeIoctlDevice::Ioctl(unsigned long request, void* arg) {
  int ret;
  do {
    ret = ::ioctl(fd_.Get(), request, arg);
  } while (ret < 0 && errno == EINTR);
  return ret < 0 ? -errno : 0;
}

}  // namespace varnholt::platform::v4l2
