#include "camera/platform/v4l2/V4l2Stream.h"

#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "camera/platform/graph/FrameSample.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/StreamThread.h"
#include "camera/platform/v4l2/V4l2Errors.h"

namespace varnholt::platform::v4l2 {
namespace {

// Enough for the driver to fill one while we deliver another, few enough
// for a 1080p YUY2 stream to stay small.
constexpr std::uint32_t kBufferCount = 4;
// Only a safety net: stopping wakes the thread at once.
constexpr int kPollTimeoutMs = 1000;

struct MappedBuffer {
  void* address = nullptr;
  std::size_t length = 0;
};

// The queue's buffers while a stream runs: mapped, and freed in the
// driver's order (stream off, unmap, REQBUFS 0) exactly once.
class BufferSet {
 public:
  explicit BufferSet(std::shared_ptr<V4l2Device> device) : device_(std::move(device)) {}
  ~BufferSet() { Release(); }
  BufferSet(const BufferSet&) = delete;
  BufferSet& operator=(const BufferSet&) = delete;

  int Allocate() {
    std::uint32_t count = kBufferCount;
    if (int ret = device_->RequestBuffers(count); ret < 0)
      return ret;
    requested_ = true;
    if (count == 0)
      return -ENOMEM;
    for (std::uint32_t i = 0; i < count; ++i) {
      V4l2Buffer buffer;
      if (int ret = device_->QueryBuffer(i, buffer); ret < 0)
        return ret;
      MappedBuffer mapped{nullptr, buffer.length};
      if (int ret = device_->Io().Map(buffer.length, buffer.offset, mapped.address); ret < 0)
        return ret;
      buffers_.push_back(mapped);
    }
    for (std::uint32_t i = 0; i < count; ++i)
      if (int ret = device_->QueueBuffer(i); ret < 0)
        return ret;
    if (int ret = device_->StreamOn(); ret < 0)
      return ret;
    streaming_ = true;
    return 0;
  }

  void Release() {
    // The device may be gone: every step runs whatever the one before said.
    if (streaming_)
      device_->StreamOff();
    streaming_ = false;
    for (const auto& b : buffers_)
      device_->Io().Unmap(b.address, b.length);
    buffers_.clear();
    if (requested_) {
      std::uint32_t none = 0;
      device_->RequestBuffers(none);
    }
    requested_ = false;
  }

  std::size_t Count() const { return buffers_.size(); }
  const MappedBuffer& At(std::size_t index) const { return buffers_[index]; }

 private:
  const std::shared_ptr<V4l2Device> device_;
  std::vector<MappedBuffer> buffers_;
  bool requested_ = false;
  bool streaming_ = false;
};

bool DeviceGone(int negativeErrno) {
  return negativeErrno == -ENODEV || negativeErrno == -EIO || negativeErrno == -ENXIO;
}

}  // namespace

using Clock = std::chrono::steady_clock;

// Owned jointly by the stream and its thread, so the thread never uses
// anything that another thread could free; it frees the buffers itself.
class V4l2Stream::Worker {
 public:
  Worker(std::shared_ptr<V4l2Device> device, std::unique_ptr<BufferSet> buffers, UniqueFd wake,
         V4l2Mode mode, std::uint32_t bytesPerLine, std::shared_ptr<graph::IFrameReceiver> receiver,
         graph::StreamStart start, std::shared_ptr<graph::IStreamEvents> events)
      : device_(std::move(device)),
        buffers_(std::move(buffers)),
        wake_(std::move(wake)),
        mode_(mode),
        bytesPerLine_(bytesPerLine),
        receiver_(std::move(receiver)),
        start_(start),
        events_(std::move(events)) {}

  void RequestStop() {
    const std::uint64_t one = 1;
    // An eventfd write only fails when the counter would overflow: it is
    // readable then anyway.
    [[maybe_unused]] const auto written = ::write(wake_.Get(), &one, sizeof one);
  }

  void Run() {
    Stream();
    buffers_->Release();
  }

 private:
  void Notify(std::int32_t code) {
    if (events_)
      events_->Notify(code);
  }

