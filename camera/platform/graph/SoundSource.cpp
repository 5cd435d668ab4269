#include "camera/platform/graph/SoundSource.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/FrameSample.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/StreamThread.h"
#include "camera/platform/kit/ListEnumerator.h"
#include "camera/platform/kit/PinCategoryProperty.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::graph {
namespace {

using Clock = std::chrono::steady_clock;

// The little-endian bytes the PCM media type promises, whatever the host.
std::vector<std::uint8_t> PcmBytes(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> bytes(samples.size() * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto value = static_cast<std::uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  return bytes;
}

class SoundPin final : public IPin,
                       public kit::CapturePinCategory,
                       public std::enable_shared_from_this<SoundPin> {
 public:
  explicit SoundPin(AmMediaType type) : type_(std::move(type)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return kit::AnswerFor<IPin, IKsPropertySet>(iid, shared_from_this());
  }

  HResult QueryDirection(PinDirection& direction) override {
    direction = PinDirection::Output;
    return hr::Ok;
  }
  HResult QueryId(std::string& id) override {
    id = "Capture";
    return hr::Ok;
  }
  HResult EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& enumerator) override {
    enumerator = std::make_shared<kit::MediaTypeList>(std::vector<AmMediaType>{type_});
    return hr::Ok;
  }

  const AmMediaType& Type() const { return type_; }

 private:
  const AmMediaType type_;
};

// Owned jointly by the filter and its thread, so the thread never uses
// anything another thread could free; the open device goes with it.
class SoundWorker {
 public:
  SoundWorker(std::unique_ptr<SoundCapture> capture, std::shared_ptr<IFrameReceiver> receiver,
              StreamStart start, std::shared_ptr<IStreamEvents> events)
      : capture_(std::move(capture)),
        receiver_(std::move(receiver)),
        start_(start),
        events_(std::move(events)) {}

  void RequestStop() { stop_ = true; }

  void Run() {
    std::vector<std::int16_t> samples;
    while (!stop_) {
      Clock::time_point captured;
      const auto result = capture_->Read(samples, captured);
      if (result == SoundCapture::ReadResult::Lost || result == SoundCapture::ReadResult::Failed) {
        if (events_ && !stop_)
          events_->Notify(result == SoundCapture::ReadResult::Lost ? kEventDeviceLost
                                                                   : kEventErrorAbort);
        break;
      }
      if (result != SoundCapture::ReadResult::Chunk || samples.empty() || stop_)
        continue;
      // A device stamp a hair before the run began still belongs to it.
      const double time = std::max(start_.time, start_.TimeAt(captured));
      receiver_->Receive(std::make_shared<FrameSample>(PcmBytes(samples)), time);
    }
    capture_.reset();  // the card is free as soon as the stream ends
  }

 private:
  std::unique_ptr<SoundCapture> capture_;
  const std::shared_ptr<IFrameReceiver> receiver_;
  const StreamStart start_;
  const std::shared_ptr<IStreamEvents> events_;
  std::atomic<bool> stop_{false};
};

class SoundCaptureFilter final : public IBaseFilter,
                                 public IStreamSource,
                                 public IGraphMember,
                                 public std::enable_shared_from_this<SoundCaptureFilter> {
 public:
  SoundCaptureFilter(std::string name, std::shared_ptr<SoundDevice> device, std::uint16_t channels,
                     std::uint32_t rate)
      : device_(std::move(device)),
        rate_(rate),
        channels_(channels),
        pin_(std::make_shared<SoundPin>(MakePcmMediaType(rate, channels))),
        membership_(std::move(name)) {}

  ~SoundCaptureFilter() override {
    Stop();
    std::lock_guard lock(mutex_);
    if (const auto receiver = std::exchange(receiver_, nullptr))
      receiver->BreakConnection();
  }

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return kit::AnswerFor<IBaseFilter>(iid, shared_from_this());
  }

  HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) override {
    enumerator = std::make_shared<kit::PinList>(std::vector<std::shared_ptr<IPin>>{pin_});
    return hr::Ok;
  }
  HResult QueryFilterInfo(FilterInfo& info) override {
    membership_.Describe(info);
    return hr::Ok;
  }
  HResult JoinFilterGraph(const std::weak_ptr<IGraphBuilder>& graph,
                          const std::string& name) override {
    return membership_.Join(graph, name);
  }

  std::vector<SourcePin> SourcePins() override { return {{pin_, guids::PinCategoryCapture}}; }

  HResult Connect(const std::shared_ptr<IPin>& pin, const std::shared_ptr<IFrameReceiver>& receiver,
                  const StreamRequest&) override {
    if (!pin || !receiver)
      return hr::Pointer;
    if (pin != pin_)
      return hr::InvalidArg;
    std::lock_guard lock(mutex_);
    if (worker_)
      return vfw::NotStopped;
    if (receiver_)
      return vfw::AlreadyConnected;
    if (const HResult code = receiver->ReceiveConnection(pin_->Type()); Failed(code))
      return code;
    receiver_ = receiver;
    return hr::Ok;
  }

  HResult Disconnect(const std::shared_ptr<IPin>& pin) override {
    if (pin != pin_)
      return hr::InvalidArg;
    std::lock_guard lock(mutex_);
    if (!receiver_)
      return vfw::NotConnected;
    if (worker_)
      return vfw::NotStopped;
    std::exchange(receiver_, nullptr)->BreakConnection();
    return hr::Ok;
  }

  HResult Start(const StreamStart& start, const std::shared_ptr<IStreamEvents>& events) override {
    std::lock_guard lock(mutex_);
    if (worker_ || !receiver_)
      return hr::Ok;
    std::unique_ptr<SoundCapture> capture;
    if (const HResult code = device_->Open(rate_, channels_, start, capture); Failed(code))
      return code;
    if (!capture)
      return hr::Unexpected;
    worker_ = std::make_shared<SoundWorker>(std::move(capture), receiver_, start, events);
    thread_ = std::thread([worker = worker_] { worker->Run(); });
    return hr::Ok;
  }

  void Stop() override { StopStreamWorker(mutex_, worker_, thread_); }

 private:
  const std::shared_ptr<SoundDevice> device_;
  const std::uint32_t rate_;
  const std::uint16_t channels_;
  const std::shared_ptr<SoundPin> pin_;
  GraphMembership membership_;

  std::mutex mutex_;
  std::shared_ptr<IFrameReceiver> receiver_;
  std::shared_ptr<SoundWorker> worker_;
  std::thread thread_;
};

}  // namespace

std::shared_ptr<IBaseFilter> MakeSoundCaptureFilter(std::string name,
                                                    std::shared_ptr<SoundDevice> device,
                                                    std::uint16_t channels, std::uint32_t rate) {
  return std::make_shared<SoundCaptureFilter>(std::move(name), std::move(device), channels, rate);
}

}  // namespace varnholt::platform::graph
