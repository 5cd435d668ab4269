#include "camera/platform/virtual/VirtualStream.h"
#include "camera/platform/FaultProbe.h"

#include <QString>
#include <QtGlobal>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <map>

#include "camera/platform/graph/FrameSample.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/StreamThread.h"
#include "camera/platform/virtual/JpegFrames.h"
#include "camera/platform/virtual/PictureSettings.h"
#include "camera/platform/virtual/TestPicture.h"
#include "camera/platform/virtual/VirtualFormats.h"

namespace varnholt::platform::virtualcam {
namespace {

using Clock = std::chrono::steady_clock;
using FrameTime = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;

// The frame nearest each whole second of stream time from the first on
// carries the picture's second mark, where a virtual microphone of the same
// graph beeps.
bool IsSecondMark(double time, FrameTime period) {
  const double half = std::chrono::duration<double>(period).count() / 2;
  return time + half >= 1.0 && std::floor(time + half) != std::floor(time - half);
}

Guid CategoryGuid(PinCategory category) {
  switch (category) {
    case PinCategory::Preview:
      return guids::PinCategoryPreview;
    case PinCategory::Still:
      return guids::PinCategoryStill;
    default:
      return guids::PinCategoryCapture;
  }
}

// Streams of this process by camera state file, for the format rule.
class StreamingCameras {
 public:
  static StreamingCameras& Instance() {
    static StreamingCameras instance;
    return instance;
  }
  void Change(const VirtualCamera& camera, int delta) {
    std::lock_guard lock(mutex_);
    if ((counts_[camera.State().Path()] += delta) <= 0)
      counts_.erase(camera.State().Path());
  }
  bool Contains(const VirtualCamera& camera) {
    std::lock_guard lock(mutex_);
    return counts_.contains(camera.State().Path());
  }

 private:
  std::mutex mutex_;
  std::map<QString, int> counts_;
};

}  // namespace

// Owned jointly by the stream and its thread, so the thread never uses
// anything that another thread could free.
class CameraStream::Worker {
 public:
  Worker(std::shared_ptr<VirtualCamera> camera, FormatDescription format,
         std::vector<std::shared_ptr<graph::IFrameReceiver>> receivers, graph::StreamStart start,
         std::shared_ptr<graph::IStreamEvents> events)
      : camera_(std::move(camera)),
        format_(format),
        receivers_(std::move(receivers)),
        start_(start),
        events_(std::move(events)) {}

  void RequestStop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
  }

  void Run() {
    TestPicture picture(format_.width, format_.height);
    const FrameTime period(format_.frameTime);
    // Frames fall on whole periods of the graph's clock, as a microphone's
    // sound does on its sample clock, so both keep the same time line.
    const auto sinceStart = Clock::now() - start_.at;
    std::uint64_t first =
        sinceStart <= Clock::duration::zero()
            ? 0
            : static_cast<std::uint64_t>((sinceStart + period - FrameTime(1)) / period);
    // A YUY2 frame's buffer goes downstream as the sample; it comes back for
    // a later frame. An MJPG frame's picture stays here.
    const auto pool = graph::FramePool::Create();
    std::vector<std::uint8_t> yuy2;
    bool lost = false;
    for (std::uint64_t frame = first;; ++frame) {
      const Clock::time_point due = start_.at + period * static_cast<std::int64_t>(frame);
      {
        std::unique_lock lock(mutex_);
        if (wake_.wait_until(lock, due, [this] { return stop_; }))
          return;
      }
      // A frame nobody could take in time is dropped, as a device drops it.
      const auto late = Clock::now() - due;
      if (late > period)
        frame += static_cast<std::uint64_t>(late / period);
      if (!camera_->IsConnected()) {
        if (!lost && events_)
          events_->Notify(graph::kEventDeviceLost);
        lost = true;
        continue;
      }
      lost = false;
      const double time =
          start_.time +
          std::chrono::duration<double>(period * static_cast<std::int64_t>(frame)).count();
      if (yuy2.capacity() == 0)
        yuy2 = pool->Take();
      picture.Render(frame, ReadPictureSettings(*camera_), IsSecondMark(time, period), yuy2);
      std::shared_ptr<graph::FrameSample> sample;
      if (format_.fourcc == kFourCCMJPG) {
        std::vector<std::uint8_t> bytes;
        if (!EncodeJpeg(yuy2, format_.width, format_.height, bytes)) {
          if (events_)
            events_->Notify(graph::kEventErrorAbort);
          return;
        }
        sample = std::make_shared<graph::FrameSample>(std::move(bytes));
      } else {
        sample = pool->Sample(std::move(yuy2));
      }
      for (const auto& receiver : receivers_)
        receiver->Receive(sample, time);
    }
  }

 private:
  const std::shared_ptr<VirtualCamera> camera_;
  const FormatDescription format_;
  const std::vector<std::shared_ptr<graph::IFrameReceiver>> receivers_;
  const graph::StreamStart start_;
  const std::shared_ptr<graph::IStreamEvents> events_;

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
};

bool IsStreaming(const VirtualCamera& camera) {
  return StreamingCameras::Instance().Contains(camera);
}

CameraStream::CameraStream(std::shared_ptr<VirtualCamera> camera)
    : camera_(std::move(camera)), membership_(camera_->Description().friendlyName) {}

CameraStream::~CameraStream() {
  Stop();
  std::lock_guard lock(mutex_);
  for (auto& connection : connections_)
    if (const auto receiver = std::exchange(connection.receiver, nullptr))
      receiver->BreakConnection();
}

