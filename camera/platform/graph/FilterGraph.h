#pragma once

// The filter graph: the filters of one capture session by name, the streams
// that connect them, and the run state that starts and stops their sources.
//
// What callers may rely on:
// - connections are made and broken only while the graph is stopped
//   (VFW_E_NOT_STOPPED otherwise), with one exception: a filter fed from a
//   source pin that also feeds another branch may be removed while running,
//   and the other branches stream on;
// - a source pin feeds its streams through a StreamTee: each branch gets
//   the same sample with the same time;
// - Run starts every source; when one fails, the others are stopped again
//   and Run answers its code;
// - after Stop, StopWhenReady, Pause or the graph's end, no frame of its
//   sources is delivered any more;
// - releasing the graph stops it and breaks its connections, on whatever
//   thread the last reference goes.

#include <memory>
#include <string>

#include "camera/platform/Interfaces.h"
#include "camera/platform/graph/StreamInterfaces.h"

namespace varnholt::platform::graph {

// One stream from a source pin, through an optional filter, into a sink.
struct StreamRoute {
  std::shared_ptr<IBaseFilter> sourceFilter;
  std::shared_ptr<IStreamSource> source;
  std::shared_ptr<IPin> pin;
  std::shared_ptr<IBaseFilter> intermediateFilter;  // none for a direct stream
  std::shared_ptr<IFrameForwarder> intermediate;
  std::shared_ptr<IBaseFilter> sinkFilter;
  std::shared_ptr<IFrameReceiver> sink;
  StreamRequest request;
  // Join the pin's stream as one more branch when it already has one.
  bool split = false;
};

// What the capture graph builder needs of a graph beyond the public interfaces.
class IStreamGraph {
 public:
  virtual ~IStreamGraph() = default;
  virtual bool Contains(const std::shared_ptr<IBaseFilter>& filter) const = 0;
  // The source filter in the graph that owns pin, or none.
  virtual std::shared_ptr<IBaseFilter> SourceOfPin(const std::shared_ptr<IPin>& pin) const = 0;
  // Connects and records the route. VFW_E_ALREADY_CONNECTED when its
  // in-between filter or sink already takes a stream, or when the pin
  // already streams and the route does not split it.
  virtual HResult Connect(const StreamRoute& route) = 0;
};

std::shared_ptr<IGraphBuilder> MakeFilterGraph();

}  // namespace varnholt::platform::graph
