#pragma once

// A model of a UVC webcam behind the ioctl door: controls with ranges, menus
// with holes, automatic companions that lock their value (EACCES, or EBUSY
// like some drivers) and mark it inactive, and a record of every write; and
// a capture queue with formats, sizes and intervals, mmap buffers in a memfd
// and poll readiness through an eventfd, so a stream runs in-process. The
// faults of real drivers can be set: controls or menu items it fails to
// describe, no control handler at all, padded rows, fields instead of
// frames.
//
// Control events as the kernel sends them: a subscribed control whose value,
// range or flags differ from what its subscriber last heard of has an event
// waiting, whoever changed it (a test writing a field is "another
// program"); the subscriber's own writes send none. ChangeByOtherProgram
// also wakes a poll on EventSignal.
//
// The test side feeds frames with DeliverFrame; the queue keeps the driver's
// rules that matter to a client: no format change while buffers exist,
// REQBUFS 0 refused while a buffer is still mapped, EBUSY for everything
// that needs the queue while "another program" holds it, ENODEV for every
// call once unplugged. Calls may come from any thread.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "camera/platform/v4l2/device/IoctlDevice.h"

namespace varnholt::test {

struct FakeControl {
  std::uint32_t id = 0;
  std::uint32_t type = 1;  // V4L2_CTRL_TYPE_INTEGER
  std::string name;
  std::int64_t minimum = 0, maximum = 0, step = 1, defaultValue = 0, value = 0;
  std::uint32_t flags = 0;
  std::map<std::uint32_t, std::string> menu;  // index → label; holes are missing
  std::uint32_t master = 0;                   // the automatic companion
  std::int64_t masterManual = 0;              // the companion's manual value
  int queryErrno = 0;                         // every query reaching it fails so (EIO)
  std::map<std::uint32_t, int> itemErrno;     // index → errno its menu query answers
};

struct FakeInterval {
  std::uint32_t numerator = 1, denominator = 30;
};

struct FakeFrameSize {
  std::uint32_t width = 0, height = 0;
  std::vector<FakeInterval> intervals;
};

struct FakeFormat {
  std::uint32_t pixelFormat = 0;
  std::string description;
  std::vector<FakeFrameSize> sizes;  // discrete sizes with their intervals
  // Stepwise sizes and intervals instead, when set: one range each.
  bool stepwise = false;
  FakeFrameSize minSize, maxSize, stepSize;
  FakeInterval fastest, slowest;
};

class FakeUvcCamera : public platform::v4l2::IoctlDevice {
 public:
  using Write = std::vector<std::pair<std::uint32_t, std::int64_t>>;

  // A webcam with every control the mapping knows, as UVC exposes them.
  static std::vector<FakeControl> FullWebcam();
  // YUYV 640x480 (30, 15 fps), 320x240 and 160x120 (30 fps); MJPEG 1280x720
  // and 640x480 (30 fps); NV12 640x480, which the graph cannot carry.
  static std::vector<FakeFormat> StandardFormats();

  explicit FakeUvcCamera(std::vector<FakeControl> controls,
                         std::vector<FakeFormat> formats = StandardFormats());
  ~FakeUvcCamera() override;

  int Map(std::size_t length, std::int64_t offset, void*& address) override;
  void Unmap(void* address, std::size_t length) override;
  int PollFd() const override { return ready_; }
  platform::v4l2::EventPoll EventSignal() const override;
  bool EventPending() override;
  void ChangeByOtherProgram(std::uint32_t id, std::int64_t value);

  FakeControl* Find(std::uint32_t id);
  void Remove(std::uint32_t id);

  // ---- the capture queue, as a test drives it

  // Fills the oldest queued buffer and marks it done; waits up to `wait`
  // for the client to queue one. False when none was queued in time.
  bool DeliverFrame(const std::vector<std::uint8_t>& bytes,
                    std::chrono::milliseconds wait = std::chrono::milliseconds(10000));
  // Every later call answers ENODEV, and a waiting poll wakes.
  void Unplug();
  // The next DQBUF answers this errno (EIO: the device stopped answering).
  void FailDequeue(int error);

  bool Streaming();
  std::size_t AllocatedBuffers();
  int MappedBuffers();
  // Waits until the client streams with buffers queued; false after `wait`.
  bool WaitStreaming(std::chrono::milliseconds wait = std::chrono::milliseconds(10000));
  struct Current {
    std::uint32_t pixelFormat, width, height;
    FakeInterval interval;
  };
  Current Format();
  void SetCurrent(std::uint32_t pixelFormat, std::uint32_t width, std::uint32_t height,
                  FakeInterval interval = {});