  void Stream() {
    pollfd fds[2] = {{device_->Io().PollFd(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}};
    bool first = true;
    std::uint32_t firstSequence = 0;
    double firstTime = 0.0;
    for (;;) {
      fds[0].revents = fds[1].revents = 0;
      const int ready = ::poll(fds, 2, kPollTimeoutMs);
      if (ready < 0 && errno == EINTR)
        continue;
      if (ready < 0) {
        Notify(graph::kEventErrorAbort);
        return;
      }
      if (fds[1].revents)
        return;  // stopping
      if (ready == 0)
        continue;  // a camera may stall, in the dark or on a busy bus
      V4l2Buffer buffer;
      int ret = device_->DequeueBuffer(buffer);
      if (ret == -EAGAIN) {
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
          // Nothing to take and the node reports an error: it is gone.
          Notify(graph::kEventDeviceLost);
          return;
        }
        continue;
      }
      if (ret < 0) {
        Notify(DeviceGone(ret) ? graph::kEventDeviceLost : graph::kEventErrorAbort);
        return;
      }
      std::shared_ptr<graph::FrameSample> sample;
      if (buffer.index < buffers_->Count())
        sample = Take(buffer);
      // Back to the driver before delivering, so it fills while we deliver.
      if (ret = device_->QueueBuffer(buffer.index); ret < 0) {
        Notify(DeviceGone(ret) ? graph::kEventDeviceLost : graph::kEventErrorAbort);
        return;
      }
      if (!sample)
        continue;
      // The driver's capture time where it stamps on the shared clock, so
      // pictures keep to the sound over hours; otherwise the first frame's
      // arrival and the sequence numbers, which still count dropped frames.
      double time = 0.0;
      if (buffer.monotonicNs != 0) {
        time = start_.TimeAt(Clock::time_point(std::chrono::nanoseconds(buffer.monotonicNs)));
      } else {
        if (first) {
          firstTime = start_.TimeAt(Clock::now());
          firstSequence = buffer.sequence;
        }
        time = firstTime + static_cast<double>(buffer.sequence - firstSequence) *
                               static_cast<double>(mode_.frameTime) / 1e7;
      }
      first = false;
      time = std::max(time, start_.time);
      receiver_->Receive(sample, time);
    }
  }

  // A copy of the frame's bytes, or none for a frame the driver marked
  // broken or a YUY2 frame shorter than its picture. YUY2 rows the driver
  // padded are packed, as everything downstream reads rows of width * 2.
  std::shared_ptr<graph::FrameSample> Take(const V4l2Buffer& buffer) const {
    if (buffer.flags & V4L2_BUF_FLAG_ERROR)
      return nullptr;
    const MappedBuffer& mapped = buffers_->At(buffer.index);
    const std::size_t used = std::min<std::size_t>(buffer.bytesUsed, mapped.length);
    if (used == 0)
      return nullptr;
    const auto* bytes = static_cast<const std::uint8_t*>(mapped.address);
    std::vector<std::uint8_t> copy = pool_->Take();
    if (mode_.fourcc != kFourCCYUY2) {
      copy.assign(bytes, bytes + used);
      return pool_->Sample(std::move(copy));
    }
    const std::size_t row = std::size_t{mode_.size.width} * 2;
    const std::size_t stride = std::max<std::size_t>(bytesPerLine_, row);
    const std::size_t height = mode_.size.height;
    // A zero-sized mode (a driver's odd answer) holds no picture at all.
    if (row == 0 || height == 0 || used < stride * (height - 1) + row)
      return nullptr;
    if (stride == row) {
      copy.assign(bytes, bytes + used);
      return pool_->Sample(std::move(copy));
    }
    copy.resize(row * height);
    for (std::size_t y = 0; y < height; ++y)
      std::memcpy(copy.data() + y * row, bytes + y * stride, row);
    return pool_->Sample(std::move(copy));
  }