void CameraStream::AttachPins(const std::vector<std::shared_ptr<IPin>>& pins) {
  std::lock_guard lock(mutex_);
  const auto& described = camera_->Description().pins;
  connections_.clear();
  for (std::size_t i = 0; i < pins.size() && i < described.size(); ++i)
    connections_.push_back({pins[i], CategoryGuid(described[i].category), nullptr});
}

std::vector<graph::SourcePin> CameraStream::SourcePins() {
  std::lock_guard lock(mutex_);
  std::vector<graph::SourcePin> pins;
  for (const auto& connection : connections_)
    pins.push_back({connection.pin, connection.category});
  return pins;
}

HResult CameraStream::CheckFormat(const FormatDescription& format) const {
  if (format.fourcc != kFourCCYUY2 && format.fourcc != kFourCCMJPG)
    return hr::NotImpl;  // only these two are drawn
  if (format.fourcc == kFourCCMJPG && !JpegEncodingAvailable()) {
    qWarning("virtual camera: Qt's JPEG image plugin is missing, so MJPG formats cannot stream");
    return graph::vfw::NoAcceptableTypes;
  }
  return hr::Ok;
}

bool CameraStream::AnyConnected() const {
  return std::any_of(connections_.begin(), connections_.end(),
                     [](const Connection& c) { return c.receiver != nullptr; });
}

HResult CameraStream::Connect(const std::shared_ptr<IPin>& pin,
                              const std::shared_ptr<graph::IFrameReceiver>& receiver,
                              const graph::StreamRequest& request) {
  if (const auto fault = ProbeFault("IStreamSource.Connect", camera_->Description().devicePath))
    return *fault;
  if (!pin || !receiver)
    return hr::Pointer;
  std::lock_guard lock(mutex_);
  const auto it = std::find_if(connections_.begin(), connections_.end(),
                               [&](const Connection& c) { return c.pin == pin; });
  if (it == connections_.end())
    return hr::InvalidArg;
  if (worker_)
    return graph::vfw::NotStopped;
  if (it->receiver)
    return graph::vfw::AlreadyConnected;
  const CameraDescription& description = camera_->Description();
  if (description.failBusy)
    return *description.failBusy;
  if (description.failRenderPreview && request.toVideoRenderer &&
      request.category == guids::PinCategoryPreview)
    return *description.failRenderPreview;
  std::size_t index = 0;
  if (const HResult code = camera_->GetFormatIndex(index); code != hr::Ok)
    return code;
  const FormatDescription& format = description.formats[index];
  if (const HResult code = CheckFormat(format); code != hr::Ok)
    return code;
  const bool first = !AnyConnected();
  if (first && !deviceLock_) {
    if (const HResult code = DeviceLock::Acquire(*camera_, deviceLock_); code != hr::Ok)
      return code;
  }
  if (const HResult code = receiver->ReceiveConnection(*MakeMediaType(format)); Failed(code)) {
    if (first)
      deviceLock_.reset();
    return code;
  }
  it->receiver = receiver;
  connectedFormat_ = index;
  return hr::Ok;
}

HResult CameraStream::Disconnect(const std::shared_ptr<IPin>& pin) {
  if (const auto fault = ProbeFault("IStreamSource.Disconnect", camera_->Description().devicePath))
    return *fault;
  std::lock_guard lock(mutex_);
  const auto it = std::find_if(connections_.begin(), connections_.end(),
                               [&](const Connection& c) { return c.pin == pin; });
  if (it == connections_.end())
    return hr::InvalidArg;
  if (!it->receiver)
    return graph::vfw::NotConnected;
  if (worker_)
    return graph::vfw::NotStopped;
  std::exchange(it->receiver, nullptr)->BreakConnection();
  if (!AnyConnected())
    deviceLock_.reset();
  return hr::Ok;
}

HResult CameraStream::Start(const graph::StreamStart& start,
                            const std::shared_ptr<graph::IStreamEvents>& events) {
  if (const auto fault = ProbeFault("IStreamSource.Start", camera_->Description().devicePath))
    return *fault;
  std::lock_guard lock(mutex_);
  if (worker_)
    return hr::Ok;
  std::vector<std::shared_ptr<graph::IFrameReceiver>> receivers;
  for (const auto& connection : connections_)
    if (connection.receiver)
      receivers.push_back(connection.receiver);
  if (receivers.empty())
    return hr::Ok;
  std::size_t index = 0;
  if (const HResult code = camera_->GetFormatIndex(index); code != hr::Ok)
    return code;
  const FormatDescription& format = camera_->Description().formats[index];
  if (index != connectedFormat_) {
    // The format changed while stopped: the receivers take the new one first.
    if (const HResult code = CheckFormat(format); code != hr::Ok)
      return code;
    const auto mediaType = MakeMediaType(format);
    for (const auto& receiver : receivers)
      if (const HResult code = receiver->ReceiveConnection(*mediaType); Failed(code))
        return code;
    connectedFormat_ = index;
  }
  worker_ = std::make_shared<Worker>(camera_, format, std::move(receivers), start, events);
  StreamingCameras::Instance().Change(*camera_, +1);
  thread_ = std::thread([worker = worker_] { worker->Run(); });
  return hr::Ok;
}

void CameraStream::Stop() {
  if (graph::StopStreamWorker(mutex_, worker_, thread_))
    StreamingCameras::Instance().Change(*camera_, -1);
}

HResult CameraStream::JoinFilterGraph(const std::weak_ptr<IGraphBuilder>& graph,
                                      const std::string& name) {
  return membership_.Join(graph, name);
}

void CameraStream::DescribeMembership(FilterInfo& info) const {
  membership_.Describe(info);
}

}  // namespace varnholt::platform::virtualcam