  std::uint32_t deviceCaps = 0x04200001;  // video capture, streaming
  std::string busInfo = "usb-0000:00:14.0-1";
  int lockedErrno = 13;               // EACCES; some drivers answer EBUSY
  int failNext = 0;                   // an errno the next call answers with
  std::function<void()> beforeWrite;  // another program acting in between
  std::vector<Write> writes;
  bool heldElsewhere = false;  // another program owns the queue: EBUSY
  bool frameIntervals = true;  // G_PARM/S_PARM and ENUM_FRAMEINTERVALS answer
  bool controlHandler = true;  // false: every control request answers ENOTTY
  bool controlEvents = true;   // false: subscriptions answer ENOTTY
  // An old driver: a read of controls by their class answers EINVAL.
  bool refuseClassReads = false;
  // Bytes after each YUYV row (bytesperline), and the pixel formats the
  // camera delivers only as interlaced fields.
  std::uint32_t rowPadding = 0;
  std::vector<std::uint32_t> interlacedOnly;
  std::uint32_t requestedField = 0;  // the field order the last S_FMT asked for

 protected:
  int DoIoctl(unsigned long request, void* arg) override;

 private:
  enum class BufferState { Dequeued, Queued, Done };
  struct Buffer {
    std::uint32_t offset = 0, length = 0, bytesUsed = 0, sequence = 0;
    BufferState state = BufferState::Dequeued;
  };

  // A control as a subscriber hears of it: value, range, flags.
  using Heard = std::array<std::int64_t, 6>;
  Heard HeardOf(const FakeControl& control);
  int Subscribe(void* arg);
  int DequeueEvent(void* arg);
  int QueryExt(void* arg);
  int QueryMenu(void* arg);
  int GetExt(void* arg);
  int SetExt(void* arg);
  bool Locked(const FakeControl& control, const Write& request);

  int EnumFmt(void* arg);
  int EnumSizes(void* arg);
  int EnumIntervals(void* arg);
  int GetFmt(void* arg);
  int SetFmt(void* arg);
  int GetParm(void* arg);
  int SetParm(void* arg);
  int ReqBufs(void* arg);
  int QueryBuf(void* arg);
  int QBuf(void* arg);
  int DQBuf(void* arg);
  int StreamOn(void* arg);
  int StreamOff(void* arg);
  const FakeFormat* FindFormat(std::uint32_t pixelFormat) const;
  std::uint32_t ImageSize() const;
  // The eventfd is readable exactly while a done buffer waits or the device
  // is gone.
  void UpdateReadiness();

  std::vector<FakeControl> controls_;
  std::vector<FakeFormat> formats_;

  std::recursive_mutex mutex_;
  std::condition_variable_any changed_;
  Current current_{};
  std::vector<Buffer> buffers_;
  bool streaming_ = false;
  bool unplugged_ = false;
  int failDequeue_ = 0;
  int mapped_ = 0;
  std::uint32_t sequence_ = 0;
  int memfd_ = -1;
  int ready_ = -1;
  bool signalled_ = false;
  std::map<std::uint32_t, Heard> subscribed_;
  int events_ = -1;  // readable while ChangeByOtherProgram's change waits
};

// An open node of a shared fake camera: every call goes to the camera, so
// that several opens (and the graph's own) see one device.
class ForwardingDevice final : public platform::v4l2::IoctlDevice {
 public:
  explicit ForwardingDevice(std::shared_ptr<FakeUvcCamera> camera) : camera_(std::move(camera)) {}
  int Map(std::size_t length, std::int64_t offset, void*& address) override {
    return camera_->Map(length, offset, address);
  }
  void Unmap(void* address, std::size_t length) override { camera_->Unmap(address, length); }
  int PollFd() const override { return camera_->PollFd(); }
  platform::v4l2::EventPoll EventSignal() const override { return camera_->EventSignal(); }
  bool EventPending() override { return camera_->EventPending(); }

 protected:
  int DoIoctl(unsigned long request, void* arg) override { return camera_->Ioctl(request, arg); }

 private:
  std::shared_ptr<FakeUvcCamera> camera_;
};

}  // namespace varnholt::test
