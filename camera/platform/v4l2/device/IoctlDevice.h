#pragma once

// The one door to a V4L2 node: ioctl calls, mapping its buffers and the file
// descriptor to wait on. Everything above it talks to this interface, so the
// device layer can be driven by a model of a camera in tests and by a real
// /dev/video* node in the program.
//
// What callers may rely on:
// - Ioctl answers 0 or a negative errno, never -1 with errno set; an
//   interrupted call has already been retried;
// - every Ioctl is counted per device and per request, cheaply enough to
//   stay on in the program, so tests and benchmarks can tell what a
//   component operation costs in driver calls;
// - Map answers 0 with the address, or a negative errno and no address;
// - EventPending never blocks and makes no ioctl: it only tells whether a
//   dequeue would find a V4L2 event (a control another program changed).

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace varnholt::platform::v4l2 {

// What to poll for a waiting V4L2 event: a descriptor and its poll events;
// fd -1 when the device cannot signal events.
struct EventPoll {
  int fd = -1;
  short events = 0;
};

class IoctlDevice {
 public:
  virtual ~IoctlDevice() = default;

  int Ioctl(unsigned long request, void* arg);

  // Maps length bytes of a buffer at the offset QUERYBUF gave, read-only.
  virtual int Map(std::size_t length, std::int64_t offset, void*& address) = 0;
  virtual void Unmap(void* address, std::size_t length) = 0;
  // The descriptor that polls readable when a filled buffer waits and
  // reports POLLERR when the device is gone.
  virtual int PollFd() const = 0;
  // Where a V4L2 event shows (the node's POLLPRI), and whether one waits.
  virtual EventPoll EventSignal() const { return {}; }
  virtual bool EventPending();

  // Calls made so far: all of them, or those of one request (VIDIOC_*).
  std::uint64_t IoctlCount() const { return total_.load(std::memory_order_relaxed); }
  std::uint64_t IoctlCount(unsigned long request) const;

 protected:
  virtual int DoIoctl(unsigned long request, void* arg) = 0;

 private:
  // By the request's number (the low byte); V4L2 numbers stay below 256.
  std::array<std::atomic<std::uint32_t>, 256> byRequest_{};
  std::atomic<std::uint64_t> total_{0};
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

  int Map(std::size_t length, std::int64_t offset, void*& address) override;
  void Unmap(void* address, std::size_t length) override;
  int PollFd() const override { return fd_.Get(); }
  EventPoll EventSignal() const override;

 protected:
  int DoIoctl(unsigned long request, void* arg) override;

 private:
  explicit NodeIoctlDevice(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

}  // namespace varnholt::platform::v4l2
