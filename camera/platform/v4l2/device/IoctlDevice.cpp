#include "camera/platform/v4l2/device/IoctlDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace varnholt::platform::v4l2 {

int IoctlDevice::Ioctl(unsigned long request, void* arg) {
  total_.fetch_add(1, std::memory_order_relaxed);
  byRequest_[_IOC_NR(request) & 0xFF].fetch_add(1, std::memory_order_relaxed);
  return DoIoctl(request, arg);
}

std::uint64_t IoctlDevice::IoctlCount(unsigned long request) const {
  return byRequest_[_IOC_NR(request) & 0xFF].load(std::memory_order_relaxed);
}

bool IoctlDevice::EventPending() {
  const EventPoll signal = EventSignal();
  if (signal.fd < 0)
    return false;
  pollfd fd{signal.fd, signal.events, 0};
  int ret;
  do {
    ret = ::poll(&fd, 1, 0);
  } while (ret < 0 && errno == EINTR);
  return ret > 0 && (fd.revents & signal.events) != 0;
}

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

EventPoll NodeIoctlDevice::EventSignal() const {
  return {fd_.Get(), POLLPRI};
}

int NodeIoctlDevice::DoIoctl(unsigned long request, void* arg) {
  int ret;
  do {
    ret = ::ioctl(fd_.Get(), request, arg);
  } while (ret < 0 && errno == EINTR);
  return ret < 0 ? -errno : 0;
}

int NodeIoctlDevice::Map(std::size_t length, std::int64_t offset, void*& address) {
  void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_.Get(), offset);
  if (mapped == MAP_FAILED) {
    address = nullptr;
    return -errno;
  }
  address = mapped;
  return 0;
}

void NodeIoctlDevice::Unmap(void* address, std::size_t length) {
  if (address)
    ::munmap(address, length);
}

}  // namespace varnholt::platform::v4l2
