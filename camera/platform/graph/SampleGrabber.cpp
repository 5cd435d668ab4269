#include "camera/platform/graph/SampleGrabber.h"
#include "camera/platform/FaultProbe.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>

#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::graph {
namespace {

constexpr std::int32_t kSampleCallback = 0;
constexpr std::int32_t kBufferCallback = 1;

class SampleGrabber final : public GraphFilter,
                            public ISampleGrabber,
                            public IFrameForwarder,
                            public std::enable_shared_from_this<SampleGrabber> {
 public:
  SampleGrabber()
      : GraphFilter("SampleGrabber", {{PinDirection::Input, "In"}, {PinDirection::Output, "Out"}}) {
  }

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return kit::AnswerFor<IBaseFilter, ISampleGrabber>(iid, shared_from_this());
  }

  // ---- ISampleGrabber

  HResult SetBufferSamples(bool buffer) override {
    if (const auto fault = ProbeFault("ISampleGrabber.SetBufferSamples"))
      return *fault;
    std::lock_guard lock(bufferMutex_);
    buffering_ = buffer;
    if (!buffer)
      buffer_.reset();
    return hr::Ok;
  }

  HResult SetCallback(const std::shared_ptr<ISampleGrabberCB>& callback,
                      std::int32_t method) override {
    if (const auto fault = ProbeFault("ISampleGrabber.SetCallback"))
      return *fault;
    if (callback && method != kSampleCallback && method != kBufferCallback)
      return hr::InvalidArg;
    std::shared_ptr<ISampleGrabberCB> old;
    {
      // Taken while a callback runs, so this waits for it to return.
      std::lock_guard lock(callbackMutex_);
      old = std::move(callback_);
      callback_ = callback;
      method_ = method;
    }
    // The old callback may be released here, outside the lock.
    return hr::Ok;
  }

  HResult GetConnectedMediaType(AmMediaType& mediaType) override {
    if (const auto fault = ProbeFault("ISampleGrabber.GetConnectedMediaType"))
      return *fault;
    auto type = connection_->Get();
    if (!type)
      return vfw::NotConnected;
    mediaType = std::move(*type);
    return hr::Ok;
  }

  HResult GetCurrentBuffer(std::int32_t& size, std::uint8_t* buffer) override {
    if (const auto fault = ProbeFault("ISampleGrabber.GetCurrentBuffer"))
      return *fault;
    if (!connection_->IsConnected())
      return vfw::NotConnected;
    std::lock_guard lock(bufferMutex_);
    if (!buffering_)
      return hr::InvalidArg;
    if (!buffer_)
      return vfw::WrongState;
    const auto data = buffer_->Data();
    if (data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
      return hr::OutOfMemory;
    const auto needed = static_cast<std::int32_t>(data.size());
    if (!buffer) {
      size = needed;
      return hr::Ok;
    }
    if (size < needed)
      return hr::OutOfMemory;
    std::copy(data.begin(), data.end(), buffer);
    size = needed;
    return hr::Ok;
  }

  // ---- the stream

  HResult ConnectOutput(const std::shared_ptr<IFrameReceiver>& downstream) override {
    if (const auto fault = ProbeFault("IFrameForwarder.ConnectOutput"))
      return *fault;
    if (!downstream)
      return hr::Pointer;
    std::lock_guard lock(downstreamMutex_);
    if (downstream_)
      return vfw::AlreadyConnected;
    downstream_ = downstream;
    return hr::Ok;
  }

  void DisconnectOutput() override {
    std::shared_ptr<IFrameReceiver> downstream;
    {
      std::lock_guard lock(downstreamMutex_);
      downstream = std::move(downstream_);
      downstream_.reset();
    }
    if (downstream)
      downstream->BreakConnection();
  }

  HResult ReceiveConnection(const AmMediaType& mediaType) override {
    if (mediaType.majortype != guids::MediaTypeVideo)
      return vfw::TypeNotAccepted;
    if (const auto downstream = Downstream()) {
      if (const HResult code = downstream->ReceiveConnection(mediaType); Failed(code))
        return code;
    }
    connection_->Set(mediaType);
    std::lock_guard lock(bufferMutex_);
    buffer_.reset();  // a frame of the old format is no current sample
    return hr::Ok;
  }

  void BreakConnection() override {
    connection_->Clear();
    std::lock_guard lock(bufferMutex_);
    buffer_.reset();
  }

  HResult Receive(const std::shared_ptr<IMediaSample>& sample, double sampleTime) override {
    if (!sample)
      return hr::Pointer;
    {
      std::lock_guard lock(bufferMutex_);
      if (buffering_)
        buffer_ = sample;  // samples never change, so keeping it is a copy
    }
    {
      std::lock_guard lock(callbackMutex_);
      // A local reference: the callback may replace itself while it runs.
      const auto callback = callback_;
      if (callback) {
        if (method_ == kSampleCallback)
          callback->SampleCB(sampleTime, sample);
        else
          callback->BufferCB(sampleTime, sample->Data());
      }
    }
    if (const auto downstream = Downstream())
      return downstream->Receive(sample, sampleTime);
    return hr::Ok;
  }

 private:
  std::shared_ptr<IFrameReceiver> Downstream() const {
    std::lock_guard lock(downstreamMutex_);
    return downstream_;
  }

  std::mutex bufferMutex_;
  bool buffering_ = false;
  std::shared_ptr<IMediaSample> buffer_;

  // Recursive: a callback may call SetCallback on its own grabber.
  std::recursive_mutex callbackMutex_;
  std::shared_ptr<ISampleGrabberCB> callback_;
  std::int32_t method_ = kSampleCallback;

  mutable std::mutex downstreamMutex_;
  std::shared_ptr<IFrameReceiver> downstream_;
};

}  // namespace

std::shared_ptr<IBaseFilter> MakeSampleGrabber() {
  return std::make_shared<SampleGrabber>();
}

}  // namespace varnholt::platform::graph
