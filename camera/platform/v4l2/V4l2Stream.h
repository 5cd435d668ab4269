#pragma once

// The streaming side of a V4L2 camera filter: connects its capture pin to the
// graph at the camera's current format and delivers the driver's frames on a
// thread of its own, from mmap buffers.
//
// What callers may rely on:
// - Connect applies the current format to the driver (VIDIOC_S_FMT), so a
//   camera another program streams from is refused there with hr::Busy;
// - Start allocates, maps and queues the buffers and turns streaming on;
//   Stop turns it off, unmaps and frees them (REQBUFS 0), and never hangs:
//   the thread waits in poll() together with a wake-up descriptor;
// - a format changed while stopped takes effect at the next Start, whose
//   receivers are told first;
// - YUY2 frames reach the receiver with packed rows (width * 2 bytes), even
//   where the driver pads its rows (bytesperline);
// - when the device goes away (ENODEV, EIO) the thread tells the graph once
//   with kEventDeviceLost and ends; any other driver failure ends it with
//   kEventErrorAbort. Stop afterwards is quiet.

#include <memory>
#include <mutex>
#include <thread>

#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/v4l2/V4l2StreamFormat.h"

namespace varnholt::platform::v4l2 {

class V4l2Stream : public graph::IStreamSource, public graph::IGraphMember {
 public:
  V4l2Stream(std::shared_ptr<V4l2Device> device, std::shared_ptr<StreamFormat> format,
             std::shared_ptr<IPin> pin, std::string name);
  ~V4l2Stream() override;

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
  class Worker;

  const std::shared_ptr<V4l2Device> device_;
  const std::shared_ptr<StreamFormat> format_;
  const std::shared_ptr<IPin> pin_;
  graph::GraphMembership membership_;

  std::mutex mutex_;
  std::shared_ptr<graph::IFrameReceiver> receiver_;
  V4l2Mode connectedMode_;
  std::shared_ptr<Worker> worker_;
  std::thread thread_;
};

}  // namespace varnholt::platform::v4l2
