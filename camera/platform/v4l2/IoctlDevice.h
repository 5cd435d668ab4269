#pragma once

// The one door to a V4L2 node: an ioctl call. Everything above it talks to
// this interface, so the device layer can be driven by a model of a camera in
// tests and by a real /dev/video* node in the program.
//
// What callers may rely on: Ioctl answers 0 or a negative errno, never -1
// with errno set; an interrupted call has already been retried.

#include <memory>
#include <string>

namespace varnholt::platform::v4l2 {

class IoctlDevice {
 public:
  virtual ~IoctlDevice() = default;
  virtual int Ioctl(unsigned long request, void* arg) = 0;
};

// An owned file descriptor, closed exactly once.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();

  int Get() const { return fd_; }
  bool IsValid() const { return fd_ >= 0; }
  int Release();

 private:
  int fd_ = -1;
};

// A device node opened read-write and non-blocking, so a node in use by a
// streaming program can still be queried and a read never hangs the UI.
class NodeIoctlDevice : public IoctlDevice {
 public:
  // 0 with device set, or a negative errno (ENOENT, EACCES, EBUSY, ...).
  static int Open(const std::string& path, std::unique_ptr<NodeIoctlDevice>& device);

  int Ioctl(unsigned long request, void* arg) override;

 private:
  explicit NodeIoctlDevice(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

}  // namespace varnholt::platform::v4l2
