#pragma once

// How frames travel between the filters of a graph. The graph objects here
// (filter graph, capture graph builder, sample grabber, renderers) serve every
// backend; a backend only supplies its capture filter as an IStreamSource.
// These are internal interfaces: the graph finds them on a filter with
// dynamic_pointer_cast, the component never sees them.
//
// Threading, which every implementation relies on:
// - Connect, Disconnect, Start and Stop are called by the graph, one at a
//   time, never from a streaming thread;
// - Receive runs on the source's streaming thread and must not wait for the
//   UI thread;
// - once Stop returns, no Receive of that source runs or will start;
// - a source's thread keeps what it delivers to alive on its own, so objects
//   may be released in any order and on any thread.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::graph {

// The input side of a filter: takes a format, then frames in that format.
class IFrameReceiver {
 public:
  virtual ~IFrameReceiver() = default;
  // An upstream pin connects, or reconnects at another format; a failure
  // refuses the format and leaves the receiver as it was.
  virtual HResult ReceiveConnection(const AmMediaType& mediaType) = 0;
  // The upstream pin went away; frames may no longer arrive.
  virtual void BreakConnection() = 0;
  // One frame on the streaming thread; sampleTime is seconds of stream time.
  virtual HResult Receive(const std::shared_ptr<IMediaSample>& sample, double sampleTime) = 0;
  // A renderer that shows video, which some devices cannot feed.
  virtual bool IsVideoRenderer() const { return false; }
};

// A filter between a source and a sink (the sample grabber): it passes the
// format and every frame on to its output.
class IFrameForwarder : public virtual IFrameReceiver {
 public:
  // Links the output before the input connects; VFW_E_ALREADY_CONNECTED
  // when it has one.
  virtual HResult ConnectOutput(const std::shared_ptr<IFrameReceiver>& downstream) = 0;
  // Breaks the output's connection too.
  virtual void DisconnectOutput() = 0;
};

// A sink with an input of its own for each major type (a file writer takes
// pictures and sound): the graph connects a stream to the input for its type.
class IStreamInputs {
 public:
  virtual ~IStreamInputs() = default;
  // The input for streams of the major type, or none.
  virtual std::shared_ptr<IFrameReceiver> InputFor(const Guid& majorType) = 0;
};

// An input that encodes what it receives (a file writer's): a compressor
// in front of it names the encoder, an empty name takes the input as it is.
class IEncodingInput {
 public:
  virtual ~IEncodingInput() = default;
  // VFW_E_TYPE_NOT_ACCEPTED for an encoder the input cannot use.
  virtual HResult UseEncoder(const std::string& encoder) = 0;
};

class IStreamEvents;

// A filter the graph tells when it runs and stops, e.g. a file writer
// that opens its file at the first run and finishes it at a stop.
class IRunListener {
 public:
  virtual ~IRunListener() = default;
  // Before any source starts; a failure fails Run. Events reach the graph's
  // event queue.
  virtual HResult Running(const std::shared_ptr<IStreamEvents>& events) = 0;
  // After every source stopped; the graph's Stop answers a failure.
  virtual HResult Stopped() = 0;
};

// Event codes a source posts while it streams (the platform's EC_ values).
constexpr std::int32_t kEventErrorAbort = 0x03;
constexpr std::int32_t kEventDeviceLost = 0x1F;

// Where a running source reports what happened to its stream.
class IStreamEvents {
 public:
  virtual ~IStreamEvents() = default;
  virtual void Notify(std::int32_t eventCode) = 0;
};

// An output pin of a source and its category (PinCategoryCapture, ...).
struct SourcePin {
  std::shared_ptr<IPin> pin;
  Guid category;
};

// What a connection is for, so that a device may refuse some uses.
struct StreamRequest {
  Guid category;                 // as the caller asked for it, not the pin's own
  bool toVideoRenderer = false;  // the stream ends in a renderer that shows video
};

// When a run begins, on the clock every source of the graph shares, so that
// the streams of a graph (a camera's pictures and a microphone's sound) keep
// together: a sample taken at steady-clock instant `t` has the stream time
// time + (t - at). steady_clock is CLOCK_MONOTONIC, the clock V4L2 and ALSA
// stamp their buffers with.
struct StreamStart {
  double time = 0.0;  // stream time of the run's first instant, in seconds
  std::chrono::steady_clock::time_point at;

  double TimeAt(std::chrono::steady_clock::time_point instant) const {
    return time + std::chrono::duration<double>(instant - at).count();
  }
};

// A capture filter that produces frames on its own thread.
class IStreamSource {
 public:
  virtual ~IStreamSource() = default;
  virtual std::vector<SourcePin> SourcePins() = 0;
  // Connects pin to receiver at the pin's current format: the receiver gets
  // ReceiveConnection before this returns. VFW_E_ALREADY_CONNECTED for a
  // connected pin, hr::InvalidArg for a pin that is not this filter's.
  virtual HResult Connect(const std::shared_ptr<IPin>& pin,
                          const std::shared_ptr<IFrameReceiver>& receiver,
                          const StreamRequest& request) = 0;
  // Breaks the pin's connection (the receiver gets BreakConnection).
  virtual HResult Disconnect(const std::shared_ptr<IPin>& pin) = 0;
  // Starts delivering to every connected pin, each sample stamped with the
  // stream time of the instant it was captured (never before start.time).
  // A source without connections answers hr::Ok.
  virtual HResult Start(const StreamStart& start, const std::shared_ptr<IStreamEvents>& events) = 0;
  // Stops delivering and waits for the streaming thread.
  virtual void Stop() = 0;
};

// A filter that knows the graph it is in, for QueryFilterInfo.
class IGraphMember {
 public:
  virtual ~IGraphMember() = default;
  // An empty graph leaves it. A filter is in one graph at a time: joining a
  // second answers hr::Unexpected.
  virtual HResult JoinFilterGraph(const std::weak_ptr<IGraphBuilder>& graph,
                                  const std::string& name) = 0;
};

}  // namespace varnholt::platform::graph
