#pragma once

// The streaming side of a virtual camera filter: connects its pins to the
// graph at the camera's current format and delivers the test picture on a
// thread of its own, one frame per frame time, as YUY2 or as JPEG data for
// MJPG formats.
//
// What callers may rely on:
// - a connection holds the camera's device lock, so a second graph or
//   another process gets hr::Busy until the last connection goes;
// - a description's "busy" fault answers its code on connection, and its
//   "renderPreview" fault refuses a preview stream into a video renderer;
// - formats other than YUY2 and MJPG answer hr::NotImpl; MJPG without Qt's
//   JPEG plugin answers VFW_E_NO_ACCEPTABLE_TYPES;
// - a format changed while stopped takes effect at the next Start; while the
//   camera streams, IsStreaming tells the pins to refuse a change;
// - while the camera is unplugged no frames arrive and the graph hears of a
//   lost device once.

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/virtual/DeviceLock.h"
#include "camera/platform/virtual/VirtualCamera.h"

namespace varnholt::platform::virtualcam {

// Whether a graph of this process streams from the camera now.
bool IsStreaming(const VirtualCamera& camera);

class CameraStream : public graph::IStreamSource, public graph::IGraphMember {
 public:
  explicit CameraStream(std::shared_ptr<VirtualCamera> camera);
  ~CameraStream() override;

  // The filter's pins, in the order of the camera's described pins.
  void AttachPins(const std::vector<std::shared_ptr<IPin>>& pins);

  std::vector<graph::SourcePin> SourcePins() override;
  HResult Connect(const std::shared_ptr<IPin>& pin,
                  const std::shared_ptr<graph::IFrameReceiver>& receiver,
                  const graph::StreamRequest& request) override;
  HResult Disconnect(const std::shared_ptr<IPin>& pin) override;
  HResult Start(const graph::StreamStart& start,
                const std::shared_ptr<graph::IStreamEvents>& events) override;
  void Stop() override;

  HResult JoinFilterGraph(const std::weak_ptr<IGraphBuilder>& graph,
                          const std::string& name) override;
  // For QueryFilterInfo: the graph's name for the filter and the graph.
  void DescribeMembership(FilterInfo& info) const;

 private:
  struct Connection {
    std::shared_ptr<IPin> pin;
    Guid category;
    std::shared_ptr<graph::IFrameReceiver> receiver;
  };
  class Worker;

  HResult CheckFormat(const FormatDescription& format) const;
  bool AnyConnected() const;

  const std::shared_ptr<VirtualCamera> camera_;
  graph::GraphMembership membership_;

  std::mutex mutex_;
  std::vector<Connection> connections_;
  std::unique_ptr<DeviceLock> deviceLock_;
  std::size_t connectedFormat_ = 0;
  std::shared_ptr<Worker> worker_;
  std::thread thread_;
};

}  // namespace varnholt::platform::virtualcam