  const std::shared_ptr<V4l2Device> device_;
  const std::unique_ptr<BufferSet> buffers_;
  // The frames' copies: each comes back for a later frame once let go.
  const std::shared_ptr<graph::FramePool> pool_ = graph::FramePool::Create();
  const UniqueFd wake_;
  const V4l2Mode mode_;
  const std::uint32_t bytesPerLine_;  // 0 or less than a row: rows are packed
  const std::shared_ptr<graph::IFrameReceiver> receiver_;
  const graph::StreamStart start_;
  const std::shared_ptr<graph::IStreamEvents> events_;
};

V4l2Stream::V4l2Stream(std::shared_ptr<V4l2Device> device, std::shared_ptr<StreamFormat> format,
                       std::shared_ptr<IPin> pin, std::string name)
    : device_(std::move(device)),
      format_(std::move(format)),
      pin_(std::move(pin)),
      membership_(std::move(name)) {}

V4l2Stream::~V4l2Stream() {
  Stop();
  std::lock_guard lock(mutex_);
  if (const auto receiver = std::exchange(receiver_, nullptr))
    receiver->BreakConnection();
}

std::vector<graph::SourcePin> V4l2Stream::SourcePins() {
  return {{pin_, guids::PinCategoryCapture}};
}

HResult V4l2Stream::Connect(const std::shared_ptr<IPin>& pin,
                            const std::shared_ptr<graph::IFrameReceiver>& receiver,
                            const graph::StreamRequest&) {
  if (!pin || !receiver)
    return hr::Pointer;
  if (pin != pin_)
    return hr::InvalidArg;
  std::lock_guard lock(mutex_);
  if (worker_)
    return graph::vfw::NotStopped;
  if (receiver_)
    return graph::vfw::AlreadyConnected;
  V4l2Mode mode;
  if (const HResult code = format_->Current(mode); code != hr::Ok)
    return code;
  // Claims the format now: a camera in use elsewhere fails the graph here.
  if (const HResult code = format_->Apply(mode); code != hr::Ok)
    return code;
  if (const HResult code = receiver->ReceiveConnection(*MediaTypeOf(mode)); Failed(code))
    return code;
  receiver_ = receiver;
  connectedMode_ = mode;
  return hr::Ok;
}

HResult V4l2Stream::Disconnect(const std::shared_ptr<IPin>& pin) {
  if (pin != pin_)
    return hr::InvalidArg;
  std::lock_guard lock(mutex_);
  if (!receiver_)
    return graph::vfw::NotConnected;
  if (worker_)
    return graph::vfw::NotStopped;
  std::exchange(receiver_, nullptr)->BreakConnection();
  return hr::Ok;
}

HResult V4l2Stream::Start(const graph::StreamStart& start,
                          const std::shared_ptr<graph::IStreamEvents>& events) {
  std::lock_guard lock(mutex_);
  if (worker_ || !receiver_)
    return hr::Ok;
  V4l2Mode mode;
  if (const HResult code = format_->Current(mode); code != hr::Ok)
    return code;
  if (!SameMode(mode, connectedMode_)) {
    // The format changed while stopped: the receiver takes the new one first.
    if (const HResult code = format_->Apply(mode); code != hr::Ok)
      return code;
    if (const HResult code = receiver_->ReceiveConnection(*MediaTypeOf(mode)); Failed(code))
      return code;
    connectedMode_ = mode;
  }
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake.IsValid())
    return ResultFromErrno(-errno);
  auto buffers = std::make_unique<BufferSet>(device_);
  if (int ret = buffers->Allocate(); ret < 0)
    return ResultFromErrno(ret);  // the set frees what it got
  worker_ = std::make_shared<Worker>(device_, std::move(buffers), std::move(wake), mode,
                                     format_->BytesPerLine(), receiver_, start, events);
  format_->SetStreaming(true);
  thread_ = std::thread([worker = worker_] { worker->Run(); });
  return hr::Ok;
}

void V4l2Stream::Stop() {
  if (graph::StopStreamWorker(mutex_, worker_, thread_))
    format_->SetStreaming(false);
}

HResult V4l2Stream::JoinFilterGraph(const std::weak_ptr<IGraphBuilder>& graph,
                                    const std::string& name) {
  return membership_.Join(graph, name);
}

void V4l2Stream::DescribeMembership(FilterInfo& info) const {
  membership_.Describe(info);
}

}  // namespace varnholt::platform::v4l2
